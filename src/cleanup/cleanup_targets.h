// What one run of the cleanup for an extension will delete, named before
// anything is deleted: the backup, the dry run and the outcome check all
// read this one list. Names are kept as the registry stores them (UTF-16),
// so a name the ANSI code page cannot hold is named exactly all the same.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "cleanup/class_use/class_use.h"
#include "cleanup/paths/plan_paths.h"
#include "registry/registry_key.h"
#include "probes/key_owner.h"
#include "runtime/text.h"

namespace varneth {

enum class TargetKind {
  kKey,    // a key with its whole subtree
  kValue,  // one value of a key the cleanup keeps
};

struct CleanupTarget {
  TargetKind kind = TargetKind::kKey;
  HKEY root = nullptr;     // a predefined root
  std::wstring keyPath;    // the key, or the key holding the value, below the root
  std::wstring valueName;  // kValue only; "" is the key's default value
  bool existed = false;
};

// The class names of the user's list: the values of the key OpenWithProgids
// itself, read as stored. Values in keys below it name no class, and a name
// that would reach the whole class store or nothing is passed over.
std::vector<std::wstring> ReadClassNames(const WideKeyNames& names);

// Those class names judged, with the owner's own keys as the user's: which
// are the extension's own, which are kept.
ClassUse JudgeListedClasses(const WideKeyNames& names);
ClassUse JudgeListedClasses(TextRef extension, const KeyOwner& owner);

// The keys the plan deletes for the extension: the machine-wide classes its
// OpenWithProgids names, the Explorer record under HKEY_USERS\<SID text>
// (under HKEY_CURRENT_USER when that SID is the process's own user: one key,
// listed once), and the user's Explorer record, .E and E_auto_file class keys
// and RecentDocs entry (in their hives below HKEY_USERS when the keys are
// another user's). Each is deleted by a path without a trailing backslash,
// which the deletion first reads as a value of the parent named like the
// key: such a value is listed too. Places inside another target are
// left out, being part of it; finding them takes one look-up per level of
// each path, never a comparison of every target with every other.
// `existed` tells whether each one exists now.
std::vector<CleanupTarget> ListCleanupTargets(TextRef extension, const KeyOwner& owner);

// The same targets, with `existed` not yet looked at. Of the classes only the
// extension's own are targets: those `classes` judged so, or when it is null
// those a judgement of the user's list made here finds.
std::vector<CleanupTarget> FindCleanupTargets(const WideKeyNames& names,
                                              const ClassUse* classes = nullptr);

// Notes whether each value target exists; each key that holds value targets
// is opened once for all of them (the values named like the class keys all
// lie in SOFTWARE\Classes).
void NoteExistingValues(std::vector<CleanupTarget>& targets);

// Whether the key, or the value, is there now.
bool TargetExists(const CleanupTarget& target);

// How much of a key target's path names its place's parent: the key above it,
// or for a class the class store.
size_t PlaceParentLength(const CleanupTarget& target);

// Opens the target's key (the key, or the key holding the value). A key
// target is opened as itself: a registry link gives kMetRegistryLink, and
// `linkPath` (when given) the full path of the key that is the link.
LONG OpenTargetKey(const CleanupTarget& target, REGSAM access, RegistryKey& key,
                   std::wstring* linkPath = nullptr);

// Whether a key counts as there when opening it gave `openStatus`: one that
// exists but may not be read is there all the same (its backup then fails,
// so nothing is deleted that was not saved first), and so is a link.
bool KeyCountsAsThere(LONG openStatus);

// Tests make a key refuse to open (Wine never refuses) through this; it is
// RegOpenKeyExW otherwise (the registry calls' own seam).
using TargetOpenCall = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
void SetTargetOpenCall(TargetOpenCall open);

// The key's path with the root's name in front.
std::wstring FullKeyPath(const CleanupTarget& target);

}  // namespace varneth
