#include "runtime/program_end.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "runtime/platform.h"
#include "runtime/program_texts.h"

namespace varneth {
namespace {

EndHook g_endHooks[3] = {nullptr, nullptr, nullptr};
EndHook g_moduleRelease = nullptr;
const char* g_outOfMemoryLine = nullptr;
std::int32_t g_outOfMemoryExitCode = 0;

void DoNothing() {}

// The standard library's containers and strings allocate through operator
// new: when that fails, the program ends through its out-of-memory box rather
// than through an exception that nothing catches.
void OutOfMemoryInNew() { ReportOutOfMemory(); }

}  // namespace

void StartRuntime() {
  g_endHooks[0] = DoNothing;
  std::set_new_handler(OutOfMemoryInNew);
}

void SetEndHook(int slot, EndHook hook) {
  if (slot >= 1 && slot <= 3) g_endHooks[slot - 1] = hook;
}

void SetModuleRelease(EndHook release) { g_moduleRelease = release; }

void EndProgram(std::int32_t exitCode) {
  for (EndHook hook : g_endHooks) {
    if (hook != nullptr) hook();
  }
  if (g_moduleRelease != nullptr) g_moduleRelease();
  // std::exit flushes and closes the C streams: text written to a redirected
  // standard output is still in the stream's buffer at this point.
  std::exit(exitCode);
}

void ReportFatalError(std::int32_t code) {
  const char* message = (code >= 1 && code <= 11) ? texts::kRuntimeErrorMessages[code - 1] : "";
  char text[256];
  std::snprintf(text, sizeof text, texts::kInternalErrorFormat, static_cast<int>(code), message);
  PlatformShowErrorBox(text, texts::kErrorCaption);
  EndProgram(0);
}

void ReportOutOfMemory() {
  if (g_outOfMemoryLine != nullptr) {
    // Unbuffered: nothing is allocated to write it.
    std::fputs(g_outOfMemoryLine, stderr);
    std::fputs("\r\n", stderr);
    EndProgram(g_outOfMemoryExitCode);
  }
  PlatformShowErrorBox(texts::kOutOfMemory, texts::kErrorCaption);
  EndProgram(0);
}

void SetOutOfMemoryEnd(const char* line, std::int32_t exitCode) {
  g_outOfMemoryLine = line;
  g_outOfMemoryExitCode = exitCode;
}

}  // namespace varneth
