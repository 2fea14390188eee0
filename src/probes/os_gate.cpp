#include "probes/os_gate.h"

#include <windows.h>

#include "frontend/console.h"
#include "probes/system_binding.h"
#include "runtime/program_end.h"
#include "runtime/program_texts.h"

namespace varneth {

void CheckOperatingSystem() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
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
