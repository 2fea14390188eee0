#include "cleanup/extension_cleanup.h"

#include <algorithm>
#include <functional>
#include <unordered_set>

#include "cleanup/backup/backup_file.h"
#include "cleanup/backup/backup_guard.h"
#include "cleanup/cleanup_plan.h"
#include "cleanup/place_survey.h"
#include "registry/registry_key.h"
#include "registry/registry_names.h"
#include "registry/registry_open.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

// Appends the export of a target whose key is open, noting each key and
// value written in the snapshot (when there is one) and each registry link
// passed over in the fate: a key with its subtree, or the one value.
ExportStatus ExportTarget(TargetFate& fate, HKEY key, std::wstring& out,
                          BackupSnapshot* snapshot, PlaceSurvey* survey,
                          const std::function<void(std::wstring&)>& drain) {
  ExportVisitor visitor = snapshot != nullptr ? SnapshotVisitor(*snapshot) : ExportVisitor{};
  visitor.drain = drain;
  visitor.link = [&fate](const std::wstring& path) { fate.links.push_back(path); };
  if (survey != nullptr) SurveyThrough(visitor, *survey);
  const std::wstring fullPath = FullKeyPath(fate.target);
  if (fate.target.kind == TargetKind::kKey) {
    return ExportKeyTree(key, fullPath, out, fate.counts, &visitor);
  }
  fate.counts.values = 1;
  return ExportOneValue(key, fullPath, fate.target.valueName, out, &visitor);
}

// A place whose opening met a registry link: the link is named by the key
// that holds its SymbolicLinkValue, and counts as a key left only when it is
// the place itself.
void NoteLinkMet(TargetFate& fate, const std::wstring& link) {
  const std::wstring place = FullKeyPath(fate.target);
  fate.links.push_back(link.empty() ? place : link);
  fate.left.keys = link.empty() || SameName(TidyKeyPath(place), link) ? 1 : 0;
}

// What a place that stayed holds now, against the backup: what is left of
// it, what of it went, the links in it, and whether it holds anything the
// backup lacks (written, or changed, while the cleanup ran).
bool SurveyWhatIsLeft(TargetFate& fate, const BackupSnapshot& snapshot) {
  fate.links.clear();
  RegistryKey key;
  std::wstring link;
  const LONG opened = OpenTargetKey(fate.target, KEY_READ, key, &link);
  ExportCounts held;
  bool changed = false;
  if (opened == kMetRegistryLink) {
    NoteLinkMet(fate, link);
  } else if (opened == ERROR_SUCCESS) {
    ExportVisitor visitor;
    visitor.key = [&](const std::wstring& path) {
      if (SnapshotHoldsKey(snapshot, SnapshotPath(snapshot, path))) {
        ++held.keys;
      } else {
        changed = true;
      }
    };
    visitor.value = [&](const std::wstring& path, const std::wstring& name, DWORD type,
                        const BYTE* data, DWORD size) {
      if (IsAsSaved(FindSnapshotValue(snapshot, SnapshotPath(snapshot, path), name), type, data,
                    size)) {
        ++held.values;
      } else {
        changed = true;
      }
    };
    visitor.link = [&fate](const std::wstring& path) { fate.links.push_back(path); };
    visitor.drain = [](std::wstring& text) { text.clear(); };  // only counted
    std::wstring ignored;
    if (fate.target.kind == TargetKind::kKey) {
      ExportKeyTree(key.Get(), FullKeyPath(fate.target), ignored, fate.left, &visitor);
    } else if (ExportOneValue(key.Get(), FullKeyPath(fate.target), fate.target.valueName,
                              ignored, &visitor)
                   .Complete()) {
      fate.left.values = 1;
    }
    // Links, and keys the backup could not carry, count as keys that are left.
    fate.left.keys += static_cast<std::int32_t>(fate.links.size()) + fate.left.uncarriedKeys;
    fate.left.values += fate.left.uncarriedValues;
  }
  fate.gone.keys = std::max(0, fate.counts.keys - held.keys);
  fate.gone.values = std::max(0, fate.counts.values - held.values);
  return changed;
}

// The snapshot's frame: whose hive HKEY_USERS\<SID> is, and which key holds
// the user's class names.
BackupSnapshot EmptySnapshot(const WideKeyNames& names) {
  BackupSnapshot snapshot;
  snapshot.ownSidFolded = FoldName(names.processSid);
  snapshot.classLists.insert(
      SnapshotPath(snapshot, HKEY_USERS, ClassListPath(names.sid, names.extension)));
  return snapshot;
}

// Writes the backup file, or notes why there can be none. False when nothing
// may be deleted.
std::wstring BackupFolderOf(const CleanupRequest& request) {
  return request.backupFolder.empty() ? DefaultBackupFolder()
                                      : FullFolderPath(request.backupFolder);
}

bool IsExplorerRecord(const CleanupTarget& target, const WideKeyNames& names) {
  if (target.kind != TargetKind::kKey) return false;
  const std::wstring path = target.root == HKEY_USERS
                                ? UserExplorerPath(names.sid, names.extension)
                                : ExplorerRecordPath(names.extension);
  return SameName(target.keyPath, path);
}

StayReasons WhyItStayed(TargetFate& fate, const WideKeyNames& names,
                        const BackupSnapshot& snapshot, const BackupGuard& guard) {
  const CleanupTarget& target = fate.target;
  StayReasons why;
  why.unreachableName = fate.counts.unreachableNames > 0 || !NarrowExactly(target.keyPath) ||
                        !NarrowExactly(target.valueName);
  why.uncarriedName = fate.counts.uncarriedKeys + fate.counts.uncarriedValues > 0;
  why.changedDuringRun = SurveyWhatIsLeft(fate, snapshot);
  why.writtenBeforeDeletion =
      !why.changedDuringRun && target.kind == TargetKind::kKey &&
      WrittenBeforeDeletion(guard.keyDeletions, snapshot,
                            SnapshotPath(snapshot, target.root, target.keyPath));
  if (target.kind == TargetKind::kKey) {
    const std::wstring place = SnapshotPath(snapshot, target.root, target.keyPath);
    if (guard.keptClassNames) {
      for (const std::wstring& list : snapshot.classLists) {
        if (IsWithinKey(list, place)) why.keepsClassNames = true;
      }
    }
    why.protectedChoice =
        IsExplorerRecord(target, names) &&
        HoldsProtectedChoice(guard.keyDeletions, target.root, TidyKeyPath(target.keyPath));
  }
  return why;
}

// A dry run's place as the run would leave it: whole when its own name is
// one the code page cannot hold, in part when something below it stays.
void JudgeAsTheRunWill(TargetFate& fate, const PlaceSurvey& survey) {
  const bool unreachablePlace = !NarrowExactly(fate.target.keyPath);
  if (!unreachablePlace && !survey.Keeps()) return;
  fate.stayed = true;
  if (unreachablePlace) {
    fate.left.keys = fate.counts.keys + fate.counts.uncarriedKeys;
    fate.left.values = fate.counts.values + fate.counts.uncarriedValues;
  } else {
    WouldLeaveAndGo(survey, fate.counts, fate.left, fate.gone);
  }
  fate.why.unreachableName = unreachablePlace || fate.counts.unreachableNames > 0;
  fate.why.uncarriedName = fate.counts.uncarriedKeys + fate.counts.uncarriedValues > 0;
  fate.why.keepsClassNames = survey.keepsClassNames;
}

// The run opens a value's key, the place's parent, without following a
// registry link on the way (beyond the platform's own at the user's classes,
// which may be that key itself), so a value reached through one stays.
bool LiesBehindLink(const CleanupTarget& value) {
  RegistryKey key;
  return OpenWithoutLinks(value.root, value.keyPath, value.keyPath.size(), KEY_QUERY_VALUE,
                          key) == kMetRegistryLink;
}

// How much backup text is gathered before it is written out.
constexpr size_t kBackupPieceChars = 1 << 16;

}  // namespace

CleanupOutcome RunExtensionCleanup(const CleanupRequest& request) {
  CleanupOutcome outcome;
  // The names every target's path is made of, in the targets' form.
  const WideKeyNames names = WidenKeyNames(request.extension, request.owner);
  const ClassUse classes = JudgeListedClasses(names);
  outcome.keptClasses = classes.kept;
  std::vector<CleanupTarget> targets = FindCleanupTargets(names, &classes);
  NoteExistingValues(targets);

  // Each existing target is exported as it is found: the export also counts
  // its keys and values, all a dry run needs, and notes each key and value it
  // saves, which the deletions are checked by. A key is opened once for both.
  // The backup is written as it is exported: its text is never held whole,
  // whatever the size of the data (the snapshot keeps digests, not copies).
  std::wstring backup = kRegFileHeader;
  BackupSnapshot snapshot = EmptySnapshot(names);
  ExportStatus exported;
  bool anythingSaved = false;  // with nothing to delete, no backup is written
  const std::wstring folder = request.dryRun ? std::wstring() : BackupFolderOf(request);
  std::wstring stem;
  BackupWriter writer;
  // A dry run's listed classes that would stay (folded): the run keeps their
  // names in the user's list. The classes come first in the plan's order.
  std::unordered_set<std::wstring> stayingClasses;
  const std::function<void(std::wstring&)> drain = [&](std::wstring& text) {
    if (text.size() < kBackupPieceChars) return;
    if (!request.dryRun) writer.Append(text);
    text.clear();
  };
  for (CleanupTarget& target : targets) {
    if (target.kind == TargetKind::kValue && !target.existed) continue;
    RegistryKey key;
    std::wstring link;
    const LONG opened = OpenTargetKey(target, KEY_READ, key, &link);
    if (target.kind == TargetKind::kKey && !KeyCountsAsThere(opened)) continue;
    target.existed = true;
    TargetFate& fate = outcome.targets.emplace_back();
    fate.target = std::move(target);
    // A place that is a registry link is neither followed nor saved: it is
    // not deleted either, so a dry run tells that it stays. A dry run deletes
    // nothing, so it needs no snapshot to check against.
    if (opened == kMetRegistryLink) {
      NoteLinkMet(fate, link);  // as the run will count it
      fate.stayed = request.dryRun;
    }
    PlaceSurvey survey = StartPlaceSurvey(FullKeyPath(fate.target));
    if (request.dryRun && IsExplorerRecord(fate.target, names)) {
      SurveyClassList(survey, FullKeyPath(fate.target) + L"\\OpenWithProgids", stayingClasses);
    }
    const bool saved = opened == ERROR_SUCCESS;
    anythingSaved = anythingSaved || saved;
    if (saved && !request.dryRun && stem.empty()) {
      SYSTEMTIME now;
      GetLocalTime(&now);
      stem = BackupFileStem(request.extension, now);
      writer.Start(folder, stem);
    }
    const ExportStatus status =
        opened == kMetRegistryLink ? ExportStatus{}
        : !saved ? ExportStatus{ExportProblem::kRegistryError, opened}
                 : ExportTarget(fate, key.Get(), backup, request.dryRun ? nullptr : &snapshot,
                                request.dryRun && fate.target.kind == TargetKind::kKey ? &survey
                                                                                      : nullptr,
                                drain);
    if (request.dryRun && saved && fate.target.kind == TargetKind::kKey) {
      FinishPlaceSurvey(survey);
      JudgeAsTheRunWill(fate, survey);
    }
    if (request.dryRun && fate.stayed && fate.target.kind == TargetKind::kKey &&
        fate.target.root == HKEY_LOCAL_MACHINE) {
      stayingClasses.insert(FoldName(fate.target.keyPath.substr(MachineClassesPrefix().size())));
    }
    if (request.dryRun && saved && fate.target.kind == TargetKind::kValue &&
        LiesBehindLink(fate.target)) {
      fate.stayed = true;
      fate.left.values = 1;
    }
    if (exported.Complete()) exported = status;
    // Nothing will be deleted: no need to read on.
    if (!request.dryRun && (!exported.Complete() || writer.Error() != ERROR_SUCCESS)) break;
  }
  if (request.dryRun) {
    // What the real run would stop at is told all the same.
    outcome.result = CleanupResult::kListed;
    outcome.backupProblem = exported.problem;
    outcome.backupError = exported.error;
    // Nor may the file: a folder that is a file, or one that takes none.
    if (exported.Complete() && anythingSaved) {
      outcome.backupError = CheckBackupFolder(BackupFolderOf(request));
    }
    return outcome;
  }
  if (anythingSaved) {
    backup += L"\r\n";  // the file ends with a blank line, as the registry editor's do
    if (exported.Complete()) writer.Append(backup);
    const BackupFile file = exported.Complete() ? writer.Finish() : BackupFile{};
    outcome.backupPath = exported.Complete() ? file.path : writer.PartialPath();
    if (!exported.Complete() || !file.Written()) {
      outcome.backupProblem = exported.problem;
      outcome.backupError = exported.Complete() ? file.error : exported.error;
      outcome.result = CleanupResult::kBackupFailed;
      return outcome;  // the writer removes its partial file
    }
  }

  BackupGuard guard;
  guard.snapshot = &snapshot;
  guard.classes = &classes;
  const DeletionCheck check = GuardDeletions(guard);
  CleanExtension(request.extension, request.owner, &check, &classes);

  for (TargetFate& fate : outcome.targets) {
    fate.stayed = TargetExists(fate.target);
    if (!fate.stayed) {
      fate.links.clear();  // gone with it, by another program's hand
      continue;
    }
    outcome.result = CleanupResult::kPartlyRemoved;
    fate.why = WhyItStayed(fate, names, snapshot, guard);
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
