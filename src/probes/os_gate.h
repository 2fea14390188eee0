// Refuses systems older than NT 6.
#pragma once

namespace varneth {

// Returns silently on NT 6 and later. Otherwise writes the refusal, waits for
// one line and ends the program with exit code 0.
void CheckOperatingSystem();

}  // namespace varneth
