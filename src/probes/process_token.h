// What the process's own access token says about who runs it.
#pragma once

#include <windows.h>

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

}  // namespace varneth
