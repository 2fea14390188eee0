#include "probes/process_token.h"

#include <windows.h>
// After windows.h, which it relies on.
#include <sddl.h>

#include <vector>

#include "probes/local_memory.h"
#include "probes/owned_handle.h"

namespace varneth {
namespace {

// The process's own token, or null.
OwnedHandle OpenOwnToken() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return OwnedHandle();
  return OwnedHandle(token);
}

}  // namespace

Text SidToText(PSID sid) {
  LocalMemory<char> sidText;
  if (!ConvertSidToStringSidA(sid, sidText.Put())) return Text();
  return CopyText(sidText.Get());
}

Text GetTokenUserSidText(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return Text();
  std::vector<unsigned char> user(size);
  if (!GetTokenInformation(token, TokenUser, user.data(), size, &size)) return Text();
  return SidToText(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
}

Text GetProcessUserSidText() {
  const OwnedHandle token = OpenOwnToken();
  if (token.Get() == nullptr) return Text();
  return GetTokenUserSidText(token.Get());
}

bool IsProcessElevated() {
  const OwnedHandle token = OpenOwnToken();
  if (token.Get() == nullptr) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = sizeof elevation;
  return GetTokenInformation(token.Get(), TokenElevation, &elevation, size, &size) &&
         elevation.TokenIsElevated != 0;
}

EnabledPrivilege::EnabledPrivilege(const wchar_t* privilege) {
  TOKEN_PRIVILEGES wanted = {};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, privilege, &wanted.Privileges[0].Luid) ||
      !OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                        token_.Put())) {
    return;
  }
  // It succeeds also for a privilege the token lacks, saying so in the
  // last error; the previous state lists what it changed (nothing when the
  // privilege was enabled already).
  DWORD size = sizeof previous_;
  held_ = AdjustTokenPrivileges(token_.Get(), FALSE, &wanted, sizeof previous_, &previous_,
                                &size) &&
          GetLastError() == ERROR_SUCCESS;
}

EnabledPrivilege::~EnabledPrivilege() {
  if (held_ && previous_.PrivilegeCount > 0) {
    AdjustTokenPrivileges(token_.Get(), FALSE, &previous_, 0, nullptr, nullptr);
  }
}

}  // namespace varneth
