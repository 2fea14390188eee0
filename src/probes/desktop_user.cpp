#include "probes/desktop_user.h"

#include "probes/owned_handle.h"
#include "probes/system_binding.h"

namespace varneth {
namespace {

constexpr char kSystemSid[] = "S-1-5-18";
constexpr DWORD kNoSession = 0xFFFFFFFF;
constexpr DWORD kAnySession = 0xFFFFFFFE;  // WTS_ANY_SESSION
constexpr int kProcessInfoLevel1 = 1;      // WTSTypeProcessInfoLevel1

DesktopCalls g_calls;

// WTS_PROCESS_INFO_EXW as documented; the headers at hand lack it.
struct TerminalProcessInfo {
  DWORD sessionId;
  DWORD processId;
  LPWSTR processName;
  PSID userSid;
  DWORD numberOfThreads;
  DWORD handleCount;
  DWORD pagefileUsage;
  DWORD peakPagefileUsage;
  DWORD workingSetSize;
  DWORD peakWorkingSetSize;
  LARGE_INTEGER userTime;
  LARGE_INTEGER kernelTime;
};

using EnumerateProcessesEx = BOOL(WINAPI*)(HANDLE, DWORD*, DWORD, LPWSTR*, DWORD*);
using FreeMemoryEx = BOOL(WINAPI*)(int, PVOID, ULONG);

template <typename Function>
Function OptionalWtsFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(FindOptionalFunction("wtsapi32", name)));
}

// The process list the terminal services give, freed by its owner.
struct TerminalProcessList {
  FreeMemoryEx release = nullptr;
  LPWSTR buffer = nullptr;
  DWORD count = 0;
  ~TerminalProcessList() {
    if (buffer != nullptr) release(kProcessInfoLevel1, buffer, count);
  }
};

// The SID of the process's primary token as the terminal services, which
// run as the system account, read it for any caller.
Text TerminalServicesSidText(DWORD processId) {
  const auto enumerate = OptionalWtsFunction<EnumerateProcessesEx>("WTSEnumerateProcessesExW");
  TerminalProcessList list;
  list.release = OptionalWtsFunction<FreeMemoryEx>("WTSFreeMemoryExW");
  DWORD level = 1;
  if (enumerate == nullptr || list.release == nullptr ||
      !enumerate(WTS_CURRENT_SERVER_HANDLE, &level, kAnySession, &list.buffer, &list.count) ||
      level != 1) {
    return Text();
  }
  const auto* processes = reinterpret_cast<const TerminalProcessInfo*>(list.buffer);
  for (DWORD i = 0; i < list.count; ++i) {
    if (processes[i].processId == processId && processes[i].userSid != nullptr) {
      return SidToText(processes[i].userSid);
    }
  }
  return Text();
}

Text TokenUserSidTextOf(DWORD processId) {
  // The limited right is what an administrator of another account is granted
  // on another user's process.
  const OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (process.Get() == nullptr) return Text();
  OwnedHandle token;
  if (!OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) return Text();
  return GetTokenUserSidText(token.Get());
}

// The user of the process that owns the shell's window (Explorer's, on the
// desktop the process runs on); none without a shell, as in a service's
// session or under Wine.
DWORD ShellProcessId(HWND shell) {
  DWORD processId = 0;
  g_calls.windowProcess(shell, &processId);
  return processId;
}

Text ShellUserSidText() {
  const HWND shell = g_calls.shellWindow();
  if (shell == nullptr) return Text();
  const DWORD processId = ShellProcessId(shell);
  if (processId == 0) return Text();
  Text sidText = ProcessUserSidTextOf(processId);
  // The ID was read before the process was opened: had the shell ended in
  // between, the ID could name another process by then. A window that is
  // still the shell's and still that process's proves it lived throughout,
  // and a live process's ID is never given to another.
  if (g_calls.shellWindow() != shell || ShellProcessId(shell) != processId) return Text();
  return sidText;
}

}  // namespace

Text ProcessUserSidTextOf(DWORD processId) {
  if (Text sidText = TokenUserSidTextOf(processId); sidText.HasBlock()) return sidText;
  {
    // Another account's token may need it (the platform documents
    // OpenProcessToken so); enabled for this step alone.
    const EnabledPrivilege debug(L"SeDebugPrivilege");
    if (debug.Held()) {
      if (Text sidText = TokenUserSidTextOf(processId); sidText.HasBlock()) return sidText;
    }
  }
  return TerminalServicesSidText(processId);
}

DesktopUser FindSessionUser(DWORD session) {
  OwnedHandle token;
  if (!g_calls.sessionToken(session, token.Put())) {
    const bool nobody = GetLastError() == ERROR_NO_TOKEN;
    return {nobody ? DesktopSearch::kNoConsoleUser : DesktopSearch::kUnknown, Text()};
  }
  Text sidText = GetTokenUserSidText(token.Get());
  if (!sidText.HasBlock()) return {};
  return {DesktopSearch::kFound, std::move(sidText)};
}

void SetDesktopCalls(const DesktopCalls& calls) { g_calls = calls; }

DesktopUser FindDesktopUser() {
  if (Text shellUser = ShellUserSidText(); shellUser.HasBlock()) {
    return {DesktopSearch::kFound, std::move(shellUser)};
  }
  if (CompareText(g_calls.processUserSid(), kSystemSid) == 0) {
    const DWORD console = g_calls.consoleSession();
    if (console == kNoSession) return {DesktopSearch::kNoConsoleUser, Text()};
    return FindSessionUser(console);
  }
  // Not the system account: its own session's user, where the platform
  // tells it; nobody there is no answer for a process that runs in it.
  DWORD session = 0;
  if (!g_calls.processSession(GetCurrentProcessId(), &session)) return {};
  DesktopUser user = FindSessionUser(session);
  if (user.search != DesktopSearch::kFound) return {};
  return user;
}

}  // namespace varneth
