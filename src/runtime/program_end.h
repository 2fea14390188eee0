// The one orderly way out of the program, and the fatal error boxes.
#pragma once

#include <cstdint>

namespace varneth {

using EndHook = void (*)();

// Readies the runtime: the process heap is looked up and the first end hook is
// set. The process entry calls it once, before anything else.
void StartRuntime();

// Sets end hook 1, 2 or 3; EndProgram runs the set ones in that order.
void SetEndHook(int slot, EndHook hook);

// Registers the release of the modules the binder loaded: it runs after the
// end hooks, as the last step before the process leaves.
void SetModuleRelease(EndHook release);

// Runs the end hooks, releases what the binder loaded and leaves through the
// C runtime's normal exit, so buffered standard output is flushed.
[[noreturn]] void EndProgram(std::int32_t exitCode);

// Shows "program internal error number is N. \r\n<message>" in an "error"
// box, then EndProgram(0).
[[noreturn]] void ReportFatalError(std::int32_t code);

// Shows the out-of-memory box, then EndProgram(0); or, once the command line
// has set a line with SetOutOfMemoryEnd, writes that line (and CR LF) to
// standard error and ends with its exit code: a script must not read an
// exhausted heap as success.
[[noreturn]] void ReportOutOfMemory();
void SetOutOfMemoryEnd(const char* line, std::int32_t exitCode);

}  // namespace varneth
