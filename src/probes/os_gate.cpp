#include "probes/os_gate.h"

#include <windows.h>

#include "probes/system_binding.h"

namespace varneth {

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is 148 bytes");

bool CheckOperatingSystem() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  // The result is not examined: a record the call did not fill reads as
  // major version 0 and is refused.
  BoundGetVersionExA(&version);
  return version.dwMajorVersion >= 6;
}

}  // namespace varneth
