// The scan on the command line: its report and its exit code.
#pragma once

#include <vector>

#include "probes/key_owner.h"
#include "runtime/text.h"

namespace varneth {

// Judges the given extensions (each as the command line took it), or with
// none every extension the stores have a key for, writing a line for each
// one found broken with the command that cleans it, then the summary.
// Gives the exit code: 0 nothing broken, 1 something broken, 3 interrupted
// (the extensions after it not looked at).
int RunScanReport(const std::vector<Text>& extensions, const KeyOwner& owner);

}  // namespace varneth
