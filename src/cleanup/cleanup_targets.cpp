#include "cleanup/cleanup_targets.h"

#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "registry/registry_enum.h"
#include "registry/registry_key.h"
#include "registry/registry_names.h"
#include "registry/registry_open.h"

namespace varneth {
namespace {

// A key the plan deletes by `path`, and the value that path names first: the
// last name, in the key above.
void AddKeyAndItsValue(std::vector<CleanupTarget>& candidates, HKEY root, std::wstring path) {
  const size_t separator = path.rfind(L'\\');
  CleanupTarget value;
  value.kind = TargetKind::kValue;
  value.root = root;
  if (separator != std::wstring::npos) {
    value.keyPath = path.substr(0, separator);
    value.valueName = path.substr(separator + 1);
  } else {
    value.keyPath = path;  // a key right below the root: its default value
  }
  CleanupTarget key;
  key.root = root;
  key.keyPath = std::move(path);
  candidates.push_back(std::move(key));
  candidates.push_back(std::move(value));
}

std::wstring PlaceName(const CleanupTarget& target) {
  return FoldName(TidyKeyPath(FullKeyPath(target)));
}

// True when a proper ancestor of the folded path is one of the keys.
bool LiesBelowOneOf(const std::wstring& path, const std::unordered_set<std::wstring>& keys) {
  for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    if (keys.count(path.substr(0, at)) != 0) return true;
  }
  return false;
}

// Leaves out what another candidate already holds: a key below a listed key,
// or the same key listed before; a value of a listed key or of a key below
// one, or the same value listed before.
std::vector<CleanupTarget> WithoutCoveredPlaces(std::vector<CleanupTarget> candidates) {
  std::unordered_set<std::wstring> keys;
  for (const CleanupTarget& candidate : candidates) {
    if (candidate.kind == TargetKind::kKey) keys.insert(PlaceName(candidate));
  }
  std::unordered_set<std::wstring> seen;
  std::vector<CleanupTarget> targets;
  for (CleanupTarget& candidate : candidates) {
    const std::wstring place = PlaceName(candidate);
    if (LiesBelowOneOf(place, keys)) continue;
    if (candidate.kind == TargetKind::kValue) {
      if (keys.count(place) != 0) continue;
      if (!seen.insert(place + L'\0' + FoldName(candidate.valueName)).second) continue;
    } else if (!seen.insert(place).second) {
      continue;
    }
    targets.push_back(std::move(candidate));
  }
  return targets;
}

}  // namespace

std::vector<std::wstring> ReadClassNames(const WideKeyNames& names) {
  std::vector<std::wstring> classNames;
  RegistryKey list;
  const std::wstring path = ClassListPath(names.sid, names.extension);
  // Below the record FileExts\.E no registry link is followed.
  const size_t followed = ParentLength(UserExplorerPath(names.sid, names.extension));
  if (OpenWithoutLinks(HKEY_USERS, path, followed, KEY_QUERY_VALUE, list) != ERROR_SUCCESS) {
    return classNames;
  }
  EnumBuffers buffers;
  std::wstring className;
  DWORD type = REG_NONE;
  DWORD size = 0;
  for (DWORD index = 0;
       EnumValueWide(list.Get(), index, buffers, className, type, size) == ERROR_SUCCESS; ++index) {
    if (NamesAClassKey(className)) classNames.push_back(className);
  }
  return classNames;
}

ClassUse JudgeListedClasses(const WideKeyNames& names) {
  return JudgeClassUse(ReadClassNames(names), names.extension);
}

ClassUse JudgeListedClasses(TextRef extension, const KeyOwner& owner) {
  return JudgeListedClasses(WidenKeyNames(extension, owner));
}

std::vector<CleanupTarget> FindCleanupTargets(const WideKeyNames& names,
                                              const ClassUse* classes) {
  const ClassUse judged = classes != nullptr ? ClassUse{} : JudgeListedClasses(names);
  std::vector<CleanupTarget> candidates;
  for (const std::wstring& className : (classes != nullptr ? *classes : judged).own) {
    AddKeyAndItsValue(candidates, HKEY_LOCAL_MACHINE, MachineClassesPrefix() + className);
  }
  const bool ownHive = !names.sid.empty() && SameName(names.sid, names.processSid);
  if (!ownHive) {
    AddKeyAndItsValue(candidates, HKEY_USERS, UserExplorerPath(names.sid, names.extension));
  }
  UserKeyPathsOf<std::wstring> user = FindUserKeyPaths(names);
  const HKEY userRoot = user.currentUser ? HKEY_CURRENT_USER : HKEY_USERS;
  AddKeyAndItsValue(candidates, userRoot, std::move(user.explorerRecord));
  AddKeyAndItsValue(candidates, userRoot, std::move(user.extensionClass));
  AddKeyAndItsValue(candidates, userRoot, std::move(user.autoClass));
  AddKeyAndItsValue(candidates, userRoot, std::move(user.recentDocs));
  return WithoutCoveredPlaces(std::move(candidates));
}

void NoteExistingValues(std::vector<CleanupTarget>& targets) {
  std::unordered_map<std::wstring, std::vector<CleanupTarget*>> byKey;
  for (CleanupTarget& target : targets) {
    if (target.kind == TargetKind::kValue) byKey[PlaceName(target)].push_back(&target);
  }
  for (auto& [place, values] : byKey) {
    RegistryKey key;
    if (OpenTargetKey(*values.front(), KEY_QUERY_VALUE, key) != ERROR_SUCCESS) continue;
    // A key that holds fewer values than are asked about is listed once
    // instead of asked once per value.
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longest, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        count < values.size()) {
      std::unordered_set<std::wstring> present;
      std::vector<wchar_t> name(longest + 1);
      for (DWORD index = 0; index < count; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueW(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) == ERROR_SUCCESS) {
          present.insert(FoldName(std::wstring_view(name.data(), length)));
        }
      }
      for (CleanupTarget* value : values)
        value->existed = present.count(FoldName(value->valueName)) != 0;
      continue;
    }
    for (CleanupTarget* value : values) {
      value->existed = RegQueryValueExW(key.Get(), value->valueName.c_str(), nullptr, nullptr,
                                        nullptr, nullptr) == ERROR_SUCCESS;
    }
  }
}

std::vector<CleanupTarget> ListCleanupTargets(TextRef extension, const KeyOwner& owner) {
  std::vector<CleanupTarget> targets = FindCleanupTargets(WidenKeyNames(extension, owner));
  NoteExistingValues(targets);
  for (CleanupTarget& target : targets) {
    if (target.kind == TargetKind::kKey) target.existed = TargetExists(target);
  }
  return targets;
}

size_t PlaceParentLength(const CleanupTarget& target) {
  // A class name may hold a backslash: its place begins below the class store.
  const std::wstring& classes = MachineClassesPrefix();
  if (target.root == HKEY_LOCAL_MACHINE && target.keyPath.size() > classes.size() &&
      SameName(std::wstring_view(target.keyPath).substr(0, classes.size()), classes)) {
    return classes.size() - 1;
  }
  return ParentLength(target.keyPath);
}

LONG OpenTargetKey(const CleanupTarget& target, REGSAM access, RegistryKey& key,
                   std::wstring* linkPath) {
  // A value's key is the parent of a place, opened as named.
  if (target.kind == TargetKind::kValue) {
    return OpenKeyW(target.root, target.keyPath.c_str(), 0, access, key);
  }
  return OpenWithoutLinks(target.root, target.keyPath, PlaceParentLength(target), access, key,
                          nullptr, linkPath);
}

bool KeyCountsAsThere(LONG openStatus) {
  return openStatus == ERROR_SUCCESS || openStatus == ERROR_ACCESS_DENIED ||
         openStatus == kMetRegistryLink;
}

bool TargetExists(const CleanupTarget& target) {
  RegistryKey key;
  const REGSAM access = target.kind == TargetKind::kKey ? KEY_READ : KEY_QUERY_VALUE;
  const LONG opened = OpenTargetKey(target, access, key);
  if (target.kind == TargetKind::kKey) return KeyCountsAsThere(opened);
  if (opened != ERROR_SUCCESS) return false;
  return RegQueryValueExW(key.Get(), target.valueName.c_str(), nullptr, nullptr, nullptr,
                          nullptr) == ERROR_SUCCESS;
}

void SetTargetOpenCall(TargetOpenCall open) {
  RegistryCalls calls = CurrentRegistryCalls();
  calls.openW = open;
  SetRegistryCalls(calls);
}

std::wstring FullKeyPath(const CleanupTarget& target) {
  std::wstring path = RootNameW(target.root);
  if (!target.keyPath.empty()) path += L"\\" + target.keyPath;
  return path;
}

}  // namespace varneth
