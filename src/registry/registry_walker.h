// Lists the keys and values below one registry key.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "registry/registry_records.h"

namespace varneth {

// The walker's numbering of the predefined roots: code k is the root whose
// handle is 0x80000000 + (k - 1), so 2 is HKEY_CURRENT_USER, 3
// HKEY_LOCAL_MACHINE and 4 HKEY_USERS. Other codes are passed on unchecked.
using WalkRootCode = std::int32_t;
HKEY WalkRootKey(WalkRootCode code);

enum WalkMode : std::int32_t {
  kOneLevel = 0,  // the start key's direct subkeys, unopened, then its values
  kSubtree = 1,   // the start key's values, then every key below it with its values
};

using ProgressRoutine = std::function<void(std::int32_t recordCount)>;

// Replaces `records` with what lies below `startPath` under the root. In
// Subtree mode each key is followed at once by its values, and every key
// comes after its parent, so reading the list backwards meets children before
// parents. An empty start path walks the root's own subkeys. Keys that do not
// open are passed over with their subtree, and so are registry links: every
// key is opened relative to its parent and as itself, never through a link.
// The start path's first `followedLength` bytes (by default, all but its last
// name) are opened as named. A key's subkeys are listed whole before any is
// opened, and listed again when they changed meanwhile. Names and data of any length the registry holds
// are read; an enumeration stops at its first other error. Between
// registry reads the thread's waiting window messages are dispatched. With
// reportProgress, progressRoutine is told the record count after each record.
void WalkRegistryTree(WalkRootCode rootCode, TextRef startPath, std::int32_t mode,
                      RegistryRecordList& records, const ProgressRoutine& progressRoutine = {},
                      bool reportProgress = false, std::int32_t followedLength = -1);

// The key's subkey names, up to the first that cannot be read, `name` being
// the buffer each is read into. The platform numbers subkeys anew after every
// change, so a listing made while another program added or deleted one may
// skip a sibling nobody touched: such a listing is made again (at most four
// times, so that a program writing below the key without pause cannot hold
// the run up; a key such a listing misses is not saved, nor deleted).
std::vector<Text> ListSubkeyNames(HKEY key, Text& name);

// Reads the name of subkey `index` into `name` (RegEnumKeyA, room for the
// registry's longest name of 255 UTF-16 units in any ANSI code page, more
// should the platform ask). Gives the platform's status.
LONG EnumSubkeyName(HKEY key, DWORD index, Text& name);

// Reads value `index` into `info` (RegEnumValueA with 255-byte name and data
// buffers, read again with room enough while the value does not fit) and trims
// the data of REG_DWORD and REG_MULTI_SZ to its size.
LONG EnumValueInfo(HKEY key, DWORD index, RegistryValueInfo& info);

// Dispatches the thread's waiting messages; a WM_QUIT stays in the queue.
void PumpWindowMessages();

}  // namespace varneth
