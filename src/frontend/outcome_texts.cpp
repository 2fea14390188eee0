#include "frontend/outcome_texts.h"

#include <string>

#include "runtime/program_texts.h"
#include "runtime/wide_text.h"

namespace varneth {

Text TargetDisplayName(const CleanupTarget& target) {
  const Text key = EscapedText(FullKeyPath(target));
  if (target.kind == TargetKind::kKey) return key;
  if (target.valueName.empty()) return ConcatTexts({key, texts::kDefaultValueOfKey});
  return ConcatTexts({key, texts::kValueOfKey, EscapedText(target.valueName)});
}

std::vector<const char*> StayReasonLines(const TargetFate& fate) {
  std::vector<const char*> lines;
  if (fate.why.unreachableName) lines.push_back(texts::kStayedUnreachableName);
  if (fate.why.uncarriedName) lines.push_back(texts::kStayedUncarriableName);
  if (fate.why.changedDuringRun) lines.push_back(texts::kStayedChangedDuringRun);
  if (fate.why.writtenBeforeDeletion) lines.push_back(texts::kStayedWrittenBeforeDeletion);
  if (fate.why.keepsClassNames) lines.push_back(texts::kStayedKeepsClassNames);
  if (fate.why.protectedChoice) lines.push_back(texts::kStayedProtectedChoice);
  return lines;
}

std::vector<Text> RegistryLinkLines(const TargetFate& fate) {
  std::vector<Text> lines;
  for (const std::wstring& link : fate.links) {
    lines.push_back(ConcatTexts({texts::kStayedRegistryLinkLead, EscapedText(link)}));
  }
  return lines;
}

namespace {

// " (<lead>N 个键, M 个值<middle>P 个键, Q 个值)": what is left and what went.
Text CountsText(const TargetFate& fate, const char* lead, const char* middle) {
  const auto number = [](std::int32_t value) { return CopyText(std::to_string(value).c_str()); };
  return ConcatTexts({lead, number(fate.left.keys), texts::kKeysCounted, number(fate.left.values),
                      middle, number(fate.gone.keys), texts::kKeysCounted,
                      number(fate.gone.values), texts::kValuesCounted});
}

}  // namespace

Text LeftAndGoneText(const TargetFate& fate) {
  return CountsText(fate, texts::kLeftCountsLead, texts::kValuesLeftThenGone);
}

Text WouldLeaveAndGoText(const TargetFate& fate) {
  return CountsText(fate, texts::kWouldLeaveCountsLead, texts::kValuesWouldLeaveThenGo);
}

Text KeptClassDisplayName(const KeptClass& kept) {
  return EscapedText(MachineClassFullPath(kept.name));
}

Text KeptClassReasonLine(const KeptClass& kept) {
  switch (kept.reason) {
    case KeepReason::kExtensionKey:
      return CopyText(texts::kKeptExtensionKey);
    case KeepReason::kNotAClassName:
      return CopyText(texts::kKeptNotAClassName);
    case KeepReason::kSystemClass:
      return CopyText(texts::kKeptSystemClass);
    case KeepReason::kProgramClass:
      return CopyText(texts::kKeptProgramClass);
    case KeepReason::kUrlProtocol:
      return CopyText(texts::kKeptUrlProtocol);
    case KeepReason::kComClass:
      return CopyText(texts::kKeptComClass);
    case KeepReason::kControlCharacter:
      return CopyText(texts::kKeptControlCharacter);
    case KeepReason::kNotTied:
      return CopyText(texts::kKeptNotTied);
    case KeepReason::kUsedElsewhere:
    case KeepReason::kUnreadable:
      break;
  }
  Text line = CopyText(kept.reason == KeepReason::kUnreadable ? texts::kKeptUnreadable
                                                                : texts::kKeptUsedElsewhere);
  for (size_t i = 0; i < kept.users.size(); ++i) {
    line = ConcatTexts({line, i == 0 ? "" : texts::kListSeparator, EscapedText(kept.users[i])});
  }
  if (kept.moreUsers) line = ConcatTexts({line, texts::kAndOthers});
  return line;
}

Text SystemErrorText(DWORD error) {
  // The wide message, so it reaches the report in code page 936 whatever
  // the ANSI code page.
  wchar_t* message = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text =
      length > 0 ? std::wstring(message, length) : L"error " + std::to_wstring(error);
  LocalFree(message);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' ||
                           text.back() == L' ' || text.back() == L'.')) {
    text.pop_back();
  }
  // The ideographic full stop, A1 A3 in code page 936.
  if (!text.empty() && text.back() == L'\u3002') text.pop_back();
  return EscapedText(text);
}

Text BackupFailureReason(const CleanupOutcome& outcome) {
  if (outcome.backupProblem == ExportProblem::kNameWithLineBreak) {
    return CopyText(texts::kNameWithLineBreak);
  }
  return SystemErrorText(outcome.backupError);
}

Text BackupFailureLine(const CleanupOutcome& outcome) {
  return ConcatTexts({texts::kBackupFailedLead, EscapedText(outcome.backupPath), texts::kReasonLead,
                      BackupFailureReason(outcome), texts::kNothingDeleted});
}

}  // namespace varneth
