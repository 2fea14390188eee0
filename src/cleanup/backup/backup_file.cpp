#include "cleanup/backup/backup_file.h"

// After windows.h, which they rely on.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <string_view>

#include "probes/file_redirection.h"
#include "runtime/program_end.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

// The extension's part of a file name stays within this many UTF-16 units,
// and the whole path within MAX_PATH.
constexpr size_t kLongestExtensionPart = 64;
constexpr int kMostNumberedNames = 9999;

// The writer whose file is open, for the end hook.
BackupWriter* g_unfinished = nullptr;
constexpr int kBackupEndHook = 3;

void DiscardUnfinishedBackup() {
  if (g_unfinished != nullptr) g_unfinished->Discard();
}

// Memory the shell allocated for the caller, freed with CoTaskMemFree.
class ShellString {
 public:
  ShellString() = default;
  ShellString(const ShellString&) = delete;
  ShellString& operator=(const ShellString&) = delete;
  ~ShellString() { CoTaskMemFree(text_); }
  PWSTR* Put() { return &text_; }
  const wchar_t* Get() const { return text_; }

 private:
  PWSTR text_ = nullptr;
};

BackupFileCalls g_fileCalls;

// A file handle, closed by its owner.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  // True when the handle closed cleanly.
  bool Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const bool closed = g_fileCalls.close(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

bool CannotStandInAFileName(wchar_t c) {
  return c < 0x20 || c == 0x7F ||
         std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos;
}

void AppendNumber(std::wstring& out, unsigned value, int digits) {
  std::wstring number = std::to_wstring(value);
  if (static_cast<int>(number.size()) < digits) number.insert(0, digits - number.size(), L'0');
  out += number;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates each missing folder of the path in turn. Intermediate failures
// (a drive or a share, which cannot be created) are passed over: only the
// last step tells whether the folder is there.
DWORD CreateFolderPath(const std::wstring& folder) {
  if (IsFolder(folder)) return ERROR_SUCCESS;
  for (size_t at = folder.find(L'\\', 1); at != std::wstring::npos;
       at = folder.find(L'\\', at + 1)) {
    CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
  }
  if (CreateDirectoryW(folder.c_str(), nullptr)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  if (IsFolder(folder)) return ERROR_SUCCESS;
  return error == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : error;
}

// A name CreateDirectory refuses: control characters, and the characters no
// file name holds (a drive's colon aside, which stands in an existing part).
bool IsFolderName(std::wstring_view name) {
  if (name.empty()) return false;
  for (const wchar_t c : name) {
    if (c < 0x20 || std::wstring_view(L"/:*?\"<>|").find(c) != std::wstring_view::npos) {
      return false;
    }
  }
  return true;
}

// The file `name` in the folder; a drive's root ("F:\\") ends in its
// separator already.
std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
  return folder + (!folder.empty() && folder.back() == L'\\' ? L"" : L"\\") + name;
}

// Whether a new file can be made in an existing folder: one made with
// FILE_FLAG_DELETE_ON_CLOSE goes again as it is closed.
DWORD CheckWritable(const std::wstring& folder) {
  const std::wstring probe =
      InFolder(folder, L"varneth-" + std::to_wstring(GetCurrentProcessId()) + L"-check.partial");
  const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(file);
  return ERROR_SUCCESS;
}

DWORD WriteWhole(HANDLE file, const void* bytes, size_t count) {
  const auto* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const DWORD piece = count > 0x10000000 ? 0x10000000 : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(file, next, piece, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    next += written;
    count -= written;
  }
  return ERROR_SUCCESS;
}

constexpr unsigned char kByteOrderMark[] = {0xFF, 0xFE};

// A backup is "<stem>.reg", or "<stem>-N.reg" when that name is taken. A
// file being written is "<stem>.partial" (or "-N"): no name the registry
// editor opens, so a run killed before the end leaves nothing that looks
// like a backup.
constexpr wchar_t kBackupSuffix[] = L".reg";
constexpr wchar_t kPartialSuffix[] = L".partial";

std::wstring NumberedPath(const std::wstring& folder, const std::wstring& stem, int number,
                          const wchar_t* suffix) {
  return InFolder(folder, stem + (number == 1 ? L"" : L"-" + std::to_wstring(number)) + suffix);
}

}  // namespace

std::wstring DefaultBackupFolder() {
  ShellString localAppData;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, localAppData.Put()))) {
    return {};
  }
  return std::wstring(localAppData.Get()) + L"\\Varneth\\Backups";
}

std::wstring FullFolderPath(const std::wstring& folder) {
  const DWORD size = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
  if (size == 0) return folder;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(folder.c_str(), size, full.data(), nullptr);
  full.resize(length < size ? length : 0);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full.empty() ? folder : full;
}

std::wstring BackupFileStem(TextRef extension, const SYSTEMTIME& localTime) {
  // Converted first, so each character is judged whole: the second byte of
  // a two-byte character is never taken for a backslash or a bar.
  std::wstring stem = WidenText(extension);
  for (wchar_t& c : stem) {
    if (CannotStandInAFileName(c)) c = L'_';
  }
  if (stem.size() > kLongestExtensionPart) {
    size_t cut = kLongestExtensionPart;
    if (IS_LOW_SURROGATE(stem[cut])) --cut;  // a surrogate pair stays whole
    stem.resize(cut);
  }
  stem += L'-';
  AppendNumber(stem, localTime.wYear, 4);
  AppendNumber(stem, localTime.wMonth, 2);
  AppendNumber(stem, localTime.wDay, 2);
  stem += L'-';
  AppendNumber(stem, localTime.wHour, 2);
  AppendNumber(stem, localTime.wMinute, 2);
  AppendNumber(stem, localTime.wSecond, 2);
  return stem;
}

void SetBackupFileCalls(const BackupFileCalls& calls) { g_fileCalls = calls; }

BackupWriter::~BackupWriter() { Discard(); }

void BackupWriter::Discard() {
  if (g_unfinished == this) g_unfinished = nullptr;
  if (file_ == INVALID_HANDLE_VALUE) return;
  FileRedirectionOff redirectionOff;
  g_fileCalls.close(file_);
  file_ = INVALID_HANDLE_VALUE;
  DeleteFileW(partial_.c_str());
}

DWORD BackupWriter::Start(const std::wstring& folder, const std::wstring& stem) {
  // The path the report gives is where the file is: a 32-bit process would
  // otherwise write below SysWOW64 what it names below System32.
  FileRedirectionOff redirectionOff;
  folder_ = folder;
  stem_ = stem;
  partial_ = NumberedPath(folder, stem, 1, kPartialSuffix);
  error_ = CreateFolderPath(folder);
  if (error_ != ERROR_SUCCESS) return error_;
  for (int number = 1; number <= kMostNumberedNames; ++number) {
    partial_ = NumberedPath(folder, stem, number, kPartialSuffix);
    file_ = CreateFileW(partial_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ != INVALID_HANDLE_VALUE) {
      g_unfinished = this;
      SetEndHook(kBackupEndHook, DiscardUnfinishedBackup);
      error_ = WriteWhole(file_, kByteOrderMark, sizeof kByteOrderMark);
      return error_;
    }
    error_ = GetLastError();
    // One left by a run that was killed stays as it is.
    if (error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS) return error_;
  }
  return error_;
}

DWORD BackupWriter::Append(const std::wstring& text) {
  if (error_ == ERROR_SUCCESS && file_ == INVALID_HANDLE_VALUE) error_ = ERROR_INVALID_HANDLE;
  if (error_ != ERROR_SUCCESS) return error_;
  FileRedirectionOff redirectionOff;
  error_ = WriteWhole(file_, text.data(), text.size() * sizeof(wchar_t));
  return error_;
}

BackupFile BackupWriter::Finish() {
  FileRedirectionOff redirectionOff;
  BackupFile backup;
  // Until it is renamed, the file tried is the one being written.
  backup.path = partial_.empty() ? NumberedPath(folder_, stem_, 1, kPartialSuffix) : partial_;
  backup.error = error_;
  if (file_ == INVALID_HANDLE_VALUE) {
    if (backup.error == ERROR_SUCCESS) backup.error = ERROR_INVALID_HANDLE;
    return backup;
  }
  if (backup.error == ERROR_SUCCESS && !g_fileCalls.flush(file_)) backup.error = GetLastError();
  const bool closed = g_fileCalls.close(file_) != FALSE;
  if (!closed && backup.error == ERROR_SUCCESS) backup.error = GetLastError();
  file_ = INVALID_HANDLE_VALUE;
  if (g_unfinished == this) g_unfinished = nullptr;
  if (backup.error != ERROR_SUCCESS) {
    DeleteFileW(partial_.c_str());
    return backup;
  }
  // Only a whole, flushed file gets a backup's name. MoveFileExW without
  // MOVEFILE_REPLACE_EXISTING never replaces a file, so a name taken since
  // (or before) is passed over; write-through returns once the new name is
  // on disk.
  for (int number = 1; number <= kMostNumberedNames; ++number) {
    const std::wstring path = NumberedPath(folder_, stem_, number, kBackupSuffix);
    if (MoveFileExW(partial_.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
      backup.path = path;
      backup.error = ERROR_SUCCESS;
      return backup;
    }
    backup.error = GetLastError();
    if (backup.error != ERROR_FILE_EXISTS && backup.error != ERROR_ALREADY_EXISTS) break;
  }
  DeleteFileW(partial_.c_str());
  return backup;
}

BackupFile WriteBackupFile(const std::wstring& folder, const std::wstring& stem,
                           const std::wstring& content) {
  BackupWriter writer;
  if (writer.Start(folder, stem) == ERROR_SUCCESS) writer.Append(content);
  return writer.Finish();
}

DWORD CheckBackupFolder(const std::wstring& folder) {
  FileRedirectionOff redirectionOff;
  std::wstring existing = folder;
  while (GetFileAttributesW(existing.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const size_t at = existing.find_last_of(L'\\');
    if (at == std::wstring::npos || at == 0) return ERROR_PATH_NOT_FOUND;
    if (!IsFolderName(std::wstring_view(existing).substr(at + 1))) return ERROR_INVALID_NAME;
    existing.resize(at);
  }
  if (!IsFolder(existing)) return existing == folder ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND;
  return CheckWritable(existing);
}

}  // namespace varneth
