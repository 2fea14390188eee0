// Process entry: readies the runtime and hands over to the start-up routine,
// which leaves only through EndProgram.
#include "frontend/dialogue.h"
#include "runtime/program_end.h"

int main() {
  varneth::StartRuntime();
  varneth::RunStartup();
}
