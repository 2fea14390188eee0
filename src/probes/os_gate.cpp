#include "probes/os_gate.h"

#include <windows.h>

#include "frontend/console.h"
#include "probes/system_binding.h"
#include "runtime/program_end.h"
#include "runtime/program_texts.h"

namespace varneth {

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is 148 bytes");

void CheckOperatingSystem() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  // The result is not examined: a record the call did not fill reads as
  // major version 0 and is refused.
  BoundGetVersionExA(&version);
  if (version.dwMajorVersion >= 6) return;
  ConsoleWriteText({texts::kOldSystemRefusal});
  // The line is not echoed back, and what was typed is not looked at; the
  // program ends even when nothing can be read.
  ReadConsoleLine(false);
  EndProgram(0);
}

}  // namespace varneth
