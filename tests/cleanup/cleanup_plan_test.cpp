#include "cleanup/cleanup_plan.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "scratch_registry.h"
#include "cleanup/shell_notification.h"
#include "probes/account_sid.h"
#include "probes/process_token.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

using namespace testing_support;

std::vector<std::string> g_calls;

void RecordCall(const char* call, std::int32_t rootCode, const char* path) {
  g_calls.push_back(std::string(call) + " " + std::to_string(rootCode) + " " + path);
}

TEST(NamesAClassKey, RefusesNamesThatReachTheWholeClassStore) {
  // The targets judge the name as stored, the plan its ANSI form: alike.
  for (const char* name : {"", "\\", "\\txtfile", "\\\\", " ", " \\ ", "\xA1\xA1\\"}) {
    EXPECT_FALSE(NamesAClassKey(name)) << name;
    EXPECT_FALSE(NamesAClassKey(WidenText(name))) << name;
  }
  EXPECT_FALSE(NamesAClassKey(Text()));
  for (const char* name : {"txtfile", "a\\b", "txtfile\\", "my editor.txt", "\x81\x5C"}) {
    EXPECT_TRUE(NamesAClassKey(name)) << name;
    EXPECT_TRUE(NamesAClassKey(WidenText(name))) << name;
  }
}

const std::string kExtension = "vntplan";
const std::string kRecord =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + kExtension;
const std::string kClass = "SOFTWARE\\Classes\\VarnethPlanClass";
const std::string kMachineExtension = "SOFTWARE\\Classes\\." + kExtension;
// A user who is not the process's, with scratch hives under HKEY_USERS.
const std::string kOtherSid = "S-1-5-21-4711-4711-4711-1001";

// Runs the plan and gives back its registry calls in order.
std::vector<std::string> PlanCalls(const KeyOwner& owner) {
  g_calls.clear();
  SetCleanupPlanObserver(RecordCall);
  CleanExtension(kExtension.c_str(), owner);
  SetCleanupPlanObserver(nullptr);
  return g_calls;
}

// The plan's last calls, the same whatever the registry holds: the user's
// extension and automatic class keys, RecentDocs, the notification.
void AppendClosingCalls(std::vector<std::string>& calls) {
  const std::vector<std::string> closing = {
      "walk 2 Software\\Classes\\." + kExtension,
      "walk 2 Software\\Classes\\" + kExtension + "_auto_file",
      "delete 3 Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs\\." + kExtension,
      "notify 0 ",
  };
  calls.insert(calls.end(), closing.begin(), closing.end());
}

class CleanupPlanCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    char name[256];
    DWORD size = sizeof name;
    GetUserNameA(name, &size);
    // The SID of a name lookup, which the plan's paths are checked against,
    // is the token's here: Wine's one user has no namesake elsewhere.
    sid_ = GetAccountSidText(name).Bytes();
    ASSERT_FALSE(sid_.empty());
    owner_.sidText = GetProcessUserSidText();
    HKEY probe;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kClass.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &probe, nullptr) != ERROR_SUCCESS) {
      GTEST_SKIP() << "needs the right to write below HKEY_LOCAL_MACHINE (run as administrator)";
    }
    RegCloseKey(probe);
    RemoveTree(HKEY_LOCAL_MACHINE, kClass);
    // The machine ties the class to the extension: only then may it go.
    AddString(HKEY_LOCAL_MACHINE, kMachineExtension + "\\OpenWithProgids", "VarnethPlanClass", "");
  }
  void TearDown() override {
    SetCleanupPlanObserver(nullptr);
    RemoveTree(HKEY_CURRENT_USER, kRecord);
    RemoveTree(HKEY_CURRENT_USER, "Software\\Classes\\." + kExtension);
    RemoveTree(HKEY_LOCAL_MACHINE, kClass);
    RemoveTree(HKEY_LOCAL_MACHINE, kMachineExtension);
    RemoveTree(HKEY_USERS, kOtherSid);
    RemoveTree(HKEY_USERS, kOtherSid + "_Classes");
  }
  std::string sid_;
  KeyOwner owner_;
};

// The plan's registry calls in order, for a list that holds a default value,
// one class name and a subkey, and a class with a small tree.
TEST_F(CleanupPlanCalls, FollowTheFixedOrder) {
  const std::string list = kRecord + "\\OpenWithProgids";
  AddString(HKEY_CURRENT_USER, list, nullptr, "");
  AddString(HKEY_CURRENT_USER, list, "VarnethPlanClass", "");
  AddKey(HKEY_CURRENT_USER, list + "\\sub");
  AddString(HKEY_LOCAL_MACHINE, kClass + "\\shell", "v", "x");
  AddKey(HKEY_LOCAL_MACHINE, kClass + "\\shell\\open");

  const std::vector<std::string> calls = PlanCalls(owner_);

  const std::string users = sid_ + "\\" + list;
  std::vector<std::string> expected = {
      "walk 4 " + users,
      // The default value's empty name is passed over; the class's tree is
      // deleted as one step.
      "walk 3 " + kClass,
      // The subkey's record has an empty name too: no walk for it.
      "walk 4 " + users,
      "delete 5 " + users + "\\",
      "delete 5 " + users + "\\VarnethPlanClass",
      "delete 5 " + users + "\\sub\\",
      "sid 0 " + sid_,
      "delete 5 " + sid_ + "\\" + kRecord,
      "walk 2 " + kRecord,
  };
  AppendClosingCalls(expected);
  EXPECT_EQ(calls, expected);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClass));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRecord));
}

// Judging the list itself, the plan walks neither a class another extension
// uses nor a key of the class store.
TEST_F(CleanupPlanCalls, WalkOnlyTheExtensionsOwnClasses) {
  const std::string shared = "SOFTWARE\\Classes\\VarnethPlanShared";
  for (const char* name : {"VarnethPlanClass", "CLSID", "VarnethPlanShared"}) {
    AddString(HKEY_CURRENT_USER, kRecord + "\\OpenWithProgids", name, "");
  }
  AddKey(HKEY_LOCAL_MACHINE, kClass);
  AddString(HKEY_LOCAL_MACHINE, shared, nullptr, "");
  AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vntplanother", nullptr, "VarnethPlanShared");
  std::vector<std::string> walks;
  for (const std::string& call : PlanCalls(owner_)) {
    if (call.rfind("walk 3 ", 0) == 0) walks.push_back(call);
  }
  RemoveTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vntplanother");
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, shared));
  RemoveTree(HKEY_LOCAL_MACHINE, shared);
  EXPECT_EQ(walks, std::vector<std::string>{"walk 3 " + kClass});
}

// What the registry holds when each walk begins: the classes go before the
// list that names them, the list's values before the record, the record
// before the user's class keys.
std::vector<std::string> g_states;

void RecordStateAtWalks(const char* call, std::int32_t rootCode, const char* path) {
  if (std::string(call) != "walk") return;
  const std::string list = kRecord + "\\OpenWithProgids";
  g_states.push_back(std::to_string(rootCode) + " " + path + ": class " +
                     (KeyExists(HKEY_LOCAL_MACHINE, kClass) ? "+" : "-") + " list value " +
                     (ValueExists(HKEY_CURRENT_USER, list, "VarnethPlanClass") ? "+" : "-") +
                     " record " + (KeyExists(HKEY_CURRENT_USER, kRecord) ? "+" : "-"));
}

TEST_F(CleanupPlanCalls, EachPassFindsTheOneBeforeItDone) {
  const std::string list = kRecord + "\\OpenWithProgids";
  AddString(HKEY_CURRENT_USER, list, "VarnethPlanClass", "");
  AddString(HKEY_CURRENT_USER, kRecord + "\\UserChoice", "Progid", "VarnethPlanClass");
  AddString(HKEY_LOCAL_MACHINE, kClass + "\\shell\\open", "v", "x");
  g_states.clear();
  SetCleanupPlanObserver(RecordStateAtWalks);
  CleanExtension(kExtension.c_str(), owner_);
  SetCleanupPlanObserver(nullptr);
  const std::string users = sid_ + "\\" + list;
  EXPECT_EQ(g_states, (std::vector<std::string>{
                          "4 " + users + ": class + list value + record +",
                          "3 " + kClass + ": class + list value + record +",
                          "4 " + users + ": class - list value + record +",
                          "2 " + kRecord + ": class - list value - record +",
                          "2 Software\\Classes\\." + kExtension + ": class - list value - record -",
                          "2 Software\\Classes\\" + kExtension +
                              "_auto_file: class - list value - record -",
                      }));
}

// The Explorer record's deletion reads the SID anew from the token, not
// from what start-up kept.
TEST_F(CleanupPlanCalls, AnEmptySidTextStillRunsEveryStep) {
  const std::vector<std::string> calls = PlanCalls(KeyOwner{});
  std::vector<std::string> expected = {
      "walk 4 \\" + kRecord + "\\OpenWithProgids",
      "walk 4 \\" + kRecord + "\\OpenWithProgids",
      "sid 0 ",
      "delete 5 " + sid_ + "\\" + kRecord,
      "walk 2 " + kRecord,
  };
  AppendClosingCalls(expected);
  EXPECT_EQ(calls, expected);
}

// Another user's keys: their list, record, class keys and RecentDocs entry
// in their hives under HKEY_USERS go; the process's own stay.
TEST_F(CleanupPlanCalls, AnotherUsersKeysAreReachedInTheirHives) {
  const std::string& other = kOtherSid;
  const std::string classes = kOtherSid + "_Classes";
  const std::string recent =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs\\." + kExtension;
  AddString(HKEY_USERS, other + "\\" + kRecord + "\\OpenWithProgids", "VarnethPlanClass", "");
  AddString(HKEY_USERS, other + "\\" + recent, "v", "x");
  AddString(HKEY_USERS, classes + "\\." + kExtension, nullptr, "VarnethPlanClass");
  AddKey(HKEY_USERS, classes + "\\" + kExtension + "_auto_file\\shell");
  AddString(HKEY_LOCAL_MACHINE, kClass, nullptr, "x");
  AddString(HKEY_CURRENT_USER, kRecord + "\\OpenWithProgids", "VarnethPlanClass", "");
  AddString(HKEY_CURRENT_USER, "Software\\Classes\\." + kExtension, nullptr, "own");

  KeyOwner owner{KeyOwnerCase::kDesktopUser, CopyText(other.c_str()), CopyText("PC\\other")};
  const std::vector<std::string> calls = PlanCalls(owner);

  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClass));
  EXPECT_FALSE(KeyExists(HKEY_USERS, other + "\\" + kRecord));
  EXPECT_FALSE(KeyExists(HKEY_USERS, other + "\\" + recent));
  EXPECT_FALSE(KeyExists(HKEY_USERS, classes + "\\." + kExtension));
  EXPECT_FALSE(KeyExists(HKEY_USERS, classes + "\\" + kExtension + "_auto_file"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRecord + "\\OpenWithProgids", "VarnethPlanClass"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\." + kExtension));
  // HKEY_CURRENT_USER is code 2 to the walker and 3 to the deletion.
  for (const std::string& call : calls) {
    EXPECT_NE(call.rfind("walk 2 ", 0), 0u) << call;
    EXPECT_NE(call.rfind("delete 3 ", 0), 0u) << call;
  }
}

struct ShellCall {
  LONG event;
  UINT flags;
  LPCVOID first, second;
};
std::vector<ShellCall> g_shellCalls;

void WINAPI RecordShellCall(LONG event, UINT flags, LPCVOID first, LPCVOID second) {
  g_shellCalls.push_back({event, flags, first, second});
}

// Explorer rereads associations on this one event, which names no item; it
// is sent once, also when nothing was there.
TEST(CleanExtension, TellsTheShellThatAssociationsChanged) {
  const KeyOwner owner{KeyOwnerCase::kProcessUser, GetProcessUserSidText(), Text()};
  g_shellCalls.clear();
  SetShellCalls({RecordShellCall});
  CleanExtension("vntnothingthere", owner);
  SetShellCalls({});
  ASSERT_EQ(g_shellCalls.size(), 1u);
  EXPECT_EQ(g_shellCalls[0].event, SHCNE_ASSOCCHANGED);
  EXPECT_EQ(g_shellCalls[0].flags, UINT{SHCNF_IDLIST});
  EXPECT_EQ(g_shellCalls[0].first, nullptr);
  EXPECT_EQ(g_shellCalls[0].second, nullptr);
}

}  // namespace
}  // namespace varneth
