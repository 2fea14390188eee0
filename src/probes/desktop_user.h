// Who the user is whose desktop the process runs on. It is not always the
// user the process runs as: elevated with another account's credentials it
// runs as that account, and as the system account it has no desktop at all.
#pragma once

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

// Asks, in this order: the user of the desktop shell's process (its token's
// user); for the system account, the user logged on at the console (the
// console session's token); otherwise the user the process's own session
// was logged on by, looked up as DOMAIN\name, which is unambiguous.
DesktopUser FindDesktopUser();

}  // namespace varneth
