#include "cleanup/plan_paths.h"

#include <optional>

namespace varneth {
namespace {

constexpr char kExplorerPrefix[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";
constexpr char kUserClassesPrefix[] = "Software\\Classes\\";
constexpr char kMachineClassesPrefix[] = "SOFTWARE\\Classes\\";
constexpr char kClassListSuffix[] = "\\OpenWithProgids";
constexpr char kAutoClassSuffix[] = "_auto_file";
constexpr char kRecentDocsPrefix[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs\\.";
constexpr char kSeparator[] = "\\";
constexpr char kDot[] = ".";
constexpr char kClassesHiveSuffix[] = "_Classes\\";

}  // namespace

Text ClassListPath(TextRef sidText, TextRef extension) {
  return ConcatTexts({sidText, kSeparator, kExplorerPrefix, extension, kClassListSuffix});
}

Text UserExplorerPath(TextRef sidText, TextRef extension) {
  return ConcatTexts({sidText, kSeparator, kExplorerPrefix, extension});
}

Text MachineClassPath(TextRef className) { return ConcatTexts({kMachineClassesPrefix, className}); }

Text ExplorerRecordPath(TextRef extension) { return ConcatTexts({kExplorerPrefix, extension}); }

Text UserExtensionClassPath(TextRef extension) {
  return ConcatTexts({kUserClassesPrefix, kDot, extension});
}

Text AutoClassPath(TextRef extension) {
  return ConcatTexts({kUserClassesPrefix, extension, kAutoClassSuffix});
}

Text RecentDocsPath(TextRef extension) { return ConcatTexts({kRecentDocsPrefix, extension}); }

UserKeyPaths FindUserKeyPaths(const KeyOwner& owner, TextRef extension) {
  UserKeyPaths paths;
  if (IsProcessUser(owner)) {
    paths.explorerRecord = ExplorerRecordPath(extension);
    paths.extensionClass = UserExtensionClassPath(extension);
    paths.autoClass = AutoClassPath(extension);
    paths.recentDocs = RecentDocsPath(extension);
    return paths;
  }
  const TextRef sid = owner.sidText;
  paths.currentUser = false;
  paths.explorerRecord = UserExplorerPath(sid, extension);
  paths.extensionClass = ConcatTexts({sid, kClassesHiveSuffix, kDot, extension});
  paths.autoClass = ConcatTexts({sid, kClassesHiveSuffix, extension, kAutoClassSuffix});
  paths.recentDocs = ConcatTexts({sid, kSeparator, RecentDocsPath(extension)});
  return paths;
}

Text ItemPath(TextRef keyPath, TextRef valueName) {
  return ConcatTexts({keyPath, kSeparator, valueName});
}

bool NamesAClassKey(TextRef className) {
  if (className.Bytes()[0] == '\\') return false;
  const Text withoutBackslashes =
      ReplaceText(className, kSeparator, std::nullopt, std::nullopt, std::nullopt, true);
  return RemoveSpaces(withoutBackslashes).HasBlock();
}

}  // namespace varneth
