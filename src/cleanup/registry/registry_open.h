// Opening and deleting keys: always in the 64-bit registry view
// (kRegistryView), and below a place without ever following a registry link.
#pragma once

#include <windows.h>

#include <string_view>

#include "cleanup/registry/registry_key.h"
#include "runtime/registry_view.h"

namespace varneth {

// What an opening gives when it met a registry link on its way: the link is
// neither followed nor opened.
inline constexpr LONG kMetRegistryLink = ERROR_CANT_RESOLVE_FILENAME;

// The calls that open and delete keys, all made through here. Tests watch
// them (and make a key refuse to open, which Wine never does); nothing else
// changes them.
struct RegistryCalls {
  LONG(WINAPI* openA)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) = RegOpenKeyExA;
  LONG(WINAPI* openW)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) = RegOpenKeyExW;
  LONG(WINAPI* deleteKeyA)(HKEY, LPCSTR, REGSAM, DWORD) = RegDeleteKeyExA;
};
void SetRegistryCalls(const RegistryCalls& calls);
const RegistryCalls& CurrentRegistryCalls();

// RegOpenKeyExA/W in the view; `options` REG_OPTION_OPEN_LINK opens a link as
// itself. On failure the key holds nothing.
LONG OpenKeyA(HKEY parent, const char* path, DWORD options, REGSAM access, RegistryKey& key);
LONG OpenKeyW(HKEY parent, const wchar_t* path, DWORD options, REGSAM access, RegistryKey& key);

// RegDeleteKeyExA in the view: deletes the subkey `name` of the open parent,
// or with an empty name the open key itself, which the platform refuses
// while it has subkeys.
LONG DeleteKeyA(HKEY parent, const char* name);

// True when the key, opened as itself, is a registry link: the platform keeps
// a link's target in its value SymbolicLinkValue of type REG_LINK.
bool IsRegistryLink(HKEY key);

// Opens the key `path` below `root`. Its first `followedLength` characters
// name the place's parent and are opened as the platform names them (its own
// links, such as HKCU\Software\Classes on Windows, lead where they should);
// every name after that is opened relative to the key before it and as
// itself, so a link there is never followed: the status is then
// kMetRegistryLink. Relative openings also take paths of any length, which
// the ANSI calls cannot. With `parent`, the key before the last name is kept
// open there (when the path has a name after `followedLength`).
LONG OpenWithoutLinks(HKEY root, std::wstring_view path, size_t followedLength, REGSAM access,
                      RegistryKey& key, RegistryKey* parent = nullptr);
LONG OpenWithoutLinksA(HKEY root, std::string_view path, size_t followedLength, REGSAM access,
                       RegistryKey& key, RegistryKey* parent = nullptr);

// The length of the path's part before its last name: where the key itself
// begins, its parent being opened as named.
size_t ParentLength(std::wstring_view path);
size_t ParentLengthA(std::string_view path);

}  // namespace varneth
