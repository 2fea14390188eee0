#include "probes/desktop_user.h"

#include <windows.h>
// After windows.h, which they rely on.
#include <wtsapi32.h>

#include <string>
#include <vector>

#include "probes/owned_handle.h"
#include "probes/process_token.h"

namespace varneth {
namespace {

constexpr char kSystemSid[] = "S-1-5-18";
constexpr DWORD kNoSession = 0xFFFFFFFF;

// The user of the process that owns the shell's window (Explorer's, on the
// desktop the process runs on); none without a shell, as in a service's
// session or under Wine.
Text ShellUserSidText() {
  const HWND shell = GetShellWindow();
  if (shell == nullptr) return Text();
  DWORD processId = 0;
  GetWindowThreadProcessId(shell, &processId);
  if (processId == 0) return Text();
  // The limited right is what an administrator of another account is granted
  // on another user's process.
  const OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (process.Get() == nullptr) return Text();
  OwnedHandle token;
  if (!OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) return Text();
  return GetTokenUserSidText(token.Get());
}

// The user logged on at the console. WTSQueryUserToken needs the system
// account's privilege and fails with ERROR_NO_TOKEN when nobody is logged on.
DesktopUser ConsoleUser() {
  const DWORD session = WTSGetActiveConsoleSessionId();
  if (session == kNoSession) return {DesktopSearch::kNoConsoleUser, Text()};
  OwnedHandle token;
  if (!WTSQueryUserToken(session, token.Put())) {
    const bool nobody = GetLastError() == ERROR_NO_TOKEN;
    return {nobody ? DesktopSearch::kNoConsoleUser : DesktopSearch::kUnknown, Text()};
  }
  Text sidText = GetTokenUserSidText(token.Get());
  if (!sidText.HasBlock()) return {};
  return {DesktopSearch::kFound, std::move(sidText)};
}

std::wstring SessionText(WTS_INFO_CLASS what) {
  LPWSTR text = nullptr;
  DWORD size = 0;
  if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, what, &text,
                                   &size)) {
    return std::wstring();
  }
  std::wstring copy = text != nullptr ? text : L"";
  WTSFreeMemory(text);
  return copy;
}

// The user the process's session was logged on by: the desktop's user even
// when the process itself was elevated as another account.
Text SessionUserSidText() {
  const std::wstring user = SessionText(WTSUserName);
  if (user.empty()) return Text();
  const std::wstring domain = SessionText(WTSDomainName);
  const std::wstring account = domain.empty() ? user : domain + L"\\" + user;
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use;
  LookupAccountNameW(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
  if (sidSize == 0) return Text();
  std::vector<unsigned char> sid(sidSize);
  std::vector<wchar_t> domainName(domainSize + 1);
  if (!LookupAccountNameW(nullptr, account.c_str(), sid.data(), &sidSize, domainName.data(),
                          &domainSize, &use)) {
    return Text();
  }
  return SidToText(sid.data());
}

}  // namespace

DesktopUser FindDesktopUser() {
  if (Text shellUser = ShellUserSidText(); shellUser.HasBlock()) {
    return {DesktopSearch::kFound, std::move(shellUser)};
  }
  if (CompareText(GetProcessUserSidText(), kSystemSid) == 0) return ConsoleUser();
  if (Text sessionUser = SessionUserSidText(); sessionUser.HasBlock()) {
    return {DesktopSearch::kFound, std::move(sessionUser)};
  }
  return {};
}

}  // namespace varneth
