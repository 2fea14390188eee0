// What the process's own access token says about who runs it.
#pragma once

#include <windows.h>

#include "probes/owned_handle.h"
#include "runtime/text.h"

namespace varneth {

// "S-1-..." of a SID; the empty text when it cannot be converted.
Text SidToText(PSID sid);

// "S-1-..." of the user a token names (TokenUser); the empty text when it
// cannot be read. The token is only read.
Text GetTokenUserSidText(HANDLE token);

// "S-1-..." of the user the process runs as (its token's user); the empty
// text when the token cannot be read.
Text GetProcessUserSidText();

// True when the process runs elevated, with the full administrator token
// that deleting below HKEY_LOCAL_MACHINE needs.
bool IsProcessElevated();

// While it lives, the process's token has the privilege enabled, where the
// token holds it (an elevated administrator holds SeDebugPrivilege,
// disabled); its earlier state comes back when it ends.
class EnabledPrivilege {
 public:
  explicit EnabledPrivilege(const wchar_t* privilege);
  EnabledPrivilege(const EnabledPrivilege&) = delete;
  EnabledPrivilege& operator=(const EnabledPrivilege&) = delete;
  ~EnabledPrivilege();
  // True when the token holds it: it is enabled now.
  bool Held() const { return held_; }

 private:
  OwnedHandle token_;
  TOKEN_PRIVILEGES previous_ = {};
  bool held_ = false;
};

}  // namespace varneth
