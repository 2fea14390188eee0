#include "cleanup/backup/backup_guard.h"

#include <algorithm>
#include <vector>

#include "cleanup/paths/plan_paths.h"
#include "registry/registry_enum.h"
#include "registry/registry_key.h"
#include "registry/registry_names.h"
#include "registry/registry_open.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

// A class name of the user's list whose class key is still there: the name
// stays, so that a later run finds the class.
bool KeepsAClass(BackupGuard& guard, const std::wstring& snapshotPath, const std::wstring& name) {
  if (guard.snapshot->classLists.count(snapshotPath) == 0) return false;
  if (!NamesAClassKey(name) || !MachineClassExists(name)) return false;
  if (guard.classes != nullptr && !IsOwnClass(*guard.classes, name)) return false;
  guard.keptClassNames = true;
  return true;
}

bool MayDeleteValue(BackupGuard& guard, HKEY root, TextRef keyPath, HKEY key,
                    const char* valueName) {
  const BackupSnapshot& snapshot = *guard.snapshot;
  const std::wstring path = SnapshotPath(snapshot, root, WidenText(keyPath));
  const std::wstring name = valueName == nullptr ? std::wstring() : WidenText(valueName);
  const SnapshotValue* saved = FindSnapshotValue(snapshot, path, name);
  // A path or name of that form may have been read from another key's name.
  if (saved == nullptr || IsSubstitutedForm(snapshot, path) ||
      IsSubstitutedForm(snapshot, path, name)) {
    return false;
  }
  DWORD type = REG_NONE;
  std::vector<BYTE> data(std::max<DWORD>(saved->size, 1));
  if (QueryValueWide(key, name, type, data) != ERROR_SUCCESS) return false;
  if (!IsAsSaved(saved, type, data.data(), static_cast<DWORD>(data.size()))) return false;
  return !KeepsAClass(guard, path, name);
}

// Every value the open key holds now is held by the snapshot as it is: the
// values are compared until the listing ends, so one added after the key
// was measured is compared too.
bool ValuesAreAsSaved(BackupGuard& guard, HKEY key, const std::wstring& path) {
  EnumBuffers buffers;
  std::wstring valueName;
  for (DWORD index = 0;; ++index) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    const LONG status = EnumValueWide(key, index, buffers, valueName, type, size);
    if (status == ERROR_NO_MORE_ITEMS) return true;
    if (status != ERROR_SUCCESS) return false;
    if (!IsAsSaved(FindSnapshotValue(*guard.snapshot, path, valueName), type,
                   buffers.data.data(), size) ||
        KeepsAClass(guard, path, valueName)) {
      return false;
    }
  }
}

// `key` is the very key the deletion names, opened as itself. A key emptied
// of its values goes only when it holds nothing the instant before, which
// the deletion itself makes sure of.
bool MayDeleteKey(BackupGuard& guard, HKEY root, TextRef path, HKEY key, bool emptied) {
  const std::wstring snapshotPath = SnapshotPath(*guard.snapshot, root, WidenText(path));
  if (!SnapshotHoldsKey(*guard.snapshot, snapshotPath) ||
      IsSubstitutedForm(*guard.snapshot, snapshotPath)) {
    return false;
  }
  if (emptied) return true;
  DWORD subkeys = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // The platform refuses to delete a key that has subkeys; none is asked to.
  if (subkeys > 0) return false;
  return ValuesAreAsSaved(guard, key, snapshotPath);
}

}  // namespace

bool IsAsSaved(const SnapshotValue* saved, DWORD type, const BYTE* data, DWORD size) {
  return saved != nullptr && saved->type == type && saved->size == size &&
         saved->digest == DigestValue(type, data, size);
}

bool MachineClassExists(const std::wstring& className) {
  RegistryKey key;
  const std::wstring& classes = MachineClassesPrefix();
  const LONG opened = OpenWithoutLinks(HKEY_LOCAL_MACHINE, classes + className,
                                       classes.size() - 1, KEY_READ, key);
  return opened == ERROR_SUCCESS || opened == ERROR_ACCESS_DENIED || opened == kMetRegistryLink;
}

bool WrittenBeforeDeletion(const std::vector<KeyDeletionResult>& results,
                           const BackupSnapshot& snapshot, const std::wstring& placeSnapshotPath) {
  return std::any_of(results.begin(), results.end(), [&](const KeyDeletionResult& result) {
    return result.status == kChangedSinceCheck &&
           IsWithinKey(SnapshotPath(snapshot, result.root, result.path), placeSnapshotPath);
  });
}

bool HoldsProtectedChoice(const std::vector<KeyDeletionResult>& results, HKEY root,
                          const std::wstring& parent) {
  bool refused = false;
  bool siblingDeleted = false;
  for (const KeyDeletionResult& result : results) {
    if (result.root != root || result.path.size() <= parent.size() ||
        !IsWithinKey(result.path, parent) ||
        result.path.find(L'\\', parent.size() + 1) != std::wstring::npos) {
      continue;  // not directly below the parent
    }
    if (result.status == ERROR_ACCESS_DENIED) refused = true;
    if (result.status == ERROR_SUCCESS) siblingDeleted = true;
  }
  return refused && siblingDeleted;
}

DeletionCheck GuardDeletions(BackupGuard& guard) {
  DeletionCheck check;
  check.mayDeleteValue = [&guard](HKEY root, TextRef keyPath, HKEY key, const char* valueName) {
    return MayDeleteValue(guard, root, keyPath, key, valueName);
  };
  check.mayDeleteKey = [&guard](HKEY root, TextRef path, HKEY key, bool emptied) {
    return MayDeleteKey(guard, root, path, key, emptied);
  };
  check.keyDeletion = [&guard](HKEY root, TextRef path, LONG status) {
    guard.keyDeletions.push_back({root, TidyKeyPath(WidenText(path)), status});
  };
  return check;
}

}  // namespace varneth
