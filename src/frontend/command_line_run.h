// Varneth run from its command line, for scripts and administrators.
#pragma once

namespace varneth {

// Exit codes a batch file can branch on.
inline constexpr int kExitDone = 0;        // everything that existed is gone (or listed)
inline constexpr int kExitIncomplete = 1;  // a key stayed, or a backup could not be written
inline constexpr int kExitUsage = 2;       // a usage error or a refused system: nothing was done
// 3, kExitInterrupted (frontend/interruption.h): a console control event cut the run short.
// A report that could not be written makes 0 into kExitIncomplete.

// Handles each extension of the command line in turn and ends the program
// with its exit code. Standard input is never read; every line written ends
// in exactly CR LF. The arguments are the runtime's wide ones, so that none
// is read as a different name than was given.
[[noreturn]] void RunCommandLine(int argc, const wchar_t* const* argv);

}  // namespace varneth
