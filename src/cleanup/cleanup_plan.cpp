#include "cleanup/cleanup_plan.h"

#include <windows.h>
// After windows.h, which it relies on.
#include <shlobj.h>

#include "cleanup/registry_delete.h"
#include "cleanup/registry_walker.h"
#include "probes/account_sid.h"

namespace varneth {
namespace {

constexpr char kExplorerPrefix[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";
constexpr char kUserClassesPrefix[] = "Software\\Classes\\";
constexpr char kMachineClassesPrefix[] = "SOFTWARE\\Classes\\";
constexpr char kClassListSuffix[] = "\\OpenWithProgids";
constexpr char kAutoClassSuffix[] = "_auto_file";
constexpr char kRecentDocsPrefix[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs\\.";
constexpr char kSeparator[] = "\\";
constexpr char kDot[] = ".";

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

void Delete(PlanRoot root, TextRef path) {
  if (g_observer != nullptr) g_observer("delete", root.remove, path.Bytes());
  DeleteRegistryItem(root.remove, path);
}

// "keyPath\name": a named value, or with an empty name the key's default
// value and, failing that, the key itself.
Text ItemPath(const RegistryKeyRecord& record) {
  return ConcatTexts({record.keyPath, kSeparator, record.value.name});
}

Text ClassListPath(TextRef sidText, TextRef extension) {
  return ConcatTexts({sidText, kSeparator, kExplorerPrefix, extension, kClassListSuffix});
}

void DeleteTree(PlanRoot root, TextRef startPath, RegistryRecordList& records) {
  DeleteWalkedTree(root.walk, root.remove, startPath, records);
}

}  // namespace

void DeleteWalkedTree(WalkRootCode walkRoot, DeleteRootCode deleteRoot, TextRef startPath,
                      RegistryRecordList& records) {
  const PlanRoot root{walkRoot, deleteRoot};
  Walk(root, startPath, records);
  const size_t count = records.size();
  for (size_t j = 0; j < count; ++j) {
    Delete(root, ItemPath(records[j]));
    Delete(root, records[count - 1 - j].keyPath);
  }
  Delete(root, startPath);
}

bool NamesAClassKey(TextRef className) {
  if (className.Bytes()[0] == '\\') return false;
  const Text withoutBackslashes = ReplaceText(className, kSeparator, std::nullopt, std::nullopt,
                                              std::nullopt, true);
  return RemoveSpaces(withoutBackslashes).HasBlock();
}

void CleanExtension(TextRef extension, TextRef sidText, TextRef accountName) {
  RegistryRecordList classList;
  RegistryRecordList records;

  // First the machine-wide classes that the user's OpenWithProgids names:
  // the list is read in full before anything of it is deleted.
  Walk(kUsers, ClassListPath(sidText, extension), classList);
  for (const RegistryKeyRecord& entry : classList) {
    if (!NamesAClassKey(entry.value.name)) continue;
    DeleteTree(kLocalMachine, ConcatTexts({kMachineClassesPrefix, entry.value.name}), records);
  }

  // Then the list's values, and the user's Explorer record by a SID text
  // obtained anew.
  Walk(kUsers, ClassListPath(sidText, extension), records);
  for (const RegistryKeyRecord& record : records) Delete(kUsers, ItemPath(record));
  if (g_observer != nullptr) g_observer("sid", 0, accountName.Bytes());
  const Text freshSidText = GetAccountSidText(accountName);
  Delete(kUsers, ConcatTexts({freshSidText, kSeparator, kExplorerPrefix, extension}));

  // The user's own keys, and the RecentDocs entry, which is not walked.
  DeleteTree(kCurrentUser, ConcatTexts({kExplorerPrefix, extension}), records);
  DeleteTree(kCurrentUser, ConcatTexts({kUserClassesPrefix, kDot, extension}), records);
  DeleteTree(kCurrentUser, ConcatTexts({kUserClassesPrefix, extension, kAutoClassSuffix}), records);
  Delete(kCurrentUser, ConcatTexts({kRecentDocsPrefix, extension}));

  // Sent every time, also when nothing was found.
  if (g_observer != nullptr) g_observer("notify", 0, "");
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void SetCleanupPlanObserver(CleanupPlanObserver observer) { g_observer = observer; }

}  // namespace varneth
