// The backup file written before anything of an extension is deleted.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/text.h"

namespace varneth {

// %LOCALAPPDATA%\Varneth\Backups (the shell's known folder); empty when the
// shell cannot name the folder.
std::wstring DefaultBackupFolder();

// The folder as a full path: a relative one is read from the current folder.
std::wstring FullFolderPath(const std::wstring& folder);

// "<E>-YYYYMMDD-HHMMSS", for the extension in the ANSI code page. Characters
// that cannot stand in a file name (\ / : * ? " < > | and control
// characters) become "_", judged character by character (a code page 936
// character whose second byte is 0x5C stays whole), and a long extension is
// cut on a character boundary to keep the path well inside the platform's
// limits.
std::wstring BackupFileStem(TextRef extension, const SYSTEMTIME& localTime);

struct BackupFile {
  std::wstring path;            // the file written, or the one tried (.partial, or the .reg
                                // a rename to failed)
  DWORD error = ERROR_SUCCESS;  // why it could not be written
  bool Written() const { return error == ERROR_SUCCESS; }
};

// The two calls that make a written backup safe to rely on before anything
// is deleted: FlushFileBuffers and CloseHandle. Tests watch them through
// SetBackupFileCalls; nothing else changes them.
struct BackupFileCalls {
  BOOL(WINAPI* flush)(HANDLE) = FlushFileBuffers;
  BOOL(WINAPI* close)(HANDLE) = CloseHandle;
};
void SetBackupFileCalls(const BackupFileCalls& calls);

// What a dry run can tell without writing anything that stays: why a backup
// could not be written into `folder` (ERROR_SUCCESS when it could). An
// existing folder must be a folder that takes a new file (one made and
// removed at once); of a missing one, the names still to be made must be
// names a folder may have, below an existing folder that takes one.
DWORD CheckBackupFolder(const std::wstring& folder);

// A backup written as it is made, so that its text is never held whole:
// Start creates the folder when missing and a new file "<stem>.partial" (or
// "-N"), Append adds text as UTF-16LE (the first failure is kept, and later
// appends do nothing), Finish flushes, closes and names it as WriteBackupFile
// does. A file that is not finished, or not whole, is removed.
class BackupWriter {
 public:
  BackupWriter() = default;
  BackupWriter(const BackupWriter&) = delete;
  BackupWriter& operator=(const BackupWriter&) = delete;
  ~BackupWriter();
  DWORD Start(const std::wstring& folder, const std::wstring& stem);
  DWORD Append(const std::wstring& text);
  BackupFile Finish();
  DWORD Error() const { return error_; }
  // The file being written (or tried): "<stem>.partial", or "-N".
  const std::wstring& PartialPath() const { return partial_; }
  // Closes and removes the unfinished file: the destructor does, and so does
  // the program's end while one is open (an exhausted heap ends the program
  // without unwinding), so no .partial file outlives a run that ended itself.
  void Discard();

 private:
  std::wstring folder_;
  std::wstring stem_;
  std::wstring partial_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  DWORD error_ = ERROR_SUCCESS;
};

// Creates the folder when missing, then writes `content` as UTF-16LE with a
// byte-order mark into a new file "<stem>.partial", flushes and closes it,
// and only then names it "<stem>.reg", or "<stem>-2.reg", "<stem>-3.reg",
// ...: the first name that is free, so no file is ever overwritten, and no
// file under a backup's name is ever incomplete. The name is on disk before
// this returns; a file that could not be written whole is removed. The file
// calls run with the WOW64 file system redirection off, so `path` names the
// file where it is.
BackupFile WriteBackupFile(const std::wstring& folder, const std::wstring& stem,
                           const std::wstring& content);

}  // namespace varneth
