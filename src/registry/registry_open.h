// Opening and deleting keys: always in the 64-bit registry view
// (kRegistryView), and below a place without ever following a registry link.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "registry/registry_key.h"
#include "runtime/registry_view.h"

namespace varneth {

// What an opening gives when it met a registry link on its way: the link is
// neither followed nor opened.
inline constexpr LONG kMetRegistryLink = ERROR_CANT_RESOLVE_FILENAME;

// Deletes the very key the handle refers to, opened with DELETE (NtDeleteKey,
// bound on first use); the platform refuses a key that has subkeys.
LONG WINAPI DeleteKeyByHandle(HKEY key);

// The calls that open and delete keys, all made through here. Tests watch
// them (and make a key refuse to open, which Wine never does); nothing else
// changes them.
struct RegistryCalls {
  LONG(WINAPI* openA)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) = RegOpenKeyExA;
  LONG(WINAPI* openW)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) = RegOpenKeyExW;
  LONG(WINAPI* deleteKey)(HKEY) = DeleteKeyByHandle;
  // What a key holds, read the instant before it is deleted.
  LONG(WINAPI* queryInfo)(HKEY, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                          LPDWORD, LPDWORD, LPDWORD, PFILETIME) = RegQueryInfoKeyW;
};
void SetRegistryCalls(const RegistryCalls& calls);
const RegistryCalls& CurrentRegistryCalls();

// RegOpenKeyExA/W in the view; `options` REG_OPTION_OPEN_LINK opens a link as
// itself. On failure the key holds nothing.
LONG OpenKeyA(HKEY parent, const char* path, DWORD options, REGSAM access, RegistryKey& key);
LONG OpenKeyW(HKEY parent, const wchar_t* path, DWORD options, REGSAM access, RegistryKey& key);

// Deletes the open key itself through the registry calls above. The key was
// opened in the view, so the handle names the key of that view.
LONG DeleteOpenKey(HKEY key);

// True when the key, opened as itself, is a registry link: the platform keeps
// a link's target in its value SymbolicLinkValue of type REG_LINK.
bool IsRegistryLink(HKEY key);
// The same, told from one value a listing of the key gave anyway.
bool IsLinkTargetValue(const char* name, DWORD type);

// Opens the key `path` below `root`, each name relative to the key before it
// and as itself, so a link on the way or at the end is never followed: the
// status is then kMetRegistryLink. The one exception lies within the path's
// first `followedLength` characters (the place's parent): a user's
// Software\Classes (below HKEY_CURRENT_USER or HKEY_USERS\<SID>) that is a
// link naming exactly \REGISTRY\USER\<that SID>_Classes, the platform's own,
// is replaced by that hive, opened directly below HKEY_USERS; where it is no
// link (Wine) it is opened as any key. An empty path gives the root itself,
// held but never closed. Relative openings also take paths of any length,
// which the ANSI calls cannot. Keys on the way are opened with
// KEY_QUERY_VALUE alone; the key itself with `access` and that. With
// `parent`, the key before the last name is kept open there. With
// `linkPath`, a link met is named there by its full path (root name first):
// the key on the path that is the link, or the user's classes hive.
LONG OpenWithoutLinks(HKEY root, std::wstring_view path, size_t followedLength, REGSAM access,
                      RegistryKey& key, RegistryKey* parent = nullptr,
                      std::wstring* linkPath = nullptr);
LONG OpenWithoutLinksA(HKEY root, std::string_view path, size_t followedLength, REGSAM access,
                       RegistryKey& key, RegistryKey* parent = nullptr);

// The length of the path's part before its last name: where the key itself
// begins, its parent being opened as named.
size_t ParentLength(std::wstring_view path);
size_t ParentLengthA(std::string_view path);

}  // namespace varneth
