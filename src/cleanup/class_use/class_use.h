// Which machine-wide classes named by the user's list are this extension's
// alone. The list is the user's own key, which any program running as the
// user can write, so a name in it proves nothing: a class is deleted only
// when the machine's own records tie it to the extension and nothing else of
// the machine uses it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>


namespace varneth {

enum class KeepReason {
  kExtensionKey,   // ".X": an extension's key, not a class
  kSystemClass,    // a key of the class store itself or a class of the shell
  kProgramClass,   // the class that starts programs, scripts or shortcuts
  kUrlProtocol,    // the key of a URL protocol ("URL Protocol" value)
  kUsedElsewhere,  // another extension or a protocol names it
  kNotAClassName,  // holds a backslash: it names a key below some other key
  kComClass,       // COM finds a class by this name (CLSID, CurVer, a CLSID's ProgID)
  kControlCharacter,  // holds a NUL or another control character: no class name does
  kNotTied,        // only keys the user may write tie it to the extension
  kUnreadable,     // a place that may use it could not be read
};

// A class that stays whole: neither backed up nor deleted.
struct KeptClass {
  std::wstring name;  // as the user's list holds it
  KeepReason reason = KeepReason::kSystemClass;
  // kUsedElsewhere: the first extensions (".jpeg") or protocols ("http")
  // found to use it; kUnreadable: the first places that could not be read;
  // at most kUsersShown, moreUsers when there were others.
  std::vector<std::wstring> users;
  bool moreUsers = false;
};

inline constexpr size_t kUsersShown = 3;

struct ClassUse {
  std::vector<std::wstring> own;  // the extension's own classes, in list order
  std::vector<KeptClass> kept;    // kept classes whose key exists, in list order
  std::unordered_set<std::wstring> ownFolded;
};

// Why a class name is kept whatever the registry holds, judged on the name
// alone and without regard to letter case; nullopt when only the registry
// can tell.
std::optional<KeepReason> KeepReasonOfName(std::wstring_view name);

// Judges the user's class names for the extension (no dot; dots already
// removed). A name not judged by itself or by its class key is the
// extension's only when the machine ties it to the extension (E_auto_file,
// or FindMachineTies); a tied one is looked up in one pass over every place
// of every user and of the machine that can name a class, whatever the
// length of the list (FindClassUsers). A list without tied names costs no
// pass.
ClassUse JudgeClassUse(const std::vector<std::wstring>& classNames, std::wstring_view extension);

// True when the name (as the user's list holds it, or its ANSI form widened)
// is one of the extension's own classes; false for a kept one and for a name
// that was not judged.
bool IsOwnClass(const ClassUse& use, std::wstring_view name);

// The full path HKEY_LOCAL_MACHINE\SOFTWARE\Classes\<name>.
std::wstring MachineClassFullPath(std::wstring_view name);

}  // namespace varneth
