// Process entry: readies the runtime and hands over to the command line when
// arguments were given, else to the dialogue. Both leave only through
// EndProgram.
#include "frontend/command_line_run.h"
#include "frontend/dialogue.h"
#include "runtime/program_end.h"

int main(int argc, char** argv) {
  varneth::StartRuntime();
  if (argc > 1) varneth::RunCommandLine(argc, argv);
  varneth::RunStartup();
}
