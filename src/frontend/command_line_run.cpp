#include "frontend/command_line_run.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "cleanup/extension_cleanup.h"
#include "frontend/command_line.h"
#include "frontend/console.h"
#include "frontend/interruption.h"
#include "frontend/key_owner_line.h"
#include "frontend/outcome_texts.h"
#include "frontend/scan_report.h"
#include "probes/os_gate.h"
#include "probes/process_token.h"
#include "runtime/program_end.h"
#include "runtime/program_texts.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

// A report that did not reach its reader (a full disk, a closed pipe) never
// counts as done.
[[noreturn]] void EndWith(int exitCode) {
  if (!ConsoleOutputDelivered() && exitCode == kExitDone) exitCode = kExitIncomplete;
  EndProgram(exitCode);
}

Text Number(std::int32_t value) { return CopyText(std::to_string(value).c_str()); }

void WriteLine(std::initializer_list<TextRef> parts) {
  ConsoleWriteText({ConcatTexts(parts), texts::kLineEnd});
}

Text UsageErrorText(const CommandLine& line) {
  switch (line.error) {
    case UsageError::kUnknownOption:
      return ConcatTexts({texts::kUnknownOption, EscapedAnsiText(line.errorArgument)});
    case UsageError::kMissingDirectory:
      return ConcatTexts(
          {texts::kOptionLead, EscapedAnsiText(line.errorArgument), texts::kMissingDirectory});
    case UsageError::kNotWithScan:
      return ConcatTexts(
          {texts::kOptionLead, EscapedAnsiText(line.errorArgument), texts::kNotWithScan});
    case UsageError::kRefusedExtension:
      return ConcatTexts({texts::kRefusedExtension, EscapedAnsiText(line.errorArgument)});
    case UsageError::kUnrepresentable:
      // The argument itself cannot be written in the code page: its position
      // says which it is.
      return ConcatTexts({texts::kArgumentPositionLead, Number(line.errorPosition),
                          line.errorIsExtension ? texts::kUnrepresentableExtension
                                                : texts::kUnrepresentableArgument});
    case UsageError::kNoExtension:
    case UsageError::kNone:
      break;
  }
  return CopyText(texts::kNoExtension);
}

const char* FateLead(const CleanupOutcome& outcome, const TargetFate& fate) {
  if (outcome.result == CleanupResult::kListed) {
    return fate.stayed ? texts::kWouldKeepLead : texts::kWouldRemoveLead;
  }
  return fate.stayed ? texts::kStayedLead : texts::kRemovedLead;
}

// A dry run that tells the backup could not be written: the run would
// delete nothing.
bool BackupWouldFail(const CleanupOutcome& outcome) {
  return outcome.result == CleanupResult::kListed &&
         (outcome.backupProblem != ExportProblem::kNone || outcome.backupError != ERROR_SUCCESS);
}

// A dry run that names a place the run would leave, or a backup it could not
// write: its exit code is the run's.
bool WouldLeaveSomething(const CleanupOutcome& outcome) {
  if (outcome.result != CleanupResult::kListed) return false;
  if (BackupWouldFail(outcome)) return true;
  for (const TargetFate& fate : outcome.targets) {
    if (fate.stayed) return true;
  }
  return false;
}

// The backup file, each target with its fate and size, and a summary line.
void WriteReport(TextRef ansiExtension, const CleanupOutcome& outcome) {
  // The extension is in the ANSI code page, the texts beside it in 936.
  const Text extension = EscapedAnsiText(ansiExtension);
  if (outcome.result == CleanupResult::kBackupFailed) {
    WriteLine({BackupFailureLine(outcome)});
    WriteLine({extension, texts::kSummaryNotRemoved});
    return;
  }
  if (outcome.targets.empty()) {
    WriteLine({extension, texts::kNothingMentionsIt});
    return;
  }
  if (!outcome.backupPath.empty()) {
    WriteLine({texts::kBackupFileLead, EscapedText(outcome.backupPath)});
  }
  std::int32_t stayed = 0;
  for (const TargetFate& fate : outcome.targets) {
    if (fate.stayed) {
      ++stayed;
      // In a dry run, what the run would leave of it and what would go.
      WriteLine({FateLead(outcome, fate), TargetDisplayName(fate.target),
                 outcome.result == CleanupResult::kListed ? WouldLeaveAndGoText(fate)
                                                          : LeftAndGoneText(fate)});
    } else {
      WriteLine({FateLead(outcome, fate), TargetDisplayName(fate.target), texts::kCountsLead,
                 Number(fate.counts.keys), texts::kKeysCounted, Number(fate.counts.values),
                 texts::kValuesCounted});
    }
    for (const char* reason : StayReasonLines(fate)) WriteLine({reason});
    for (const Text& link : RegistryLinkLines(fate)) WriteLine({link});
  }
  for (const KeptClass& kept : outcome.keptClasses) {
    WriteLine({outcome.result == CleanupResult::kListed ? texts::kWouldKeepLead : texts::kKeptLead,
               KeptClassDisplayName(kept)});
    WriteLine({KeptClassReasonLine(kept)});
  }
  const Text listed = Number(static_cast<std::int32_t>(outcome.targets.size()) - stayed);
  if (outcome.result == CleanupResult::kListed) {
    if (BackupWouldFail(outcome)) {
      WriteLine(
          {texts::kBackupWouldFail, BackupFailureReason(outcome), texts::kNothingWouldBeDeleted});
    }
    if (stayed == 0) {
      WriteLine({extension, texts::kSummaryDryRun, listed, texts::kItemsUnchanged});
    } else {
      WriteLine({extension, texts::kSummaryDryRun, listed, texts::kItems, texts::kComma,
                 Number(stayed), texts::kItemsWouldStay, texts::kNothingChanged});
    }
    return;
  }
  if (ShouldSuggestAdministrator(outcome, IsProcessElevated())) {
    WriteLine({texts::kRunAsAdministrator});
  }
  if (stayed == 0) {
    WriteLine({extension, texts::kSummaryRemoved, listed, texts::kItems});
  } else {
    WriteLine({extension, texts::kSummaryRemoved, listed, texts::kItems, texts::kComma,
               Number(stayed), texts::kItemsStayed});
  }
}

}  // namespace

void RunCommandLine(int argc, const wchar_t* const* argv) {
  // The texts end their lines in CR LF already; in text mode a file or pipe
  // would receive CR CR LF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);

  if (!CheckOperatingSystem()) {
    WriteLine({texts::kOldSystemRefusal});
    EndWith(kExitUsage);
  }
  const CommandLine line = ParseCommandLine(NarrowArguments(argc, argv));
  if (line.help) {
    ConsoleWriteText({texts::kUsage});
    EndWith(kExitDone);
  }
  if (line.error != UsageError::kNone) {
    ConsoleWriteText(kStandardError,
                     {UsageErrorText(line), texts::kLineEnd, texts::kUsageHint, texts::kLineEnd});
    EndWith(kExitUsage);
  }

  // An exhausted heap ends the run with a line and exit code 1, not silently.
  SetOutOfMemoryEnd(texts::kOutOfMemoryLine, kExitIncomplete);
  // From here on a console control event lets the extension at hand finish
  // and be reported; the later ones are not handled.
  WatchConsoleEvents(true);
  const KeyOwner owner = DecideKeyOwner();
  if (const std::optional<Text> ownerLine = KeyOwnerLine(owner, true, line.scan)) {
    WriteLine({*ownerLine});
  }
  if (owner.whose == KeyOwnerCase::kNoConsoleUser) EndProgram(kExitIncomplete);
  if (line.scan) EndWith(RunScanReport(line.extensions, owner));
  const std::wstring backupFolder = WidenText(line.backupFolder);
  int exitCode = kExitDone;
  for (const Text& extension : line.extensions) {
    if (WasInterrupted()) break;
    const CleanupOutcome outcome =
        RunExtensionCleanup({extension, owner, backupFolder, line.dryRun});
    WriteReport(extension, outcome);
    if (outcome.result == CleanupResult::kPartlyRemoved ||
        outcome.result == CleanupResult::kBackupFailed || WouldLeaveSomething(outcome)) {
      exitCode = kExitIncomplete;
    }
  }
  if (WasInterrupted()) {
    WriteLine({texts::kInterrupted});
    exitCode = kExitInterrupted;
  }
  EndWith(exitCode);
}

}  // namespace varneth
