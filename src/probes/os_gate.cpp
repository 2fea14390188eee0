#include "probes/os_gate.h"

namespace varneth {

void CheckOperatingSystem() {}

}  // namespace varneth
