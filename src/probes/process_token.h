// What the process's own access token says about who runs it.
#pragma once

#include "runtime/text.h"

namespace varneth {

// "S-1-..." of the user the process runs as (its token's user); the empty
// text when the token cannot be read.
Text GetProcessUserSidText();

// True when the process runs elevated, with the full administrator token
// that deleting below HKEY_LOCAL_MACHINE needs.
bool IsProcessElevated();

}  // namespace varneth
