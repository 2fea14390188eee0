#include "probes/desktop_user.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
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
  DesktopCalls calls;
  calls.sessionToken = AnswerWithError;
  SetDesktopCalls(calls);
  for (const auto& [error, search] : cases) {
    g_error = error;
    const DesktopUser user = FindSessionUser(1);
    EXPECT_EQ(user.search, search) << error;
    EXPECT_EQ(std::string(user.sidText.Bytes()), error == 0 ? GetProcessUserSidText().Bytes() : "");
  }
  SetDesktopCalls({});
}

// A process as Wine never runs one: the system account or not, with a shell
// window or without, users logged on or not in its own session (3) and at
// the console (7). Each session's token is this process's own, so a found
// user's SID is this process's.
struct Platform {
  bool system;
  bool shellWindow;
  DWORD shellLater;  // the shell window's process when read again; 0: the same
  DWORD console;     // the console's session, 0xFFFFFFFF for none
  bool ownSessionUser, consoleUser;
} g_platform;

HWND WINAPI ShellWindow() { return g_platform.shellWindow ? GetDesktopWindow() : nullptr; }
int g_windowReads;
DWORD WINAPI WindowProcess(HWND, DWORD* processId) {
  const bool later = ++g_windowReads > 1 && g_platform.shellLater != 0;
  *processId = later ? g_platform.shellLater : GetCurrentProcessId();
  return 1;
}
Text ProcessUser() { return g_platform.system ? CopyText("S-1-5-18") : GetProcessUserSidText(); }
DWORD WINAPI ConsoleSession() { return g_platform.console; }
BOOL WINAPI OwnSession(DWORD, DWORD* session) {
  *session = 3;
  return TRUE;
}
BOOL WINAPI SessionToken(ULONG session, HANDLE* token) {
  if ((session == 3 && g_platform.ownSessionUser) || (session == 7 && g_platform.consoleUser)) {
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token);
  }
  SetLastError(ERROR_NO_TOKEN);
  return FALSE;
}

TEST(FindDesktopUser, AsksTheShellThenTheConsoleForTheSystemAccountElseItsOwnSession) {
  const struct {
    Platform platform;
    DesktopSearch search;
  } cases[] = {
      // The shell's user, read while its window stays that process's.
      {{false, true, 0, 7, false, false}, DesktopSearch::kFound},
      {{false, true, 0xFFF0, 7, false, false}, DesktopSearch::kUnknown},
      // The system account: the console's user, never its own session's.
      {{true, false, 0, 7, false, true}, DesktopSearch::kFound},
      {{true, false, 0, 7, true, false}, DesktopSearch::kNoConsoleUser},
      {{true, false, 0, 0xFFFFFFFF, true, true}, DesktopSearch::kNoConsoleUser},
      // Another account without a shell (a scheduled task, SSH): its own
      // session's user, never the console's.
      {{false, false, 0, 7, true, false}, DesktopSearch::kFound},
      {{false, false, 0, 7, false, true}, DesktopSearch::kUnknown},
  };
  SetDesktopCalls({ShellWindow, WindowProcess, ProcessUser, ConsoleSession, OwnSession, SessionToken});
  for (size_t i = 0; i < std::size(cases); ++i) {
    g_platform = cases[i].platform;
    g_windowReads = 0;
    const DesktopUser user = FindDesktopUser();
    EXPECT_EQ(user.search, cases[i].search) << i;
    EXPECT_EQ(std::string(user.sidText.Bytes()),
              user.search == DesktopSearch::kFound ? GetProcessUserSidText().Bytes() : "")
        << i;
  }
  SetDesktopCalls({});
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
