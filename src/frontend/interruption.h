// Console control events (Ctrl+C, Ctrl+Break, closing the window, logging
// off, shutting down): what happens depends on where the program stands.
// While it waits for input, the program ends at once in its orderly way,
// exit code 0. During an extension's run, the run goes on to its end (no
// deletion is abandoned between its check and its call) and its report is
// written; the program then ends with kExitInterrupted.
#pragma once

namespace varneth {

// Interrupted: the extension that was running finished and was reported;
// later extensions were not handled.
inline constexpr int kExitInterrupted = 3;

// Installs the handler. With `running`, the whole remaining life of the
// process counts as a run (the command line); otherwise it waits for input
// until BeginRun (the dialogue).
void WatchConsoleEvents(bool running);

// Enters a run; false when an event has already arrived, and then nothing
// may start.
bool BeginRun();

// Leaves a run, its report written; true when an event arrived during it,
// the program must then end with kExitInterrupted.
bool EndRunInterrupted();

// True once an event has arrived.
bool WasInterrupted();

}  // namespace varneth
