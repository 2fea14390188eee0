// Refuses systems older than NT 6.
#pragma once

namespace varneth {

// True on NT 6 and later, judged by the major version alone. Each front end
// says what a refusal means to its user.
bool CheckOperatingSystem();

}  // namespace varneth
