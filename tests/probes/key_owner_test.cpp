#include "probes/key_owner.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "probes/account_sid.h"
#include "probes/process_token.h"

namespace varneth {
namespace {

const char kOtherSid[] = "S-1-5-21-4711-4711-4711-1003";

DesktopSearch g_search;
std::string g_sid;
DesktopUser NamedDesktopUser() { return {g_search, CopyText(g_sid.c_str())}; }

// Whose keys, for each answer of the desktop user's search (Wine has one
// user: the seam names another). HKEY_USERS\<other SID> is loaded here.
TEST(DecideKeyOwner, TakesTheDesktopUsersKeysOnlyWhenTheirHiveIsLoaded) {
  char name[256];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetUserNameA(name, &size));
  const std::string own = GetProcessUserSidText().Bytes();
  // The token's SID is the one a lookup of the bare name gives here.
  EXPECT_EQ(own, GetAccountSidText(name).Bytes());
  const std::string ownName = std::string("\\") + name;
  const struct {
    DesktopSearch search;
    std::string sid;
    bool hiveLoaded;
    KeyOwnerCase whose;
    std::string ownerSid;
    std::string shownName;  // its end
  } cases[] = {
      {DesktopSearch::kFound, own, false, KeyOwnerCase::kProcessUser, own, ""},
      {DesktopSearch::kFound, kOtherSid, true, KeyOwnerCase::kDesktopUser, kOtherSid, kOtherSid},
      {DesktopSearch::kFound, kOtherSid, false, KeyOwnerCase::kUnsureOwnKeys, own, ownName},
      {DesktopSearch::kUnknown, "", false, KeyOwnerCase::kUnsureOwnKeys, own, ownName},
      {DesktopSearch::kNoConsoleUser, "", false, KeyOwnerCase::kNoConsoleUser, own, ""},
  };
  SetDesktopUserFinder(NamedDesktopUser);
  for (const auto& each : cases) {
    if (each.hiveLoaded) {
      HKEY hive;
      ASSERT_EQ(RegCreateKeyExA(HKEY_USERS, kOtherSid, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &hive, nullptr),
                ERROR_SUCCESS);
      RegCloseKey(hive);
    }
    g_search = each.search;
    g_sid = each.sid;
    const KeyOwner owner = DecideKeyOwner();
    RegDeleteKeyA(HKEY_USERS, kOtherSid);
    const std::string shown = owner.accountName.Bytes();
    EXPECT_EQ(owner.whose, each.whose) << each.sid;
    EXPECT_EQ(IsProcessUser(owner), each.whose != KeyOwnerCase::kDesktopUser);
    EXPECT_EQ(std::string(owner.sidText.Bytes()), each.ownerSid) << each.sid;
    EXPECT_TRUE(
        shown.size() >= each.shownName.size() &&
        shown.compare(shown.size() - each.shownName.size(), std::string::npos, each.shownName) == 0)
        << shown;
  }
  SetDesktopUserFinder(nullptr);
}

}  // namespace
}  // namespace varneth
