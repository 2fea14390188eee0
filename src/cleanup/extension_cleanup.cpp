#include "cleanup/extension_cleanup.h"

#include "cleanup/backup_file.h"
#include "cleanup/cleanup_plan.h"
#include "cleanup/registry_key.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

// Appends the target's export: a key with its subtree, or the one value.
ExportStatus ExportTarget(const CleanupTarget& target, std::wstring& out, ExportCounts& counts) {
  RegistryKey key;
  const LONG opened = RegOpenKeyExA(target.root, target.keyPath.Bytes(), 0, KEY_READ, key.Put());
  if (opened != ERROR_SUCCESS) return {ExportProblem::kRegistryError, opened};
  const std::wstring fullPath = WidenText(FullKeyPath(target));
  if (target.kind == TargetKind::kKey) return ExportKeyTree(key.Get(), fullPath, out, counts);
  counts.values = 1;
  return ExportOneValue(key.Get(), fullPath, WidenText(target.valueName), out);
}

std::wstring BackupStem(TextRef extension) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return BackupFileStem(extension, now);
}

}  // namespace

CleanupOutcome RunExtensionCleanup(const CleanupRequest& request) {
  CleanupOutcome outcome;
  for (const CleanupTarget& target : ListCleanupTargets(request.extension, request.sidText)) {
    if (target.existed) outcome.targets.push_back(TargetFate{target, {}, false});
  }

  std::wstring backup = kRegFileHeader;
  for (TargetFate& fate : outcome.targets) {
    const ExportStatus status = ExportTarget(fate.target, backup, fate.counts);
    if (!status.Complete() && !request.dryRun) {
      outcome.result = CleanupResult::kBackupFailed;
      outcome.backupProblem = status.problem;
      outcome.backupError = status.error;
      break;
    }
  }
  if (request.dryRun) {
    outcome.result = CleanupResult::kListed;
    return outcome;
  }
  if (!outcome.targets.empty()) {
    const std::wstring folder =
        request.backupFolder.empty() ? DefaultBackupFolder() : FullFolderPath(request.backupFolder);
    const std::wstring stem = BackupStem(request.extension);
    if (outcome.result == CleanupResult::kBackupFailed) {
      outcome.backupPath = folder + L"\\" + stem + L".reg";
      return outcome;
    }
    backup += L"\r\n";
    const BackupFile file = WriteBackupFile(folder, stem, backup);
    outcome.backupPath = file.path;
    if (!file.Written()) {
      outcome.result = CleanupResult::kBackupFailed;
      outcome.backupProblem = ExportProblem::kNone;
      outcome.backupError = file.error;
      return outcome;
    }
  }

  CleanExtension(request.extension, request.sidText, request.accountName);

  for (TargetFate& fate : outcome.targets) {
    fate.stayed = TargetExists(fate.target);
    if (fate.stayed) outcome.result = CleanupResult::kPartlyRemoved;
  }
  return outcome;
}

bool ShouldSuggestAdministrator(const CleanupOutcome& outcome, bool elevated) {
  if (elevated) return false;
  for (const TargetFate& fate : outcome.targets) {
    if (fate.stayed && fate.target.root == HKEY_LOCAL_MACHINE) return true;
  }
  return false;
}

}  // namespace varneth
