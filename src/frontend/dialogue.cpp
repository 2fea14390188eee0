#include "frontend/dialogue.h"

#include <string>

#include "cleanup/extension_cleanup.h"
#include "frontend/console.h"
#include "frontend/interruption.h"
#include "frontend/key_owner_line.h"
#include "frontend/outcome_texts.h"
#include "frontend/typed_line.h"
#include "probes/os_gate.h"
#include "probes/process_token.h"
#include "runtime/program_end.h"
#include "runtime/program_texts.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

constexpr std::wstring_view kRefusedNames[] = {L"exe", L"bat", L"cmd"};

// Dots removed and A to Z lowered: the extension the cleanup would handle,
// as the refusal compares it.
std::wstring FoldedName(std::wstring_view extension) {
  std::wstring folded;
  for (wchar_t c : extension) {
    if (c == L'.') continue;
    folded += c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  }
  return folded;
}

// The confirmation line, after what the user must know first: the listed
// classes kept whole, the keys that stayed, or the backup that could not be
// written. When everything is gone (or nothing was there) and no class was
// kept, only the confirmation is written, as it always was.
void WriteOutcome(TextRef extension, const CleanupOutcome& outcome) {
  const char* verdict = nullptr;
  // The extension is in the ANSI code page, the texts beside it in 936.
  const Text shown = EscapedAnsiText(extension);
  if (outcome.result != CleanupResult::kBackupFailed && !outcome.keptClasses.empty()) {
    ConsoleWriteText({texts::kLineEnd, texts::kKeptClassesHeading, texts::kLineEnd});
    for (const KeptClass& kept : outcome.keptClasses) {
      ConsoleWriteText({ConcatTexts({KeptClassDisplayName(kept), texts::kLineEnd,
                                     KeptClassReasonLine(kept), texts::kLineEnd})});
    }
  }
  if (outcome.result == CleanupResult::kBackupFailed) {
    ConsoleWriteText({ConcatTexts({texts::kLineEnd, BackupFailureLine(outcome), texts::kLineEnd})});
    verdict = texts::kAssociationNotRemoved;
  } else if (outcome.result == CleanupResult::kPartlyRemoved) {
    ConsoleWriteText({texts::kLineEnd, texts::kKeysStayedHeading, texts::kLineEnd});
    for (const TargetFate& fate : outcome.targets) {
      if (!fate.stayed) continue;
      ConsoleWriteText(
          {ConcatTexts({TargetDisplayName(fate.target), LeftAndGoneText(fate), texts::kLineEnd})});
      for (const char* reason : StayReasonLines(fate)) {
        ConsoleWriteText({reason, texts::kLineEnd});
      }
      for (const Text& link : RegistryLinkLines(fate)) ConsoleWriteText({link, texts::kLineEnd});
    }
    if (ShouldSuggestAdministrator(outcome, IsProcessElevated())) {
      ConsoleWriteText({texts::kRunAsAdministrator, texts::kLineEnd});
    }
    verdict = texts::kAssociationPartlyRemoved;
  }
  if (verdict == nullptr) {
    ConsoleWriteText({ConcatTexts({texts::kLineEnd, shown, texts::kExitQuestion})});
  } else {
    ConsoleWriteText({ConcatTexts({texts::kLineEnd, shown, verdict, texts::kExitAsk})});
  }
}

}  // namespace

bool IsRefusedExtension(std::wstring_view extension) {
  if (extension.empty()) return true;
  // Dots and letter case do not change which extension the cleanup handles.
  const std::wstring folded = FoldedName(extension);
  if (folded.empty()) return true;
  // No extension holds a backslash: the registry reads it as a separator, so
  // the cleanup's paths would reach another extension's keys or keys below
  // them ("exe\", "txt\UserChoice").
  if (extension.find(L'\\') != std::wstring_view::npos) return true;
  // A control character names no extension a person typed, and would reach
  // the report raw (a tab, an escape sequence, a forged line end); a console
  // line is judged so already, an argument here.
  for (wchar_t c : extension) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  for (std::wstring_view name : kRefusedNames) {
    if (folded == name) return true;
  }
  return false;
}

std::optional<Text> ExtensionFromInput(std::wstring_view input) {
  std::wstring extension = WithoutSpaces(input);
  if (IsRefusedExtension(extension)) return std::nullopt;
  std::erase(extension, L'.');
  return NarrowExactly(extension);
}

void RunDialogueTurn(const KeyOwner& owner) {
  ConsoleWriteText({texts::kBanner});
  ConsoleWriteText({texts::kPrompt});
  const TypedLine typed = ConsoleReadLine(true);
  // A line that held what no extension holds (a control character, a
  // character the code page lacks) is refused as silently as the others.
  if (!typed.exact) return;
  const std::optional<Text> accepted = ExtensionFromInput(typed.units);
  if (!accepted) return;
  const Text& extension = *accepted;

  // An event that arrived since the line was read ends the program here.
  if (!BeginRun()) EndProgram(0);
  const CleanupOutcome outcome = RunExtensionCleanup({extension, owner, {}, false});
  WriteOutcome(extension, outcome);
  if (EndRunInterrupted()) {
    ConsoleWriteText({texts::kLineEnd, texts::kInterrupted, texts::kLineEnd});
    EndProgram(kExitInterrupted);
  }
  const TypedLine answer = ConsoleReadLine(true);
  if (answer.exact && (answer.units == L"y" || answer.units == L"Y")) {
    EndProgram(0);
  }
}

void RunStartup() {
  WatchConsoleEvents(false);
  if (!CheckOperatingSystem()) {
    ConsoleWriteText({texts::kOldSystemRefusal});
    // The line is not echoed back, and what was typed is not looked at; the
    // program ends even when nothing can be read.
    ReadConsoleLine(false);
    EndProgram(0);
  }
  const KeyOwner owner = DecideKeyOwner();
  if (const std::optional<Text> line = KeyOwnerLine(owner)) {
    ConsoleWriteText({*line, texts::kLineEnd});
  }
  // The system account with nobody at the console: there is nobody to clean for.
  if (owner.whose == KeyOwnerCase::kNoConsoleUser) EndProgram(1);
  for (;;) RunDialogueTurn(owner);
}

}  // namespace varneth
