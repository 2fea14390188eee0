#include "frontend/command_line.h"

#include <optional>
#include <string>

#include "frontend/dialogue.h"
#include "frontend/typed_line.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

std::string Lowered(TextRef argument) { return ToLowerCase(argument).Bytes(); }

bool IsOneOf(const std::string& option, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (option == name) return true;
  }
  return false;
}

void Fail(CommandLine& line, UsageError error, TextRef argument, size_t index) {
  if (line.error != UsageError::kNone) return;
  line.error = error;
  line.errorArgument = CopyText(argument);
  line.errorPosition = static_cast<std::int32_t>(index + 1);
}

// False, and the error kept, when the argument is not what was given.
bool IsExact(CommandLine& line, const std::vector<ProgramArgument>& arguments, size_t index,
             bool asExtension) {
  if (arguments[index].exact) return true;
  if (line.error == UsageError::kNone) line.errorIsExtension = asExtension;
  Fail(line, UsageError::kUnrepresentable, arguments[index].text, index);
  return false;
}

// A refused extension is named; one the code page cannot hold, or a refused
// one that could be printed only with '?' for what it holds, by its position.
// The spaces the extension loses count for neither (U+3000 is no character
// of code page 1252).
void AddExtension(CommandLine& line, const std::vector<ProgramArgument>& arguments, size_t index) {
  const bool refused = IsRefusedExtension(WithoutSpaces(arguments[index].wide));
  if (refused && arguments[index].exact) {
    Fail(line, UsageError::kRefusedExtension, arguments[index].text, index);
    return;
  }
  std::optional<Text> extension = ExtensionFromInput(arguments[index].wide);
  if (!extension) {
    if (line.error == UsageError::kNone) line.errorIsExtension = true;
    Fail(line, UsageError::kUnrepresentable, arguments[index].text, index);
    return;
  }
  line.extensions.push_back(std::move(*extension));
}

// The directory that follows /b: it must be there, exact and not empty.
void SetBackupFolder(CommandLine& line, const std::vector<ProgramArgument>& arguments,
                     size_t option, std::optional<size_t> directory, TextRef folder) {
  if (directory && !IsExact(line, arguments, *directory, false)) return;
  if (TextLength(folder) == 0) {
    Fail(line, UsageError::kMissingDirectory, arguments[option].text, option);
    return;
  }
  line.backupFolder = CopyText(folder);
}

}  // namespace

std::vector<ProgramArgument> NarrowArguments(int argc, const wchar_t* const* argv) {
  std::vector<ProgramArgument> arguments;
  for (int i = 1; i < argc; ++i) {
    std::optional<Text> exact = NarrowExactly(argv[i]);
    if (exact) {
      arguments.push_back({std::move(*exact), true, argv[i]});
    } else {
      arguments.push_back({NarrowText(argv[i]), false, argv[i]});
    }
  }
  return arguments;
}

CommandLine ParseCommandLine(const std::vector<ProgramArgument>& arguments) {
  CommandLine line;
  bool optionsEnded = false;
  // The first option a scan cannot take, to name it.
  std::optional<size_t> runOption;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const char* argument = arguments[i].text.Bytes();
    if (optionsEnded || (argument[0] != '/' && argument[0] != '-')) {
      AddExtension(line, arguments, i);
      continue;
    }
    if (!IsExact(line, arguments, i, false)) continue;
    const std::string option = Lowered(argument);
    if (option == "--") {
      optionsEnded = true;
    } else if (IsOneOf(option, {"/?", "-?", "/h", "-h", "--help"})) {
      line.help = true;
    } else if (IsOneOf(option, {"/s", "-s", "--scan"})) {
      line.scan = true;
    } else if (IsOneOf(option, {"/n", "-n", "--dry-run"})) {
      line.dryRun = true;
      if (!runOption) runOption = i;
    } else if (IsOneOf(option, {"/b", "-b", "--backup-dir"})) {
      if (!runOption) runOption = i;
      if (i + 1 < arguments.size()) {
        ++i;
        SetBackupFolder(line, arguments, i - 1, i, arguments[i].text);
      } else {
        SetBackupFolder(line, arguments, i, std::nullopt, "");
      }
    } else if (option.rfind("--backup-dir=", 0) == 0) {
      if (!runOption) runOption = i;
      SetBackupFolder(line, arguments, i, std::nullopt,
                      argument + std::string("--backup-dir=").size());
    } else {
      Fail(line, UsageError::kUnknownOption, argument, i);
    }
  }
  if (line.scan && runOption) {
    Fail(line, UsageError::kNotWithScan, arguments[*runOption].text, *runOption);
  }
  if (line.extensions.empty() && !line.scan) {
    Fail(line, UsageError::kNoExtension, "", arguments.size());
  }
  return line;
}

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  std::vector<ProgramArgument> arguments;
  for (int i = 1; i < argc; ++i) {
    arguments.push_back({CopyText(argv[i]), true, WidenText(argv[i])});
  }
  return ParseCommandLine(arguments);
}

}  // namespace varneth
