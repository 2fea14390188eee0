// What one backup holds, by name: every key and value it saved, with each
// value's type and a digest of its data. The deletion checks read it, so that
// nothing is deleted that the backup does not hold as it is now.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "registry/registry_export.h"

namespace varneth {

struct SnapshotValue {
  DWORD type = REG_NONE;
  DWORD size = 0;
  std::uint64_t digest = 0;
};

// Paths are full ("HKEY_CURRENT_USER\Software\..."), tidied and folded as
// the registry compares names.
struct BackupSnapshot {
  std::wstring ownSidFolded;  // HKEY_USERS\<this SID> is HKEY_CURRENT_USER
  std::unordered_set<std::wstring> keys;
  std::unordered_map<std::wstring, SnapshotValue> values;  // key path, NUL, value name
  std::unordered_set<std::wstring> classLists;             // the user's OpenWithProgids keys
  // The ANSI forms of the keys and values whose names the code page cannot
  // hold ("?" for each such character): a path of that form, read by the
  // cleanup's ANSI calls, may stand for either, so it is never deleted.
  std::unordered_set<std::wstring> substituted;
};

// A digest of a value's type and data (64-bit FNV-1a).
std::uint64_t DigestValue(DWORD type, const BYTE* data, DWORD size);

// The path under which a snapshot holds `path` below `root`: the root's name
// in front, HKEY_USERS\<own SID> read as HKEY_CURRENT_USER, tidied and folded.
std::wstring SnapshotPath(const BackupSnapshot& snapshot, HKEY root, std::wstring_view path);
// The same for a full path that begins with the root's name.
std::wstring SnapshotPath(const BackupSnapshot& snapshot, std::wstring_view fullPath);

void AddSnapshotKey(BackupSnapshot& snapshot, std::wstring_view fullPath);
void AddSnapshotValue(BackupSnapshot& snapshot, std::wstring_view keyFullPath,
                      std::wstring_view name, DWORD type, const BYTE* data, DWORD size);

// An export's visitor that notes every key and value written in the snapshot,
// which must outlive it.
ExportVisitor SnapshotVisitor(BackupSnapshot& snapshot);

bool SnapshotHoldsKey(const BackupSnapshot& snapshot, const std::wstring& snapshotPath);
// True when a key or value the snapshot holds has a name the code page
// cannot hold whose ANSI form is this path (and name).
bool IsSubstitutedForm(const BackupSnapshot& snapshot, const std::wstring& snapshotPath);
bool IsSubstitutedForm(const BackupSnapshot& snapshot, const std::wstring& snapshotPath,
                       std::wstring_view name);
// The value `name` of the key at `snapshotPath` (from SnapshotPath), or nullptr.
const SnapshotValue* FindSnapshotValue(const BackupSnapshot& snapshot,
                                       const std::wstring& snapshotPath, std::wstring_view name);

}  // namespace varneth
