// Varneth's command line: options and extensions, read before anything is
// done, so a usage error changes nothing at all.
#pragma once

#include <vector>

#include "runtime/text.h"

namespace varneth {

enum class UsageError {
  kNone,
  kUnknownOption,     // the argument is no option Varneth knows
  kMissingDirectory,  // /b, -b or --backup-dir stands last
  kNoExtension,       // nothing to handle
  kRefusedExtension,  // the argument names no extension Varneth may handle
};

struct CommandLine {
  bool help = false;    // /?, -?, /h, -h, --help: usage only, whatever else stands beside it
  bool dryRun = false;  // /n, -n, --dry-run
  Text backupFolder;    // /b DIR, -b DIR, --backup-dir DIR or --backup-dir=DIR; empty: the default
  std::vector<Text> extensions;  // spaces and dots removed, in order
  UsageError error = UsageError::kNone;
  Text errorArgument;  // the argument the error is about, as given
};

// Reads the arguments after the program's name, in the ANSI code page as the
// C runtime gives them. Options, in their Windows or their long form and in
// any letter case, may stand before, between or after the extensions; "--"
// ends them. Each extension is treated as a typed one: spaces and dots
// removed, and refused when it names no extension or exe, bat or cmd. The
// first error found is kept.
CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace varneth
