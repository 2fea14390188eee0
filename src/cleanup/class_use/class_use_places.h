// Where the machine's accounts and programs name classes: looked through once
// per run for all the class names asked about, whatever their number.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace varneth {

struct ClassUsers {
  // The folded name of each class asked about -> the extensions (".jpeg")
  // and protocols ("http") found to use it, in the order found.
  std::unordered_map<std::wstring, std::vector<std::wstring>> users;
  // Of those, the ones a COM class registration names.
  std::unordered_set<std::wstring> comNamed;
};

// Fills in `asked`, whose users map holds the folded names asked about. The
// places, each listed once: the ".X" keys of HKLM\SOFTWARE\Classes and of
// every loaded user's classes (default value, OpenWithProgids); every loaded
// user's FileExts\.X (OpenWithProgids, UserChoice, UserChoiceLatest) and
// choices for URL protocols; the file and URL associations that registered
// applications declare; then one step through the CurVer of every class
// these name; last, for the names still unused, the ProgID and
// VersionIndependentProgID of each CLSID\{...} in both registry views and in
// every loaded user's classes. The own extension's keys (".E", everywhere)
// count for nothing. Strings are read as the shell reads them (see
// ClassNamesInData).
void FindClassUsers(std::wstring_view ownExtension, ClassUsers& asked);

}  // namespace varneth
