// The line that says whose keys a run cleans, when that is worth saying.
#pragma once

#include <optional>

#include "probes/key_owner.h"
#include "runtime/text.h"

namespace varneth {

// Another user's keys are named, and so are the process's own when they are
// taken because the desktop's user could not be used: whoever reads the
// outcome (a person, a script's log) learns whose keys were cleaned.
// Nothing in the usual case. Without its line end.
// A scan's line says whose keys it reads.
std::optional<Text> KeyOwnerLine(const KeyOwner& owner, bool scan = false);

}  // namespace varneth
