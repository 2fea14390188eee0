#include "frontend/interruption.h"

#include <windows.h>

#include "runtime/program_end.h"

namespace varneth {
namespace {

// Guards the two flags between the main thread and the handler, which the
// system runs on a thread of its own.
struct Section {
  Section() { InitializeCriticalSection(&section); }
  CRITICAL_SECTION section;
};
Section g_lock;
bool g_running = false;
bool g_interrupted = false;

class Locked {
 public:
  Locked() { EnterCriticalSection(&g_lock.section); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  ~Locked() { LeaveCriticalSection(&g_lock.section); }
};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  bool running = false;
  {
    Locked locked;
    g_interrupted = true;
    running = g_running;
  }
  if (!running) EndProgram(0);
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // Closing, logging off, shutting down: once the handler returns, the system
  // ends the process, so it is held here until the main thread has written
  // the run's report and ends the process itself. The system waits about
  // 5 seconds for a closed console's handler before it ends the process.
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void WatchConsoleEvents(bool running) {
  {
    Locked locked;
    g_running = running;
  }
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool BeginRun() {
  Locked locked;
  if (g_interrupted) return false;
  g_running = true;
  return true;
}

bool EndRunInterrupted() {
  Locked locked;
  if (g_interrupted) return true;
  g_running = false;
  return false;
}

bool WasInterrupted() {
  Locked locked;
  return g_interrupted;
}

}  // namespace varneth
