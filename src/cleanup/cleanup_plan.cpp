#include "cleanup/cleanup_plan.h"

#include <windows.h>

#include "cleanup/cleanup_targets.h"
#include "cleanup/paths/plan_paths.h"
#include "registry/registry_delete.h"
#include "registry/registry_open.h"
#include "registry/registry_tree_delete.h"
#include "registry/registry_walker.h"
#include "cleanup/shell_notification.h"
#include "probes/process_token.h"
#include "runtime/wide_text.h"

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

// `followedLength`: how much of a path names the place's parent, which is
// opened as named; below it no registry link is followed (-1: all but the
// path's last name).
void Walk(PlanRoot root, TextRef startPath, RegistryRecordList& records,
          std::int32_t followedLength = -1) {
  if (g_observer != nullptr) g_observer("walk", root.walk, startPath.Bytes());
  WalkRegistryTree(root.walk, startPath, kSubtree, records, {}, false, followedLength);
}

void Delete(PlanRoot root, TextRef path, const DeletionCheck* check,
            std::int32_t followedLength = -1, ItemDeletion how = ItemDeletion::kValueOrKey) {
  if (g_observer != nullptr) g_observer("delete", root.remove, path.Bytes());
  DeleteRegistryItem(root.remove, path, check, followedLength, how);
}

// A place: its key, and a value of its name in the key above, both go.
void DeletePlace(PlanRoot root, TextRef path, const DeletionCheck* check,
                 std::int32_t followedLength = -1) {
  Delete(root, path, check, followedLength, ItemDeletion::kValueAndKey);
}

void DeleteTree(PlanRoot root, TextRef startPath, const DeletionCheck* check,
                std::int32_t followedLength = -1) {
  DeleteWalkedTree(root.walk, root.remove, startPath, check, followedLength);
}

std::int32_t ParentPart(TextRef path) {
  return static_cast<std::int32_t>(ParentLengthA(path.Bytes()));
}

// A class name: a value of OpenWithProgids itself (values in keys below it
// name no class) that names a key below the class store.
bool IsClassListEntry(const RegistryKeyRecord& record, TextRef classListPath) {
  return record.kind == kValueRecord && CompareText(record.keyPath, classListPath) == 0 &&
         NamesAClassKey(record.value.name);
}

}  // namespace

void DeleteWalkedTree(WalkRootCode walkRoot, DeleteRootCode deleteRoot, TextRef startPath,
                      const DeletionCheck* check, std::int32_t followedLength) {
  if (g_observer != nullptr) g_observer("walk", walkRoot, startPath.Bytes());
  DeleteRegistryTree(deleteRoot, startPath, check, followedLength);
}

void CleanExtension(TextRef extension, const KeyOwner& owner, const DeletionCheck* check,
                    const ClassUse* classes) {
  const TextRef sidText = owner.sidText;
  const ClassUse judged = classes != nullptr ? ClassUse{} : JudgeListedClasses(extension, owner);
  const ClassUse& classUse = classes != nullptr ? *classes : judged;
  RegistryRecordList classList;
  RegistryRecordList records;

  // First the machine-wide classes that the user's OpenWithProgids names:
  // the list is read in full before anything of it is deleted.
  // No registry link below the record FileExts\.E, nor below the class
  // store, is followed.
  const Text classListPath = ClassListPath(sidText, extension);
  const std::int32_t listFollowed = ParentPart(UserExplorerPath(sidText, extension));
  const std::int32_t classFollowed = ParentPart(MachineClassPath("x"));
  Walk(kUsers, classListPath, classList, listFollowed);
  for (const RegistryKeyRecord& entry : classList) {
    // The name as the walk read it must be an own class as stored: an ANSI
    // form that only resembles one (a character the code page cannot hold,
    // read as "?" or as a similar letter) is not.
    if (!IsClassListEntry(entry, classListPath) ||
        !IsOwnClass(classUse, WidenText(entry.value.name))) {
      continue;
    }
    DeleteTree(kLocalMachine, MachineClassPath(entry.value.name), check, classFollowed);
  }

  // Then the list's values, and the user's Explorer record by a SID text
  // obtained anew: the process's own from its token, another user's as
  // decided at start-up.
  Walk(kUsers, ClassListPath(sidText, extension), records, listFollowed);
  for (const RegistryKeyRecord& record : records) {
    Delete(kUsers, ItemPath(record.keyPath, record.value.name), check, listFollowed);
  }
  if (g_observer != nullptr) g_observer("sid", 0, sidText.Bytes());
  const Text freshSidText = IsProcessUser(owner) ? GetProcessUserSidText() : CopyText(sidText);
  DeletePlace(kUsers, UserExplorerPath(freshSidText, extension), check);

  // The user's own keys, and the RecentDocs entry, which is not walked.
  const UserKeyPaths user = FindUserKeyPaths(owner, extension);
  const PlanRoot userRoot = user.currentUser ? kCurrentUser : kUsers;
  DeleteTree(userRoot, user.explorerRecord, check);
  DeleteTree(userRoot, user.extensionClass, check);
  DeleteTree(userRoot, user.autoClass, check);
  DeletePlace(userRoot, user.recentDocs, check);

  // Sent every time, also when nothing was found.
  if (g_observer != nullptr) g_observer("notify", 0, "");
  NotifyAssociationsChanged();
}

void SetCleanupPlanObserver(CleanupPlanObserver observer) { g_observer = observer; }

}  // namespace varneth
