#include "probes/desktop_user.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "probes/process_token.h"

namespace varneth {
namespace {

DWORD g_error;
// Fails with g_error, or (0) gives the process's own token.
BOOL WINAPI AnswerWithError(ULONG, HANDLE* token) {
  if (g_error == 0) return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token);
  SetLastError(g_error);
  return FALSE;
}

// Only "nobody is logged on" makes a run as the system account stop; any
// other failure is not knowing, which cleans the process's own keys.
TEST(FindSessionUser, TellsNobodyLoggedOnFromTheOtherFailures) {
  const std::pair<DWORD, DesktopSearch> cases[] = {
      {ERROR_NO_TOKEN, DesktopSearch::kNoConsoleUser},
      {ERROR_NO_SUCH_LOGON_SESSION, DesktopSearch::kUnknown},
      {ERROR_PRIVILEGE_NOT_HELD, DesktopSearch::kUnknown},
      {ERROR_CTX_WINSTATION_NOT_FOUND, DesktopSearch::kUnknown},
      {0, DesktopSearch::kFound},
  };
  SetSessionTokenQuery(AnswerWithError);
  for (const auto& [error, search] : cases) {
    g_error = error;
    const DesktopUser user = FindSessionUser(1);
    EXPECT_EQ(user.search, search) << error;
    EXPECT_EQ(std::string(user.sidText.Bytes()), error == 0 ? GetProcessUserSidText().Bytes() : "");
  }
  SetSessionTokenQuery(nullptr);
}

bool DebugPrivilegeEnabled() {
  HANDLE token;
  LUID luid;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &luid);
  PRIVILEGE_SET wanted{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
  BOOL enabled = FALSE;
  PrivilegeCheck(token, &wanted, &enabled);
  CloseHandle(token);
  return enabled != FALSE;
}

// Enabled for one step, then back as it was: a process left with it
// enabled would open every other process with full rights.
TEST(EnabledPrivilege, EnablesAHeldPrivilegeOnlyWhileItLives) {
  ASSERT_FALSE(DebugPrivilegeEnabled());
  {
    const EnabledPrivilege debug(L"SeDebugPrivilege");
    ASSERT_TRUE(debug.Held());  // Wine runs every process as an administrator
    EXPECT_TRUE(DebugPrivilegeEnabled());
  }
  EXPECT_FALSE(DebugPrivilegeEnabled());
  EXPECT_FALSE(EnabledPrivilege(L"SeNoSuchPrivilege").Held());
  // A process whose token cannot be read takes every way, and leaves it off.
  EXPECT_FALSE(ProcessUserSidTextOf(0xFFFFFFF0).HasBlock());
  EXPECT_FALSE(DebugPrivilegeEnabled());
  EXPECT_EQ(std::string(ProcessUserSidTextOf(GetCurrentProcessId()).Bytes()),
            GetProcessUserSidText().Bytes());
}

}  // namespace
}  // namespace varneth
