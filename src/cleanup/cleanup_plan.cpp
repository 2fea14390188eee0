#include "cleanup/cleanup_plan.h"

#include <windows.h>
// After windows.h, which it relies on.
#include <shlobj.h>

#include "cleanup/plan_paths.h"
#include "cleanup/registry/registry_delete.h"
#include "cleanup/registry/registry_walker.h"
#include "probes/process_token.h"

namespace varneth {
namespace {

// One root in both numberings: the walker's and the deletion's.
struct PlanRoot {
  WalkRootCode walk;
  DeleteRootCode remove;
};
constexpr PlanRoot kCurrentUser{2, 3};
constexpr PlanRoot kLocalMachine{3, 4};
constexpr PlanRoot kUsers{4, 5};

CleanupPlanObserver g_observer = nullptr;

void Walk(PlanRoot root, TextRef startPath, RegistryRecordList& records) {
  if (g_observer != nullptr) g_observer("walk", root.walk, startPath.Bytes());
  WalkRegistryTree(root.walk, startPath, kSubtree, records);
}

void Delete(PlanRoot root, TextRef path, const DeletionCheck* check) {
  if (g_observer != nullptr) g_observer("delete", root.remove, path.Bytes());
  DeleteRegistryItem(root.remove, path, check);
}

void DeleteTree(PlanRoot root, TextRef startPath, RegistryRecordList& records,
                const DeletionCheck* check) {
  DeleteWalkedTree(root.walk, root.remove, startPath, records, check);
}

// A class name: a value of OpenWithProgids itself (values in keys below it
// name no class) that names a key below the class store.
bool IsClassListEntry(const RegistryKeyRecord& record, TextRef classListPath) {
  return record.kind == kValueRecord && CompareText(record.keyPath, classListPath) == 0 &&
         NamesAClassKey(record.value.name);
}

}  // namespace

void DeleteWalkedTree(WalkRootCode walkRoot, DeleteRootCode deleteRoot, TextRef startPath,
                      RegistryRecordList& records, const DeletionCheck* check) {
  const PlanRoot root{walkRoot, deleteRoot};
  Walk(root, startPath, records);
  const size_t count = records.size();
  for (size_t j = 0; j < count; ++j) {
    Delete(root, ItemPath(records[j].keyPath, records[j].value.name), check);
    Delete(root, records[count - 1 - j].keyPath, check);
  }
  Delete(root, startPath, check);
}

void CleanExtension(TextRef extension, const KeyOwner& owner, const DeletionCheck* check) {
  const TextRef sidText = owner.sidText;
  RegistryRecordList classList;
  RegistryRecordList records;

  // First the machine-wide classes that the user's OpenWithProgids names:
  // the list is read in full before anything of it is deleted.
  const Text classListPath = ClassListPath(sidText, extension);
  Walk(kUsers, classListPath, classList);
  for (const RegistryKeyRecord& entry : classList) {
    if (!IsClassListEntry(entry, classListPath)) continue;
    DeleteTree(kLocalMachine, MachineClassPath(entry.value.name), records, check);
  }

  // Then the list's values, and the user's Explorer record by a SID text
  // obtained anew: the process's own from its token, another user's as
  // decided at start-up.
  Walk(kUsers, ClassListPath(sidText, extension), records);
  for (const RegistryKeyRecord& record : records) {
    Delete(kUsers, ItemPath(record.keyPath, record.value.name), check);
  }
  if (g_observer != nullptr) g_observer("sid", 0, sidText.Bytes());
  const Text freshSidText = IsProcessUser(owner) ? GetProcessUserSidText() : CopyText(sidText);
  Delete(kUsers, UserExplorerPath(freshSidText, extension), check);

  // The user's own keys, and the RecentDocs entry, which is not walked.
  const UserKeyPaths user = FindUserKeyPaths(owner, extension);
  const PlanRoot userRoot = user.currentUser ? kCurrentUser : kUsers;
  DeleteTree(userRoot, user.explorerRecord, records, check);
  DeleteTree(userRoot, user.extensionClass, records, check);
  DeleteTree(userRoot, user.autoClass, records, check);
  Delete(userRoot, user.recentDocs, check);

  // Sent every time, also when nothing was found.
  if (g_observer != nullptr) g_observer("notify", 0, "");
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void SetCleanupPlanObserver(CleanupPlanObserver observer) { g_observer = observer; }

}  // namespace varneth
