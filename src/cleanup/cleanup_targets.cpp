#include "cleanup/cleanup_targets.h"

#include <utility>

#include "cleanup/plan_paths.h"
#include "cleanup/registry_delete.h"
#include "cleanup/registry_key.h"
#include "cleanup/registry_walker.h"
#include "probes/process_token.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

constexpr WalkRootCode kWalkUsers = 4;

// Registry names compare without regard to letter case.
bool SameName(const std::wstring& a, size_t length, const std::wstring& b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(length), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whole names (a SID text, a value name) without regard to letter case.
bool SameWholeName(TextRef a, TextRef b) {
  const std::wstring first = WidenText(a);
  return SameName(first, first.size(), WidenText(b));
}

// Whether candidate `index` is a place another one already holds: a key
// below another key, or the same key listed before; a value of a listed key
// or of a key below one, or the same value listed before.
bool IsCovered(size_t index, const std::vector<CleanupTarget>& candidates) {
  const CleanupTarget& candidate = candidates[index];
  for (size_t other = 0; other < candidates.size(); ++other) {
    const CleanupTarget& place = candidates[other];
    if (other == index || place.root != candidate.root ||
        !IsWithinKey(candidate.keyPath, place.keyPath)) {
      continue;
    }
    const bool sameKey = IsWithinKey(place.keyPath, candidate.keyPath);
    const bool earlier = other < index;
    if (place.kind == TargetKind::kKey) {
      if (candidate.kind == TargetKind::kValue || !sameKey || earlier) return true;
    } else if (candidate.kind == TargetKind::kValue && sameKey && earlier &&
               SameWholeName(candidate.valueName, place.valueName)) {
      return true;
    }
  }
  return false;
}

// A key the plan deletes by `path`, and the value that path names first.
void AddKeyAndItsValue(std::vector<CleanupTarget>& candidates, HKEY root, TextRef path) {
  CleanupTarget key;
  key.root = root;
  key.keyPath = CopyText(path);
  candidates.push_back(std::move(key));
  ItemPathParts item = SplitItemPath(path);
  CleanupTarget value;
  value.kind = TargetKind::kValue;
  value.root = root;
  value.keyPath = std::move(item.keyPath);
  value.valueName = std::move(item.valueName);
  candidates.push_back(std::move(value));
}

}  // namespace

bool IsWithinKey(TextRef path, TextRef parent) {
  const std::wstring child = WidenText(path);
  const std::wstring above = WidenText(parent);
  if (child.size() < above.size()) return false;
  if (child.size() > above.size() && child[above.size()] != L'\\') return false;
  return SameName(child, above.size(), above);
}

std::vector<CleanupTarget> ListCleanupTargets(TextRef extension, TextRef sidText) {
  std::vector<CleanupTarget> candidates;

  RegistryRecordList classList;
  WalkRegistryTree(kWalkUsers, ClassListPath(sidText, extension), kSubtree, classList);
  for (const RegistryKeyRecord& entry : classList) {
    if (NamesAClassKey(entry.value.name)) {
      AddKeyAndItsValue(candidates, HKEY_LOCAL_MACHINE, MachineClassPath(entry.value.name));
    }
  }

  const bool ownHive = TextLength(sidText) > 0 && SameWholeName(sidText, GetProcessUserSidText());
  if (!ownHive) AddKeyAndItsValue(candidates, HKEY_USERS, UserExplorerPath(sidText, extension));
  AddKeyAndItsValue(candidates, HKEY_CURRENT_USER, ExplorerRecordPath(extension));
  AddKeyAndItsValue(candidates, HKEY_CURRENT_USER, UserExtensionClassPath(extension));
  AddKeyAndItsValue(candidates, HKEY_CURRENT_USER, AutoClassPath(extension));
  AddKeyAndItsValue(candidates, HKEY_CURRENT_USER, RecentDocsPath(extension));

  std::vector<CleanupTarget> targets;
  for (size_t index = 0; index < candidates.size(); ++index) {
    if (IsCovered(index, candidates)) continue;
    targets.push_back(candidates[index]);
    targets.back().existed = TargetExists(targets.back());
  }
  return targets;
}

bool TargetExists(const CleanupTarget& target) {
  RegistryKey key;
  const REGSAM access = target.kind == TargetKind::kKey ? KEY_READ : KEY_QUERY_VALUE;
  const LONG opened = RegOpenKeyExA(target.root, target.keyPath.Bytes(), 0, access, key.Put());
  // A key that refuses to be read is there all the same: counted as a target,
  // its backup fails, so nothing is deleted that was not saved first.
  if (target.kind == TargetKind::kKey) {
    return opened == ERROR_SUCCESS || opened == ERROR_ACCESS_DENIED;
  }
  if (opened != ERROR_SUCCESS) return false;
  return RegQueryValueExA(key.Get(), target.valueName.Bytes(), nullptr, nullptr, nullptr,
                          nullptr) == ERROR_SUCCESS;
}

const char* RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (root == HKEY_USERS) return "HKEY_USERS";
  if (root == HKEY_CURRENT_CONFIG) return "HKEY_CURRENT_CONFIG";
  return "";
}

Text FullKeyPath(const CleanupTarget& target) {
  if (TextLength(target.keyPath) == 0) return CopyText(RootName(target.root));
  return ConcatTexts({RootName(target.root), "\\", target.keyPath});
}

}  // namespace varneth
