#include "scan/program_file.h"

#include "probes/file_redirection.h"
#include "registry/registry_names.h"
#include "registry/registry_open.h"
#include "scan/read_only_key.h"

namespace varneth {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The last name of a path.
std::wstring_view LastName(std::wstring_view path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

bool HasExtension(std::wstring_view path) {
  return LastName(path).find(L'.') != std::wstring_view::npos;
}

// The name a program file usually has: what a missing unquoted command is
// named by when it had spaces.
bool LooksLikeProgram(std::wstring_view path) {
  const std::wstring name = FoldName(LastName(path));
  for (const wchar_t* ending : {L".EXE", L".COM", L".BAT", L".CMD"}) {
    const std::wstring_view end(ending);
    if (name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0) {
      return true;
    }
  }
  return false;
}

bool IsRundll32(std::wstring_view program) {
  const std::wstring name = FoldName(LastName(program));
  return name == L"RUNDLL32.EXE" || name == L"RUNDLL32";
}

std::wstring Joined(const std::wstring& folder, std::wstring_view name) {
  std::wstring path = folder;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path += name;
}

}  // namespace

std::wstring ExpandEnvironment(std::wstring_view text) {
  const std::wstring source(text);
  std::wstring expanded(source.size() + 256, L'\0');
  for (;;) {
    const DWORD needed = ExpandEnvironmentStringsW(source.c_str(), expanded.data(),
                                                   static_cast<DWORD>(expanded.size()));
    if (needed == 0) return source;
    if (needed <= expanded.size()) {
      expanded.resize(needed - 1);  // without the NUL
      return expanded;
    }
    expanded.resize(needed);
  }
}

ProgramFinder::ProgramFinder(HKEY userAppPaths, HKEY machineAppPaths, bool ownEnvironment)
    : userAppPaths_(userAppPaths), machineAppPaths_(machineAppPaths),
      ownEnvironment_(ownEnvironment) {
  wchar_t folder[MAX_PATH];
  const UINT windows = GetWindowsDirectoryW(folder, MAX_PATH);
  if (windows > 0 && windows < MAX_PATH) {
    folders_[0] = folder;
    folders_[2] = Joined(folders_[0], L"System");
  }
  // System32 itself: the checks run with the file system redirection off.
  const UINT system = GetSystemDirectoryW(folder, MAX_PATH);
  if (system > 0 && system < MAX_PATH) folders_[1] = folder;
  path_ = ExpandEnvironment(L"%PATH%");
  if (path_ == L"%PATH%") path_.clear();
}

bool ProgramFinder::IsFile(const std::wstring& path) {
  const auto [slot, added] = files_.try_emplace(FoldName(path), false);
  if (!added) return slot->second;
  DWORD attributes;
  DWORD error;
  {
    const FileRedirectionOff redirectionOff;
    attributes = GetFileAttributesW(path.c_str());
    error = GetLastError();
  }
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Only "not there" is sure; a file that may not be looked at is there.
    slot->second = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
                   error != ERROR_INVALID_NAME && error != ERROR_BAD_PATHNAME;
  } else {
    slot->second = (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  return slot->second;
}

// Removable, network and unknown drives may be there another time.
bool ProgramFinder::IsFixedDrive(wchar_t letter) {
  const auto [slot, added] = drives_.try_emplace(static_cast<wchar_t>(towupper(letter)), false);
  if (added) {
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    const UINT type = GetDriveTypeW(root);
    slot->second = type == DRIVE_FIXED || type == DRIVE_RAMDISK;
  }
  return slot->second;
}

bool ProgramFinder::InAppPaths(const std::wstring& name) {
  const auto [slot, added] = appPaths_.try_emplace(FoldName(name), false);
  if (!added) return slot->second;
  for (HKEY store : {userAppPaths_, machineAppPaths_}) {
    RegistryKey key;
    // A link counts as there: what is behind it is not read.
    const LONG status = store != nullptr ? OpenForReading(store, name, key) : ERROR_FILE_NOT_FOUND;
    if (status == ERROR_SUCCESS || status == kMetRegistryLink) slot->second = true;
  }
  return slot->second;
}

ProgramState ProgramFinder::LocateBare(std::wstring_view name, std::wstring_view defaultExtension) {
  std::wstring names[2] = {std::wstring(name)};
  if (!HasExtension(name)) names[1] = names[0] + std::wstring(defaultExtension);
  for (const std::wstring& candidate : names) {
    if (!candidate.empty() && InAppPaths(candidate)) return ProgramState::kFound;
  }
  auto inFolder = [&](const std::wstring& folder) {
    for (const std::wstring& candidate : names) {
      if (!candidate.empty() && IsFile(Joined(folder, candidate))) return true;
    }
    return false;
  };
  for (const std::wstring& folder : folders_) {
    if (!folder.empty() && inFolder(folder)) return ProgramState::kFound;
  }
  for (size_t at = 0; at <= path_.size();) {
    size_t end = path_.find(L';', at);
    if (end == std::wstring::npos) end = path_.size();
    std::wstring folder = path_.substr(at, end - at);
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') {
      folder = folder.substr(1, folder.size() - 2);
    }
    // Only absolute folders: a relative one depends on the shell's folder.
    if (folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\' && inFolder(folder)) {
      return ProgramState::kFound;
    }
    at = end + 1;
  }
  // Another user's PATH may hold folders the process's lacks.
  return ownEnvironment_ ? ProgramState::kMissing : ProgramState::kUnclear;
}

ProgramState ProgramFinder::Locate(std::wstring_view token, std::wstring_view defaultExtension) {
  if (token.empty() || token.find_first_of(L"*?<>|\"%/") != std::wstring_view::npos) {
    return ProgramState::kUnclear;
  }
  if (token.size() >= 2 && token[1] == L':') {
    // Only a full path on a fixed drive: "C:x" depends on the drive's folder.
    if (token.size() < 3 || token[2] != L'\\' || !IsFixedDrive(token[0])) {
      return ProgramState::kUnclear;
    }
    const std::wstring path(token);
    if (IsFile(path)) return ProgramState::kFound;
    if (!HasExtension(path) && IsFile(path + std::wstring(defaultExtension))) {
      return ProgramState::kFound;
    }
    return ProgramState::kMissing;
  }
  // A share, a path from the drive's root, or one relative to some folder.
  if (token.find(L'\\') != std::wstring_view::npos || token.find(L':') != std::wstring_view::npos) {
    return ProgramState::kUnclear;
  }
  return LocateBare(token, defaultExtension);
}

ProgramJudgement ProgramFinder::JudgeRundll32(std::wstring_view arguments) {
  size_t at = 0;
  while (at < arguments.size() && IsBlank(arguments[at])) ++at;
  std::wstring_view dll;
  if (at < arguments.size() && arguments[at] == L'"') {
    const size_t close = arguments.find(L'"', at + 1);
    if (close == std::wstring_view::npos) return {};
    dll = arguments.substr(at + 1, close - at - 1);
  } else {
    const size_t end = arguments.find_first_of(L", \t", at);
    dll = arguments.substr(at, end == std::wstring_view::npos ? std::wstring_view::npos : end - at);
  }
  // LoadLibrary adds ".dll" to a name without an extension.
  const ProgramState state = Locate(dll, L".dll");
  return {state, state == ProgramState::kMissing ? std::wstring(dll) : std::wstring()};
}

ProgramJudgement ProgramFinder::Judge(std::wstring_view command) {
  if (!ownEnvironment_ && command.find(L'%') != std::wstring_view::npos) return {};
  const std::wstring expanded = ExpandEnvironment(command);
  size_t start = 0;
  while (start < expanded.size() && IsBlank(expanded[start])) ++start;
  const std::wstring_view text = std::wstring_view(expanded).substr(start);
  if (text.empty()) return {};
  if (text.front() == L'"') {
    const size_t close = text.find(L'"', 1);
    if (close == std::wstring_view::npos) return {};
    const std::wstring_view program = text.substr(1, close - 1);
    const ProgramState state = Locate(program, L".exe");
    if (state == ProgramState::kFound && IsRundll32(program)) {
      return JudgeRundll32(text.substr(close + 1));
    }
    return {state, state == ProgramState::kMissing ? std::wstring(program) : std::wstring()};
  }
  // Unquoted: each prefix that ends before a space, shortest first, until
  // one is a file or the arguments begin (a quote or an environment string
  // left, which the shell fills in).
  std::wstring_view named;
  for (size_t end = 0; end <= text.size(); ++end) {
    if (end < text.size() && !IsBlank(text[end])) continue;
    const std::wstring_view candidate = text.substr(0, end);
    if (candidate.empty() || IsBlank(candidate.back())) continue;
    if (candidate.find_first_of(L"\"%") != std::wstring_view::npos) {
      if (named.empty()) return {};
      break;
    }
    const ProgramState state = Locate(candidate, L".exe");
    if (state == ProgramState::kFound) {
      if (IsRundll32(candidate)) return JudgeRundll32(text.substr(end));
      return {ProgramState::kFound, {}};
    }
    if (state == ProgramState::kUnclear) return {};
    if (named.empty() || LooksLikeProgram(candidate)) named = candidate;
    // Once the first name is a program's, what follows is its arguments.
    if (LooksLikeProgram(candidate)) break;
  }
  return {ProgramState::kMissing, std::wstring(named)};
}

}  // namespace varneth
