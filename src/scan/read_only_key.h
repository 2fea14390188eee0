// Keys the scan opens: for reading only, each as itself, so a registry link
// is named and never followed.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "registry/registry_key.h"

namespace varneth {

// What reading needs: values and the names of subkeys.
inline constexpr REGSAM kScanAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

// Opens `path` below `parent` for reading, one name at a time and each as
// itself (REG_OPTION_OPEN_LINK), in the program's registry view, so no link
// is ever followed: a link opened as itself has no subkeys and no values but
// its target. Whether the key reached is a link is not asked here (it costs
// a call per key): the caller asks where something it looked for is missing.
// A name on the way that fails to open below a link gives kMetRegistryLink.
// `parent` itself stays open whatever happens.
LONG OpenForReading(HKEY parent, std::wstring_view path, RegistryKey& key);

// A string value (REG_SZ or REG_EXPAND_SZ) as stored, up to its first NUL;
// nothing when it is missing or of another type. `expand` tells which type.
std::optional<std::wstring> ReadString(HKEY key, const wchar_t* name, bool* expand = nullptr);

// True when the key holds a value of that name, whatever its type.
bool HasValue(HKEY key, const wchar_t* name);

}  // namespace varneth
