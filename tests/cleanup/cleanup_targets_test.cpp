#include "cleanup/cleanup_targets.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "cleanup/extension_cleanup.h"
#include "scratch_registry.h"
#include "probes/account_sid.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

using namespace testing_support;

const std::string kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
const std::string kRecord = kExplorer + "FileExts\\.vnttgt";
const std::string kClass = "SOFTWARE\\Classes\\VarnethTgt";

// Each target as "<root> <path>", a value as "<root> <key path> [<name>]",
// and "+" in front of those that exist.
std::vector<std::string> Described(const std::vector<CleanupTarget>& targets) {
  std::vector<std::string> lines;
  for (const CleanupTarget& target : targets) {
    std::string line =
        std::string(target.existed ? "+" : "") + NarrowText(FullKeyPath(target)).Bytes();
    if (target.kind == TargetKind::kValue)
      line += std::string(" [") + NarrowText(target.valueName).Bytes() + "]";
    lines.push_back(line);
  }
  return lines;
}

// The keys of the user the process runs as, as start-up names them.
KeyOwner ProcessUser(const std::string& sid) {
  return KeyOwner{KeyOwnerCase::kProcessUser, CopyText(sid.c_str()), Text()};
}

class CleanupTargets : public testing::Test {
 protected:
  void SetUp() override {
    char name[256];
    DWORD size = sizeof name;
    GetUserNameA(name, &size);
    sid_ = GetAccountSidText(name).Bytes();
    ASSERT_FALSE(sid_.empty());
    TearDown();
  }
  void TearDown() override {
    RemoveTree(HKEY_CURRENT_USER, kRecord);
    RemoveTree(HKEY_CURRENT_USER, "Software\\Classes\\.vnttgt");
    RemoveTree(HKEY_LOCAL_MACHINE, kClass);
    RemoveTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vnttgt");
    HKEY classes;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, KEY_ALL_ACCESS, &classes) ==
        ERROR_SUCCESS) {
      RegDeleteValueA(classes, ".vnttgt");
      RegCloseKey(classes);
    }
  }
  bool CanWriteMachineClasses() {
    HKEY probe;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kClass.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &probe, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(probe);
    return true;
  }
  std::string sid_;
};

TEST_F(CleanupTargets, TheOwnHiveIsNamedOnceUnderTheCurrentUser) {
  const std::vector<std::string> expected = {
      "HKEY_CURRENT_USER\\" + kRecord,
      "HKEY_CURRENT_USER\\" + kExplorer + "FileExts [.vnttgt]",
      "HKEY_CURRENT_USER\\Software\\Classes\\.vnttgt",
      "HKEY_CURRENT_USER\\Software\\Classes [.vnttgt]",
      "HKEY_CURRENT_USER\\Software\\Classes\\vnttgt_auto_file",
      "HKEY_CURRENT_USER\\Software\\Classes [vnttgt_auto_file]",
      "HKEY_CURRENT_USER\\" + kExplorer + "RecentDocs\\.vnttgt",
      "HKEY_CURRENT_USER\\" + kExplorer + "RecentDocs [.vnttgt]",
  };
  EXPECT_EQ(Described(ListCleanupTargets("vnttgt", ProcessUser(sid_))), expected);
  // Letter case does not make it another user's hive.
  std::string lower = sid_;
  lower[0] = 's';
  EXPECT_EQ(Described(ListCleanupTargets("vnttgt", ProcessUser(lower))), expected);
}

// A SID that is not the process's, kept at start-up when its keys are not to
// be taken: the Explorer record there is a target of its own.
TEST_F(CleanupTargets, AnotherUsersHiveIsATargetOfItsOwn) {
  const std::vector<std::string> targets =
      Described(ListCleanupTargets("vnttgt", ProcessUser("S-1-5-21-1-2-3-4711")));
  ASSERT_EQ(targets.size(), 10u);
  EXPECT_EQ(targets[0], "HKEY_USERS\\S-1-5-21-1-2-3-4711\\" + kRecord);
  EXPECT_EQ(targets[1], "HKEY_USERS\\S-1-5-21-1-2-3-4711\\" + kExplorer + "FileExts [.vnttgt]");
}

TEST_F(CleanupTargets, AValueNamedLikeATargetKeyIsATargetAndExistenceIsNoted) {
  AddString(HKEY_CURRENT_USER, "Software\\Classes", ".vnttgt", "a value, not the key");
  AddString(HKEY_CURRENT_USER, kRecord + "\\UserChoice", "Progid", "x");
  const std::vector<std::string> targets =
      Described(ListCleanupTargets("vnttgt", ProcessUser(sid_)));
  EXPECT_EQ(targets[0], "+HKEY_CURRENT_USER\\" + kRecord);
  EXPECT_EQ(targets[1], "HKEY_CURRENT_USER\\" + kExplorer + "FileExts [.vnttgt]");
  EXPECT_EQ(targets[2], "HKEY_CURRENT_USER\\Software\\Classes\\.vnttgt");
  EXPECT_EQ(targets[3], "+HKEY_CURRENT_USER\\Software\\Classes [.vnttgt]");
}

TEST_F(CleanupTargets, ClassesInsideAnotherListedClassAreLeftOut) {
  if (!CanWriteMachineClasses())
    GTEST_SKIP() << "needs the right to write below HKEY_LOCAL_MACHINE";
  const std::string list = kRecord + "\\OpenWithProgids";
  AddString(HKEY_CURRENT_USER, list, "VarnethTgt\\Nested", "");
  AddString(HKEY_CURRENT_USER, list, "VarnethTgt", "");
  AddString(HKEY_CURRENT_USER, list + "\\sub", "varnethtgt", "");  // the same class again
  AddString(HKEY_LOCAL_MACHINE, kClass + "\\Nested", "v", "x");
  AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vnttgt\\OpenWithProgids", "VarnethTgt", "");
  const std::vector<std::string> targets =
      Described(ListCleanupTargets("vnttgt", ProcessUser(sid_)));
  ASSERT_GE(targets.size(), 2u);
  EXPECT_EQ(targets[0], "+HKEY_LOCAL_MACHINE\\" + kClass);
  EXPECT_EQ(targets[1], "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes [VarnethTgt]");
  EXPECT_EQ(targets[2], "+HKEY_CURRENT_USER\\" + kRecord);
  EXPECT_EQ(targets.size(), 10u);
}

LONG WINAPI RefuseToOpen(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY key) {
  *key = nullptr;
  return ERROR_ACCESS_DENIED;
}

// A key that exists but may not be read is there: counted as a target, its
// backup fails and nothing is deleted. Wine never refuses, hence the seam.
TEST(TargetExists, AKeyThatRefusesToOpenIsThereAValueIsNot) {
  CleanupTarget key;
  key.root = HKEY_CURRENT_USER;
  key.keyPath = L"Software\\VarnethTest\\NoSuchKey";
  CleanupTarget value = key;
  value.kind = TargetKind::kValue;
  EXPECT_FALSE(TargetExists(key));
  SetTargetOpenCall(RefuseToOpen);
  EXPECT_TRUE(TargetExists(key));
  EXPECT_FALSE(TargetExists(value));
  SetTargetOpenCall(RegOpenKeyExW);
}

TEST(ShouldSuggestAdministrator, OnlyForAMachineKeyThatStayedWithoutElevation) {
  CleanupOutcome outcome;
  TargetFate user;
  user.target.root = HKEY_CURRENT_USER;
  user.stayed = true;
  TargetFate machine;
  machine.target.root = HKEY_LOCAL_MACHINE;
  machine.stayed = false;
  outcome.targets = {user, machine};
  EXPECT_FALSE(ShouldSuggestAdministrator(outcome, false));
  outcome.targets[1].stayed = true;
  EXPECT_TRUE(ShouldSuggestAdministrator(outcome, false));
  EXPECT_FALSE(ShouldSuggestAdministrator(outcome, true));
}

}  // namespace
}  // namespace varneth
