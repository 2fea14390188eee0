// The registry paths the cleanup names for one extension E, built in one
// place so that the plan and the list of its targets cannot drift apart.
// Every path is relative to its root, with single backslashes.
#pragma once

#include "probes/key_owner.h"
#include "runtime/text.h"

namespace varneth {

// <SID text>\Software\...\Explorer\FileExts\.E\OpenWithProgids, under HKEY_USERS.
Text ClassListPath(TextRef sidText, TextRef extension);
// <SID text>\Software\...\Explorer\FileExts\.E, under HKEY_USERS.
Text UserExplorerPath(TextRef sidText, TextRef extension);
// SOFTWARE\Classes\<class name>, under HKEY_LOCAL_MACHINE.
Text MachineClassPath(TextRef className);
// Software\...\Explorer\FileExts\.E, under HKEY_CURRENT_USER.
Text ExplorerRecordPath(TextRef extension);
// Software\Classes\.E, under HKEY_CURRENT_USER.
Text UserExtensionClassPath(TextRef extension);
// Software\Classes\E_auto_file, under HKEY_CURRENT_USER.
Text AutoClassPath(TextRef extension);
// Software\...\Explorer\RecentDocs\.E, under HKEY_CURRENT_USER.
Text RecentDocsPath(TextRef extension);

// The user's own keys of the extension: below HKEY_CURRENT_USER when they
// are the process's user (the four paths above), otherwise below HKEY_USERS
// in their hive <SID text>\... and their classes hive <SID text>_Classes\...
// (the hive that is their Software\Classes).
struct UserKeyPaths {
  bool currentUser = true;
  Text explorerRecord;
  Text extensionClass;
  Text autoClass;
  Text recentDocs;
};
UserKeyPaths FindUserKeyPaths(const KeyOwner& owner, TextRef extension);

// "keyPath\name" of a walk record: a named value, or with an empty name the
// key's default value and, failing that, the key itself.
Text ItemPath(TextRef keyPath, TextRef valueName);

// True when a class name from OpenWithProgids names a key strictly below
// SOFTWARE\Classes\: not empty, not beginning with "\", and not made of
// backslashes and spaces alone. Any other name would make the plan empty the
// whole machine-wide class store.
bool NamesAClassKey(TextRef className);

}  // namespace varneth
