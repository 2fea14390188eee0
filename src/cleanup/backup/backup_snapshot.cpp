#include "cleanup/backup/backup_snapshot.h"

#include "registry/registry_names.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

std::wstring ValueKey(const std::wstring& snapshotPath, std::wstring_view name) {
  std::wstring key = snapshotPath;
  key += L'\0';
  key += FoldName(name);
  return key;
}

// The path with HKEY_USERS\<own SID> read as HKEY_CURRENT_USER: the same
// hive, whichever way the cleanup names it.
std::wstring OwnHiveAsCurrentUser(const BackupSnapshot& snapshot, std::wstring folded) {
  static const std::wstring users = L"HKEY_USERS\\";
  if (snapshot.ownSidFolded.empty() || folded.compare(0, users.size(), users) != 0) return folded;
  const std::wstring_view rest = std::wstring_view(folded).substr(users.size());
  const std::wstring& sid = snapshot.ownSidFolded;
  if (rest.substr(0, sid.size()) != sid ||
      (rest.size() > sid.size() && rest[sid.size()] != L'\\')) {
    return folded;
  }
  return L"HKEY_CURRENT_USER" + std::wstring(rest.substr(sid.size()));
}

}  // namespace

std::uint64_t DigestValue(DWORD type, const BYTE* data, DWORD size) {
  std::uint64_t digest = 14695981039346656037ull;
  const auto mix = [&digest](BYTE byte) {
    digest ^= byte;
    digest *= 1099511628211ull;
  };
  for (int shift = 0; shift < 32; shift += 8) mix(static_cast<BYTE>(type >> shift));
  for (DWORD i = 0; i < size; ++i) mix(data[i]);
  return digest;
}

std::wstring SnapshotPath(const BackupSnapshot& snapshot, std::wstring_view fullPath) {
  return OwnHiveAsCurrentUser(snapshot, FoldName(TidyKeyPath(fullPath)));
}

std::wstring SnapshotPath(const BackupSnapshot& snapshot, HKEY root, std::wstring_view path) {
  std::wstring full = RootNameW(root);
  full += L'\\';
  full += path;
  return SnapshotPath(snapshot, full);
}

// The text as the ANSI calls read it back, or nothing when that is the text.
std::optional<std::wstring> SubstitutedForm(std::wstring_view text) {
  const std::wstring wide(text);
  if (NarrowExactly(wide)) return std::nullopt;
  return WidenText(NarrowText(wide));
}

void AddSnapshotKey(BackupSnapshot& snapshot, std::wstring_view fullPath) {
  snapshot.keys.insert(SnapshotPath(snapshot, fullPath));
  if (const std::optional<std::wstring> form = SubstitutedForm(fullPath)) {
    snapshot.substituted.insert(SnapshotPath(snapshot, *form));
  }
}

void AddSnapshotValue(BackupSnapshot& snapshot, std::wstring_view keyFullPath,
                      std::wstring_view name, DWORD type, const BYTE* data, DWORD size) {
  snapshot.values[ValueKey(SnapshotPath(snapshot, keyFullPath), name)] =
      SnapshotValue{type, size, DigestValue(type, data, size)};
  const std::optional<std::wstring> path = SubstitutedForm(keyFullPath);
  const std::optional<std::wstring> form = SubstitutedForm(name);
  if (path || form) {
    snapshot.substituted.insert(ValueKey(SnapshotPath(snapshot, path ? *path : keyFullPath),
                                         form ? *form : std::wstring(name)));
  }
}

ExportVisitor SnapshotVisitor(BackupSnapshot& snapshot) {
  ExportVisitor visitor;
  visitor.key = [&snapshot](const std::wstring& path) { AddSnapshotKey(snapshot, path); };
  visitor.value = [&snapshot](const std::wstring& path, const std::wstring& name, DWORD type,
                              const BYTE* data, DWORD size) {
    AddSnapshotValue(snapshot, path, name, type, data, size);
  };
  return visitor;
}

bool IsSubstitutedForm(const BackupSnapshot& snapshot, const std::wstring& snapshotPath) {
  return snapshot.substituted.count(snapshotPath) != 0;
}

bool IsSubstitutedForm(const BackupSnapshot& snapshot, const std::wstring& snapshotPath,
                       std::wstring_view name) {
  return snapshot.substituted.count(ValueKey(snapshotPath, name)) != 0;
}

bool SnapshotHoldsKey(const BackupSnapshot& snapshot, const std::wstring& snapshotPath) {
  return snapshot.keys.count(snapshotPath) != 0;
}

const SnapshotValue* FindSnapshotValue(const BackupSnapshot& snapshot,
                                       const std::wstring& snapshotPath, std::wstring_view name) {
  const auto found = snapshot.values.find(ValueKey(snapshotPath, name));
  return found == snapshot.values.end() ? nullptr : &found->second;
}

}  // namespace varneth
