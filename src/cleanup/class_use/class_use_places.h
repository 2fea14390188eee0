// Where the machine's accounts and programs name classes: looked through once
// per run for all the class names asked about, whatever their number.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace varneth {

struct ClassUsers {
  // The folded name of each class asked about -> the extensions (".jpeg"),
  // protocols ("http"), MIME types, AutoPlay handlers ... found to use it, in
  // the order found.
  std::unordered_map<std::wstring, std::vector<std::wstring>> users;
  // Of those, the ones a COM class registration names.
  std::unordered_set<std::wstring> comNamed;
  // Places that could not be read (a key's path, a profile's folder, a
  // file): each may name any class asked about.
  std::vector<std::wstring> unreadable;
};

// The classes (folded) the machine's own records tie to the extension (no
// dot): the default value of HKLM\SOFTWARE\Classes\.E up to its first NUL,
// the value names of its OpenWithProgids, and the classes the machine's
// registered applications (both registry views) map .E to. A record that
// cannot be read ties nothing.
std::unordered_set<std::wstring> FindMachineTies(std::wstring_view extension);

// Fills in `asked`, whose users map holds the folded names asked about. The
// places, each listed once: the ".X" keys of HKLM\SOFTWARE\Classes and of
// every user's classes (default value, OpenWithProgids); the machine's
// SystemFileAssociations\<name> (the same two); every user's FileExts\.X
// (OpenWithProgids, UserChoice, UserChoiceLatest) and choices for URL
// protocols and MIME types; the file, URL and MIME associations registered
// applications declare; AutoPlay handlers' InvokeProgID; packaged COM's
// ProgIdIndex; the default-associations files; then one step through the
// CurVer of every class these name; last, for the names still unused, the
// ProgID and VersionIndependentProgID of each CLSID\{...} in both registry
// views and in every user's classes. The users are those HKEY_USERS holds
// and, elevated, the profiles whose hives are not loaded (read from their
// files). The own extension's keys (".E", everywhere) count for nothing.
// Strings are read as the shell reads them (see ClassNamesInData). A read
// that fails other than with "not found" is noted in `unreadable`.
void FindClassUsers(std::wstring_view ownExtension, ClassUsers& asked);

// Tests make a place refuse to open (Wine never refuses) through this; it is
// RegOpenKeyExW otherwise, or again when given null. The judgement's own
// opens, some of the 32-bit view, read only.
using ClassUseOpenCall = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
void SetClassUseOpenCall(ClassUseOpenCall open);

}  // namespace varneth
