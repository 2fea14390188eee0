// The read-only judgement of what the shell opens each extension with, and
// whether that is broken. Every key is opened for reading and as itself;
// nothing is written, deleted or announced.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "scan/class_place.h"
#include "scan/program_file.h"

namespace varneth {

enum class ScanVerdict {
  kSound,           // nothing found broken, or nothing that can be told for sure
  kMissingClass,    // the choice names a class neither store has
  kNoVerb,          // the class has no verb that starts anything
  kMissingProgram,  // the default verb's command names a program file that is not there
  kStaleList,       // the user's OpenWithProgids names only classes that exist nowhere
  kBehindLink,      // a registry link stands where the judgement would read on
};

struct ScanFinding {
  ScanVerdict verdict = ScanVerdict::kSound;
  std::wstring className;  // the class judged (for a stale list, its first name)
  std::wstring detail;     // kMissingProgram: the file; kBehindLink: the link's full path
};

// Every store a scan reads, opened for reading and held for the whole scan.
struct ScanStores {
  StoreKey fileExts;  // the user's ...\Explorer\FileExts
  ClassStores classes;
  StoreKey userAppPaths;
  StoreKey machineAppPaths;
  bool ownEnvironment = true;  // the keys are the process's user's
};

class AssociationScan {
 public:
  // Reads the names of each store's top-level keys, one pass each.
  explicit AssociationScan(ScanStores stores);

  // Every extension that the user's FileExts, the user's classes or the
  // machine's classes has a key for, without its dot, as first met; in the
  // order of their folded names, each once.
  std::vector<std::wstring> Extensions() const;

  // The judgement of one extension (no dot). Classes are judged once,
  // however many extensions name them.
  ScanFinding Judge(std::wstring_view extension);

  // The links that stand at a store's top key: nothing below them is read.
  std::vector<std::wstring> StoreLinks() const;

 private:
  struct ClassJudgement {
    ScanVerdict verdict = ScanVerdict::kSound;
    std::wstring detail;
  };
  const ClassJudgement& JudgeClass(const std::wstring& name);
  ClassJudgement JudgeVerbs(const ClassPlace& classPlace);
  ClassJudgement NoVerbJudgement(const ClassPlace& classPlace);

  ScanStores stores_;
  std::vector<std::wstring> userExtensions_;  // FileExts' ".E" names
  std::unordered_set<std::wstring> userExtensionNames_;  // the same, folded
  std::unordered_map<std::wstring, ClassJudgement> classes_;
  std::unique_ptr<ProgramFinder> programs_;
};

}  // namespace varneth
