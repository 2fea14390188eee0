#include "frontend/dialogue.h"

#include "cleanup/extension_cleanup.h"
#include "frontend/console.h"
#include "frontend/interruption.h"
#include "frontend/key_owner_line.h"
#include "frontend/outcome_texts.h"
#include "probes/os_gate.h"
#include "probes/process_token.h"
#include "runtime/program_end.h"
#include "runtime/program_texts.h"

namespace varneth {
namespace {

constexpr std::int32_t kExitLetter = 'y';
constexpr unsigned char kLineFeed[] = {0x0A};
constexpr const char* kRefusedNames[] = {"exe", "bat", "cmd"};

// The extension as the cleanup sees it: every "." removed.
Text RemoveDots(TextRef text) {
  return ReplaceText(text, ".", std::nullopt, std::nullopt, std::nullopt, true);
}

// The confirmation line, after what the user must know first: the listed
// classes kept whole, the keys that stayed, or the backup that could not be
// written. When everything is gone (or nothing was there) and no class was
// kept, only the confirmation is written, as it always was.
void WriteOutcome(TextRef extension, const CleanupOutcome& outcome) {
  const char* verdict = nullptr;
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
    ConsoleWriteText({ConcatTexts({texts::kLineEnd, extension, texts::kExitQuestion})});
  } else {
    ConsoleWriteText({ConcatTexts({texts::kLineEnd, extension, verdict, texts::kExitAsk})});
  }
}

}  // namespace

bool HoldsBackslash(TextRef text) {
  const char* bytes = text.Bytes();
  for (std::int32_t i = 0; bytes[i] != '\0'; ++i) {
    if (bytes[i] == '\\') return true;
    // The second byte of a two-byte character may be 0x5C (U+6DFA is 9C 5C):
    // it is part of that character, no backslash.
    if (IsLeadByte(static_cast<unsigned char>(bytes[i])) && bytes[i + 1] != '\0') ++i;
  }
  return false;
}

bool IsRefusedExtension(TextRef extension) {
  const ByteBuffer bytes = TextToBytes(extension);
  if (BytesLength(bytes) == static_cast<std::int32_t>(sizeof kLineFeed) &&
      CompareBytes(bytes.Data(), kLineFeed, sizeof kLineFeed) == 0) {
    return true;
  }
  if (CompareText(extension, "") == 0) return true;
  // Dots and letter case do not change which extension the cleanup handles.
  const Text folded = ToLowerCase(RemoveDots(extension));
  if (CompareText(folded, "") == 0) return true;
  // No extension holds a backslash: the registry reads it as a separator, so
  // the cleanup's paths would reach another extension's keys or keys below
  // them ("exe\", "txt\UserChoice").
  if (HoldsBackslash(extension)) return true;
  // A control character names no extension a person typed, and would reach
  // the report raw (a tab, an escape sequence, a forged line end); a console
  // line is judged so already, an argument or a redirected line here. Code
  // page 936 has no trail byte below 0x40.
  for (const char* at = extension.Bytes(); *at != '\0'; ++at) {
    if (static_cast<unsigned char>(*at) < 0x20 || *at == 0x7F) return true;
  }
  for (const char* name : kRefusedNames) {
    if (CompareText(folded, name) == 0) return true;
  }
  return false;
}

std::optional<Text> ExtensionFromInput(TextRef input) {
  const Text extension = RemoveSpaces(input);
  if (IsRefusedExtension(extension)) return std::nullopt;
  return RemoveDots(extension);
}

void RunDialogueTurn(const KeyOwner& owner) {
  ConsoleWriteText({texts::kBanner});
  ConsoleWriteText({texts::kPrompt});
  const TypedLine typed = ConsoleReadLine(true);
  // A line that held what no extension holds (a control character, a
  // character the code page lacks) is refused as silently as the others.
  if (!typed.exact) return;
  const std::optional<Text> accepted = ExtensionFromInput(typed.text);
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
  if (answer.exact && CompareText(ToLowerCase(answer.text), CharText(kExitLetter)) == 0) {
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
  if (const std::optional<Text> line = KeyOwnerLine(owner, false)) {
    ConsoleWriteText({*line, texts::kLineEnd});
  }
  // The system account with nobody at the console: there is nobody to clean for.
  if (owner.whose == KeyOwnerCase::kNoConsoleUser) EndProgram(1);
  for (;;) RunDialogueTurn(owner);
}

}  // namespace varneth
