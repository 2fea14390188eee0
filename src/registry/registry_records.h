// What the tree walker reports: one record per key below the start key and
// per value of a key, with full key paths from the root.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/text.h"

namespace varneth {

enum RecordKind : std::int32_t {
  kKeyRecord = 1,    // a key below the start key (or below the root)
  kValueRecord = 2,  // a value of a key
};

// One value enumeration. For REG_DWORD (4) and REG_MULTI_SZ (7) `data` holds
// exactly `dataSize` bytes; for every other type it is the whole buffer read
// into (255 bytes, or the data's size when larger), zeros after the first
// `dataSize` bytes. A key record carries the
// empty information: everything 0, no name, no data.
struct RegistryValueInfo {
  std::int32_t index = 0;
  std::int32_t type = 0;
  Text name;  // "" for the key's default value
  std::int32_t nameLength = 0;
  ByteBuffer data;
  std::int32_t dataSize = 0;
};

struct RegistryKeyRecord {
  std::int32_t kind = 0;
  Text keyPath;  // no "\" at the end, no root name in front
  RegistryValueInfo value;
};

using RegistryRecordList = std::vector<RegistryKeyRecord>;

}  // namespace varneth
