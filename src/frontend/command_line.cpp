#include "frontend/command_line.h"

#include <optional>
#include <string>

#include "frontend/dialogue.h"

namespace varneth {
namespace {

std::string Lowered(const char* argument) { return ToLowerCase(argument).Bytes(); }

bool IsOneOf(const std::string& option, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (option == name) return true;
  }
  return false;
}

void Fail(CommandLine& line, UsageError error, TextRef argument) {
  if (line.error != UsageError::kNone) return;
  line.error = error;
  line.errorArgument = CopyText(argument);
}

void AddExtension(CommandLine& line, const char* argument) {
  std::optional<Text> extension = ExtensionFromInput(argument);
  if (!extension) {
    Fail(line, UsageError::kRefusedExtension, argument);
    return;
  }
  line.extensions.push_back(std::move(*extension));
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (optionsEnded || (argument[0] != '/' && argument[0] != '-')) {
      AddExtension(line, argument);
      continue;
    }
    const std::string option = Lowered(argument);
    if (option == "--") {
      optionsEnded = true;
    } else if (IsOneOf(option, {"/?", "-?", "/h", "-h", "--help"})) {
      line.help = true;
    } else if (IsOneOf(option, {"/n", "-n", "--dry-run"})) {
      line.dryRun = true;
    } else if (IsOneOf(option, {"/b", "-b", "--backup-dir"})) {
      if (i + 1 < argc) {
        line.backupFolder = CopyText(argv[++i]);
      } else {
        Fail(line, UsageError::kMissingDirectory, argument);
      }
    } else if (option.rfind("--backup-dir=", 0) == 0) {
      line.backupFolder = CopyText(argument + std::string("--backup-dir=").size());
      if (!line.backupFolder.HasBlock()) Fail(line, UsageError::kMissingDirectory, argument);
    } else {
      Fail(line, UsageError::kUnknownOption, argument);
    }
  }
  if (line.extensions.empty()) Fail(line, UsageError::kNoExtension, "");
  return line;
}

}  // namespace varneth
