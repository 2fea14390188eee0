// The checks that bound a cleanup's deletions by its backup: whatever other
// programs write meanwhile, nothing is deleted that the backup does not hold.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "cleanup/backup/backup_snapshot.h"
#include "cleanup/class_use/class_use.h"
#include "registry/registry_delete.h"

namespace varneth {

// What the key's deletion answered for one key (its path tidied, below `root`).
struct KeyDeletionResult {
  HKEY root = nullptr;
  std::wstring path;
  LONG status = ERROR_SUCCESS;
};

struct BackupGuard {
  const BackupSnapshot* snapshot = nullptr;
  std::vector<KeyDeletionResult> keyDeletions;
  // A class name was left in the user's list because its class key stayed.
  bool keptClassNames = false;
  // The judgement of the list: a name of a class that is not the extension's
  // own never keeps the list, since no run deletes that class.
  const ClassUse* classes = nullptr;
};

// The checks over `guard`, which must outlive them:
// - a value is deleted only when the snapshot holds it with the type and data
//   it has now;
// - a key only when the snapshot holds it and, just before the deletion, it
//   has no subkey (the platform would refuse it anyway) and every value it
//   holds is held as it is (a key emptied of its values one by one holds
//   none, which the deletion makes sure of the instant before);
// - a class name in the user's OpenWithProgids list, and so the list's key,
//   stays while the machine-wide class key of that name exists, so that a
//   run with the rights to remove the class still finds it.
DeletionCheck GuardDeletions(BackupGuard& guard);

// True when a value as it is now (type and data) is the one the snapshot
// saved; false when it saved none.
bool IsAsSaved(const SnapshotValue* saved, DWORD type, const BYTE* data, DWORD size);

// Whether a machine-wide class key of this name exists now (one that may
// not be opened counts as there).
bool MachineClassExists(const std::wstring& className);

// True when the key at `placeSnapshotPath`, or one below it, stayed because
// it was written between its check and its deletion.
bool WrittenBeforeDeletion(const std::vector<KeyDeletionResult>& results,
                           const BackupSnapshot& snapshot, const std::wstring& placeSnapshotPath);

// True when a key directly below `parent` could not be deleted for lack of
// access while a sibling of it could: on Windows 10 and 11 the sign of a
// default-app choice that the system protects (UserChoice, UserChoiceLatest),
// which only the system's Settings may change.
bool HoldsProtectedChoice(const std::vector<KeyDeletionResult>& results, HKEY root,
                          const std::wstring& parent);

}  // namespace varneth
