#include "probes/process_token.h"

#include <windows.h>
// After windows.h, which it relies on.
#include <sddl.h>

#include <vector>

#include "probes/local_memory.h"

namespace varneth {
namespace {

// The process token, closed by its owner.
class ProcessToken {
 public:
  ProcessToken() {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &handle_)) handle_ = nullptr;
  }
  ProcessToken(const ProcessToken&) = delete;
  ProcessToken& operator=(const ProcessToken&) = delete;
  ~ProcessToken() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

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
  const ProcessToken token;
  if (token.Get() == nullptr) return Text();
  return GetTokenUserSidText(token.Get());
}

bool IsProcessElevated() {
  const ProcessToken token;
  if (token.Get() == nullptr) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = sizeof elevation;
  return GetTokenInformation(token.Get(), TokenElevation, &elevation, size, &size) &&
         elevation.TokenIsElevated != 0;
}

}  // namespace varneth
