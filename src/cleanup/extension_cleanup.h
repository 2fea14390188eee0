// One extension's whole cleanup: its targets, a backup of those that exist,
// the plan, and a look at what stayed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "cleanup/cleanup_targets.h"
#include "registry/registry_export.h"
#include "runtime/text.h"

namespace varneth {

struct CleanupRequest {
  TextRef extension;  // dots and spaces already removed
  const KeyOwner& owner;  // whose keys
  std::wstring backupFolder;  // empty: %LOCALAPPDATA%\Varneth\Backups
  bool dryRun = false;        // list the targets only: no backup, no deletion
};

enum class CleanupResult {
  kRemoved,        // everything that existed is gone, or nothing existed
  kPartlyRemoved,  // something that existed stayed
  kBackupFailed,   // no complete backup could be written: nothing was deleted
  kListed,         // a dry run: nothing was changed
};

// Why a target stayed, where that can be told.
struct StayReasons {
  bool unreachableName = false;   // it holds a name the ANSI code page cannot hold
  bool uncarriedName = false;     // it holds a name with a NUL, which the backup cannot carry
  bool changedDuringRun = false;  // it holds keys or values written while the cleanup ran
  // A key of it was written between its check and its deletion, and what it
  // holds now is all in the backup (else changedDuringRun says it).
  bool writtenBeforeDeletion = false;
  bool keepsClassNames = false;   // the user's list keeps the names of classes that stayed
  bool protectedChoice = false;   // Windows protects a default-app choice in it
};

// A target that existed when the cleanup began.
struct TargetFate {
  CleanupTarget target;
  ExportCounts counts;  // keys (the target's own included) and values it held
  bool stayed = false;  // in a dry run: what the run would leave, judged by the same rules
  StayReasons why;
  // Of a target that stayed: the keys and values it holds now (a link it
  // holds, or is, counts as a key), and those of `counts` that are gone.
  ExportCounts left;
  ExportCounts gone;
  // The registry links in it, or the target itself when it is one (full
  // paths): never followed, never deleted, so they stay with the keys above.
  std::vector<std::wstring> links;
};

struct CleanupOutcome {
  CleanupResult result = CleanupResult::kRemoved;
  std::vector<TargetFate> targets;      // in the plan's order
  std::vector<KeptClass> keptClasses;  // listed classes not the extension's own
  std::wstring backupPath;             // the file written, or the one that could not be
  // Why the backup could not be made (in a dry run: would not be);
  // backupError goes with a registry or file failure.
  ExportProblem backupProblem = ExportProblem::kNone;
  DWORD backupError = ERROR_SUCCESS;
};

// Lists the targets; unless this is a dry run, writes every existing one
// into a complete backup file flushed to disk, and only then runs the plan
// (which also tells the shell) with its deletions bounded by that backup:
// nothing goes that the backup does not hold as it is. Then looks again at
// each target and tells why one stayed. When the backup cannot be made
// whole, nothing is deleted and the partial file is gone. No file is written
// when nothing will be deleted (no target exists, or each is a link). A dry
// run judges each place as the run will: links in it, names the code page
// cannot hold and names the backup cannot carry stay with the keys above
// them, and the place is told as staying, with what would be left and go.
CleanupOutcome RunExtensionCleanup(const CleanupRequest& request);

// True when a key under HKEY_LOCAL_MACHINE stayed and the process is not
// elevated: running as administrator would remove it.
bool ShouldSuggestAdministrator(const CleanupOutcome& outcome, bool elevated);

}  // namespace varneth
