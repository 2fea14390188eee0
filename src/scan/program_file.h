// Whether a verb's command names a program file that is there. Only what can
// be told for sure counts as missing: anything unclear is taken as there.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <unordered_map>

namespace varneth {

enum class ProgramState {
  kFound,    // the program file is there
  kMissing,  // it is surely not there
  kUnclear,  // it cannot be told: %1 as the program, a relative path, a share, ...
};

struct ProgramJudgement {
  ProgramState state = ProgramState::kUnclear;
  std::wstring file;  // kMissing: the file the command names, as it names it
};

// Judges commands against the file system, each file looked at once.
class ProgramFinder {
 public:
  // The App Paths keys (null when absent), looked in for a bare name.
  // `ownEnvironment` is false when the keys are another user's: their
  // environment strings and PATH are not the process's, and what depends on
  // them is unclear.
  ProgramFinder(HKEY userAppPaths, HKEY machineAppPaths, bool ownEnvironment);

  // The command's program as CreateProcess would take it: environment
  // strings expanded, then the quoted first token, or else the shortest
  // prefix ending before a space that is a file (".exe" added to a name
  // without an extension). A bare name is looked for in the App Paths, the
  // Windows and System folders and PATH. For rundll32, the DLL it is given
  // is judged instead.
  ProgramJudgement Judge(std::wstring_view command);

 private:
  ProgramState Locate(std::wstring_view token, std::wstring_view defaultExtension);
  ProgramState LocateBare(std::wstring_view name, std::wstring_view defaultExtension);
  bool IsFile(const std::wstring& path);
  bool IsFixedDrive(wchar_t letter);
  bool InAppPaths(const std::wstring& name);
  ProgramJudgement JudgeRundll32(std::wstring_view arguments);

  HKEY userAppPaths_;
  HKEY machineAppPaths_;
  bool ownEnvironment_;
  std::wstring folders_[3];  // the Windows folder, System32, the 16-bit System folder
  std::wstring path_;        // PATH as the process has it
  std::unordered_map<std::wstring, bool> files_;
  std::unordered_map<std::wstring, bool> appPaths_;
  std::unordered_map<wchar_t, bool> drives_;
};

// The text with its environment strings expanded; unchanged when that fails.
std::wstring ExpandEnvironment(std::wstring_view text);

}  // namespace varneth
