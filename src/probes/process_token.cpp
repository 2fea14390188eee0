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

}  // namespace varneth
