// Process entry: readies the runtime and hands over to the command line when
// arguments were given, else to the dialogue. Both leave only through
// EndProgram. The wide entry point gives the arguments exactly as typed,
// split by the same quoting rules as the ANSI ones.
#include "frontend/command_line_run.h"
#include "frontend/dialogue.h"
#include "runtime/program_end.h"

int wmain(int argc, wchar_t** argv) {
  varneth::StartRuntime();
  if (argc > 1) varneth::RunCommandLine(argc, argv);
  varneth::RunStartup();
}
