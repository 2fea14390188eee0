// What one run of the cleanup for an extension will delete, named before
// anything is deleted: the backup, the dry run and the outcome check all
// read this one list.
#pragma once

#include <windows.h>

#include <vector>

#include "runtime/text.h"

namespace varneth {

enum class TargetKind {
  kKey,    // a key with its whole subtree
  kValue,  // one value of a key the cleanup keeps
};

struct CleanupTarget {
  TargetKind kind = TargetKind::kKey;
  HKEY root = nullptr;  // a predefined root
  Text keyPath;         // the key, or the key holding the value, below the root
  Text valueName;       // kValue only; "" is the key's default value
  bool existed = false;
};

// The keys the plan deletes for the extension: the machine-wide classes its
// OpenWithProgids names (listed with the plan's walker and class-name rule),
// the Explorer record under HKEY_USERS\<SID text> (under HKEY_CURRENT_USER
// when that SID is the process's own user: one key, listed once), and the
// user's Explorer record, .E and E_auto_file class keys and RecentDocs entry.
// Each is deleted by a path without a trailing backslash, which the deletion
// first reads as a value of the parent named like the key: such a value is
// listed too. Places inside another target are left out, being part of it.
// `existed` tells whether each one exists now.
std::vector<CleanupTarget> ListCleanupTargets(TextRef extension, TextRef sidText);

// Whether the key, or the value, is there now. A key that exists but may not
// be read counts as there.
bool TargetExists(const CleanupTarget& target);

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS", ...
const char* RootName(HKEY root);

// The key's path with the root's name in front.
Text FullKeyPath(const CleanupTarget& target);

// True when `path` is `parent` or lies below it; registry names compare
// without regard to letter case.
bool IsWithinKey(TextRef path, TextRef parent);

}  // namespace varneth
