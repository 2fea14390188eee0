// Who the user is whose desktop the process runs on. It is not always the
// user the process runs as: elevated with another account's credentials it
// runs as that account, and as the system account it has no desktop at all.
#pragma once

#include <windows.h>
// After windows.h, which it relies on.
#include <wtsapi32.h>

#include "probes/process_token.h"
#include "runtime/text.h"

namespace varneth {

enum class DesktopSearch {
  kFound,          // sidText names the user
  kUnknown,        // the platform does not tell
  kNoConsoleUser,  // the system account, and nobody is logged on at the console
};

struct DesktopUser {
  DesktopSearch search = DesktopSearch::kUnknown;
  Text sidText;  // "S-1-...", when found
};

// Asks, in this order: the user of the desktop shell's process
// (ProcessUserSidTextOf); for the system account, the user logged on at the
// console; otherwise the user logged on to the process's own session. Every
// SID is read from a token or as the terminal services give it, never
// looked up by a name.
DesktopUser FindDesktopUser();

// "S-1-..." of the user a process runs as: its token's, opened with the
// right an administrator has on another user's process, then again with
// SeDebugPrivilege enabled for that one step where the token holds it; else
// the SID the terminal services give for the process (Windows 7 and later).
// Empty when nothing tells.
Text ProcessUserSidTextOf(DWORD processId);

// The user logged on in a session, from the session's token. Windows grants
// that token to the system account alone (Wine to anyone). kNoConsoleUser
// when nobody is logged on there (ERROR_NO_TOKEN), kUnknown on any other
// failure.
DesktopUser FindSessionUser(DWORD session);

// The platform's answers the search is decided on. Tests replace them to be
// the system account, or a process with or without a shell window and a
// console user, which Wine never is.
struct DesktopCalls {
  HWND(WINAPI* shellWindow)() = GetShellWindow;
  DWORD(WINAPI* windowProcess)(HWND, DWORD*) = GetWindowThreadProcessId;
  Text (*processUserSid)() = GetProcessUserSidText;
  DWORD(WINAPI* consoleSession)() = WTSGetActiveConsoleSessionId;
  BOOL(WINAPI* processSession)(DWORD, DWORD*) = ProcessIdToSessionId;
  BOOL(WINAPI* sessionToken)(ULONG, HANDLE*) = WTSQueryUserToken;
};
void SetDesktopCalls(const DesktopCalls& calls);

}  // namespace varneth
