#include "probes/key_owner.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "scratch_registry.h"
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
    std::string shownName;  // its end: DOMAIN\name, or a SID with no name
  } cases[] = {
      {DesktopSearch::kFound, own, false, KeyOwnerCase::kProcessUser, own, ""},
      {DesktopSearch::kFound, kOtherSid, true, KeyOwnerCase::kDesktopUser, kOtherSid, kOtherSid},
      {DesktopSearch::kFound, kOtherSid, false, KeyOwnerCase::kUnsureOwnKeys, own, ownName},
      {DesktopSearch::kUnknown, "", false, KeyOwnerCase::kUnsureOwnKeys, own, ownName},
      {DesktopSearch::kNoConsoleUser, "", false, KeyOwnerCase::kNoConsoleUser, own, ""},
  };
  SetDesktopUserFinder(NamedDesktopUser);
  for (const auto& each : cases) {
    if (each.hiveLoaded) testing_support::AddKey(HKEY_USERS, kOtherSid);
    g_search = each.search;
    g_sid = each.sid;
    const KeyOwner owner = DecideKeyOwner();
    testing_support::RemoveTree(HKEY_USERS, kOtherSid);
    EXPECT_EQ(owner.whose, each.whose) << each.sid;
    EXPECT_EQ(std::string(owner.sidText.Bytes()), each.ownerSid) << each.sid;
    EXPECT_TRUE(std::string(owner.accountName.Bytes()).ends_with(each.shownName));
  }
  SetDesktopUserFinder(nullptr);
}

}  // namespace
}  // namespace varneth
