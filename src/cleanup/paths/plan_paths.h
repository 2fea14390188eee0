// The registry paths the cleanup names for one extension E, their shapes
// written in one place so that the plan and the list of its targets cannot
// drift apart. Each shape is built in two forms: ANSI text for the plan's
// ANSI registry calls, and UTF-16 for the targets, the backup and its
// checks, built from names widened once per request. The fixed parts are
// ASCII, which both forms hold alike. Every path is relative to its root,
// with single backslashes.
#pragma once

#include <string>
#include <string_view>

#include "probes/key_owner.h"
#include "runtime/text.h"

namespace varneth {

// <SID text>\Software\...\Explorer\FileExts\.E\OpenWithProgids, under HKEY_USERS.
Text ClassListPath(TextRef sidText, TextRef extension);
std::wstring ClassListPath(std::wstring_view sid, std::wstring_view extension);
// <SID text>\Software\...\Explorer\FileExts\.E, under HKEY_USERS.
Text UserExplorerPath(TextRef sidText, TextRef extension);
std::wstring UserExplorerPath(std::wstring_view sid, std::wstring_view extension);
// SOFTWARE\Classes\<class name>, under HKEY_LOCAL_MACHINE.
Text MachineClassPath(TextRef className);
std::wstring MachineClassPath(std::wstring_view className);
// "SOFTWARE\Classes\" in the wide form, built once.
const std::wstring& MachineClassesPrefix();
// Software\...\Explorer\FileExts\.E, under HKEY_CURRENT_USER.
std::wstring ExplorerRecordPath(std::wstring_view extension);

// The names a request's paths are made of, in the targets' form.
struct WideKeyNames {
  std::wstring extension;   // without its dot
  std::wstring sid;         // the key owner's SID text
  bool currentUser = true;  // the owner's keys are HKEY_CURRENT_USER
  std::wstring processSid;  // the SID text of the process's own user, from its token
};
WideKeyNames WidenKeyNames(TextRef extension, const KeyOwner& owner);

// The user's own keys of the extension: below HKEY_CURRENT_USER when they
// are the process's user (Software\...\Explorer\FileExts\.E,
// Software\Classes\.E, Software\Classes\E_auto_file and
// Software\...\Explorer\RecentDocs\.E), otherwise below HKEY_USERS in their
// hive <SID text>\... and their classes hive <SID text>_Classes\... (the hive
// that is their Software\Classes).
template <typename Path>
struct UserKeyPathsOf {
  bool currentUser = true;
  Path explorerRecord;
  Path extensionClass;
  Path autoClass;
  Path recentDocs;
};
using UserKeyPaths = UserKeyPathsOf<Text>;
UserKeyPaths FindUserKeyPaths(const KeyOwner& owner, TextRef extension);
UserKeyPathsOf<std::wstring> FindUserKeyPaths(const WideKeyNames& names);

// "keyPath\name" of a walk record: a named value, or with an empty name the
// key's default value and, failing that, the key itself.
Text ItemPath(TextRef keyPath, TextRef valueName);

// True when a class name from OpenWithProgids names a key strictly below
// SOFTWARE\Classes\: not empty, not beginning with "\", and not made of
// backslashes and spaces (half- or full-width) alone. Any other name would
// make the plan empty the whole machine-wide class store. The rule is about
// characters the ANSI form keeps as they are, so both forms judge alike.
bool NamesAClassKey(TextRef className);
bool NamesAClassKey(std::wstring_view className);

}  // namespace varneth
