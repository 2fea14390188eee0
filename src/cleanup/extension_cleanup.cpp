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

// Writes the backup file, or notes why there can be none. False when nothing
// may be deleted.
bool SaveBackup(const CleanupRequest& request, const ExportStatus& exported,
                const std::wstring& text, CleanupOutcome& outcome) {
  const std::wstring folder =
      request.backupFolder.empty() ? DefaultBackupFolder() : FullFolderPath(request.backupFolder);
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::wstring stem = BackupFileStem(request.extension, now);
  if (exported.Complete()) {
    const BackupFile file = WriteBackupFile(folder, stem, text);
    outcome.backupPath = file.path;
    if (file.Written()) return true;
    outcome.backupError = file.error;
  } else {
    outcome.backupPath = folder + L"\\" + stem + L".reg";
    outcome.backupProblem = exported.problem;
    outcome.backupError = exported.error;
  }
  outcome.result = CleanupResult::kBackupFailed;
  return false;
}

}  // namespace

CleanupOutcome RunExtensionCleanup(const CleanupRequest& request) {
  CleanupOutcome outcome;
  for (const CleanupTarget& target : ListCleanupTargets(request.extension, request.sidText)) {
    if (target.existed) outcome.targets.push_back(TargetFate{target, {}, false});
  }

  // The export also counts each target's keys and values, all a dry run needs.
  std::wstring backup = kRegFileHeader;
  ExportStatus exported;
  for (TargetFate& fate : outcome.targets) {
    const ExportStatus status = ExportTarget(fate.target, backup, fate.counts);
    if (exported.Complete()) exported = status;
    // Nothing will be deleted: no need to read on.
    if (!exported.Complete() && !request.dryRun) break;
  }
  if (request.dryRun) {
    // What the real run would stop at is told all the same.
    outcome.result = CleanupResult::kListed;
    outcome.backupProblem = exported.problem;
    outcome.backupError = exported.error;
    return outcome;
  }
  backup += L"\r\n";  // the file ends with a blank line, as the registry editor's do
  if (!outcome.targets.empty() && !SaveBackup(request, exported, backup, outcome)) return outcome;

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
