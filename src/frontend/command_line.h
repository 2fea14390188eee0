// Varneth's command line: options and extensions, read before anything is
// done, so a usage error changes nothing at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/text.h"

namespace varneth {

enum class UsageError {
  kNone,
  kUnknownOption,     // the argument is no option Varneth knows
  kMissingDirectory,  // /b, -b or --backup-dir stands last, or its directory is empty
  kNoExtension,       // nothing to handle
  kRefusedExtension,  // the argument names no extension Varneth may handle
  kUnrepresentable,   // the argument holds characters the ANSI code page lacks
  kNotWithScan,       // /n or /b beside /s: a scan neither lists a run nor writes a backup
};

// One argument after the program's name, as given (UTF-16) and in the ANSI
// code page. `exact` is false when the conversion from the runtime's wide
// argument lost or changed a character: such a text names something else
// than was given.
struct ProgramArgument {
  Text text;
  bool exact = true;
  std::wstring wide;
};

struct CommandLine {
  bool help = false;    // /?, -?, /h, -h, --help: usage only, whatever else stands beside it
  bool dryRun = false;  // /n, -n, --dry-run
  bool scan = false;    // /s, -s, --scan: judge associations, change nothing; no extension: all
  Text backupFolder;    // /b DIR, -b DIR, --backup-dir DIR or --backup-dir=DIR; empty: the default
  std::vector<Text> extensions;  // spaces and dots removed, in order
  UsageError error = UsageError::kNone;
  Text errorArgument;              // the argument the error is about, as given
  std::int32_t errorPosition = 0;  // its position, 1 for the first after the program's name
  bool errorIsExtension = false;   // kUnrepresentable: the argument stood as an extension
};

// The runtime's wide arguments after the program's name, each converted to
// the ANSI code page and judged by a round trip back to UTF-16 (a look-alike
// mapping counts as a change, not only the default character).
std::vector<ProgramArgument> NarrowArguments(int argc, const wchar_t* const* argv);

// Reads the arguments. Options, in their Windows or their long form and in
// any letter case, may stand before, between or after the extensions; "--"
// ends them. Each extension is treated as a typed one, on its UTF-16 form:
// spaces and dots removed, and refused as the dialogue refuses it. An
// argument that did not convert exactly is an error wherever it stands. The
// first error found is kept.
CommandLine ParseCommandLine(const std::vector<ProgramArgument>& arguments);

// The same for arguments already in the ANSI code page, argv[0] being the
// program's name.
CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace varneth
