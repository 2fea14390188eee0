// The line that says whose keys a run cleans, when that is worth saying.
#pragma once

#include <optional>

#include "probes/key_owner.h"
#include "runtime/text.h"

namespace varneth {

// Another user's keys are named in the dialogue and on the command line; the
// process's own keys, taken because the desktop's user could not be used,
// only on the command line, where a script's log should say whose they were.
// Nothing in the usual case. Without its line end.
// A scan's line says whose keys it reads.
std::optional<Text> KeyOwnerLine(const KeyOwner& owner, bool commandLine, bool scan = false);

}  // namespace varneth
