#include "frontend/scan_report.h"

#include <optional>
#include <string>

#include "frontend/command_line_run.h"
#include "frontend/console.h"
#include "frontend/dialogue.h"
#include "frontend/interruption.h"
#include "runtime/program_texts.h"
#include "runtime/wide_text.h"
#include "scan/scan_stores.h"

namespace varneth {
namespace {

Text Number(std::int32_t value) { return CopyText(std::to_string(value).c_str()); }

void WriteLine(std::initializer_list<TextRef> parts) {
  ConsoleWriteText({ConcatTexts(parts), texts::kLineEnd});
}

// An extension key's name as a run would take it, or nothing when a run
// given it would clean another name (its dots or spaces removed) or none.
std::optional<Text> RunnableExtension(const std::wstring& name) {
  std::optional<Text> extension = ExtensionFromInput(name);
  if (!extension || WidenText(*extension) != name) return std::nullopt;
  return extension;
}

const char* ReasonText(ScanVerdict verdict) {
  switch (verdict) {
    case ScanVerdict::kMissingClass:
      return texts::kScanMissingClass;
    case ScanVerdict::kNoVerb:
      return texts::kScanNoVerb;
    case ScanVerdict::kMissingProgram:
      return texts::kScanMissingProgram;
    case ScanVerdict::kStaleList:
      return texts::kScanStaleList;
    case ScanVerdict::kBehindLink:
      return texts::kScanBehindLink;
    case ScanVerdict::kSound:
      break;
  }
  return "";
}

// "." <extension> " (" <class> "): " <reason> [<file or link>], and for what
// a run would clean, the line that says how.
void WriteFinding(TextRef extension, const ScanFinding& finding) {
  const Text shown = EscapedAnsiText(extension);
  const Text reason = ConcatTexts({ReasonText(finding.verdict), EscapedText(finding.detail)});
  if (finding.className.empty()) {
    WriteLine({".", shown, texts::kScanNoClassReasonLead, reason});
  } else {
    WriteLine({".", shown, texts::kScanClassLead, EscapedText(finding.className),
               texts::kScanReasonLead, reason});
  }
  // A run follows no link either: it would not clean what is behind one.
  if (finding.verdict == ScanVerdict::kBehindLink) return;
  WriteLine({texts::kScanCleanLead, shown, texts::kScanDryRunLead, shown});
}

}  // namespace

int RunScanReport(const std::vector<Text>& given, const KeyOwner& owner) {
  AssociationScan scan(OpenScanStores(owner));
  for (const std::wstring& link : scan.StoreLinks()) {
    WriteLine({texts::kScanBehindLink, EscapedText(link)});
  }
  std::vector<Text> extensions;
  if (!given.empty()) {
    extensions = given;
  } else {
    for (const std::wstring& name : scan.Extensions()) {
      if (std::optional<Text> extension = RunnableExtension(name)) {
        extensions.push_back(std::move(*extension));
      }
    }
  }
  std::int32_t looked = 0;
  std::int32_t broken = 0;
  std::int32_t stale = 0;
  for (const Text& extension : extensions) {
    if (WasInterrupted()) break;
    ++looked;
    const ScanFinding finding = scan.Judge(WidenText(extension));
    if (finding.verdict == ScanVerdict::kSound) continue;
    if (finding.verdict == ScanVerdict::kStaleList) ++stale;
    if (finding.verdict != ScanVerdict::kStaleList && finding.verdict != ScanVerdict::kBehindLink) {
      ++broken;
    }
    WriteFinding(extension, finding);
  }
  if (stale == 0) {
    WriteLine({texts::kScanSummaryLead, Number(looked), texts::kScanSummaryFound, Number(broken),
               texts::kScanSummaryBroken});
  } else {
    WriteLine({texts::kScanSummaryLead, Number(looked), texts::kScanSummaryFound, Number(broken),
               texts::kScanSummaryBroken, texts::kComma, Number(stale), texts::kScanSummaryStale});
  }
  if (WasInterrupted()) {
    WriteLine({texts::kInterrupted});
    return kExitInterrupted;
  }
  return broken > 0 ? kExitIncomplete : kExitDone;
}

}  // namespace varneth
