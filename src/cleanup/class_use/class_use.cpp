#include "cleanup/class_use/class_use.h"

#include <utility>

#include "cleanup/class_use/class_use_places.h"
#include "cleanup/class_use/class_use_values.h"
#include "cleanup/paths/plan_paths.h"
#include "registry/registry_key.h"
#include "registry/registry_names.h"
#include "runtime/registry_view.h"

namespace varneth {
namespace {

// Keys of the class store itself (COM registration and licensing, packaged
// apps' classes, MIME types, the video-for-Windows file handlers that
// avifil32 reads, ...) and the classes through which the shell extends every
// file, folder or drive (HKEY_CLASSES_ROOT as the platform documents it).
// clang-format off
constexpr const wchar_t* kSystemClasses[] = {
    L"*", L"ActivatableClasses", L"AllFilesystemObjects", L"AppID", L"Applications", L"AudioCD",
    L"AVIFile", L"CLSID", L"Component Categories", L"DesktopBackground", L"Directory",
    L"DirectShow", L"Drive", L"DVD", L"Extensions", L"FileType", L"Folder", L"Installer",
    L"Interface", L"LibraryFolder", L"Licenses", L"Local Settings", L"Media Type",
    L"MediaFoundation", L"MIME", L"NetServer", L"NetShare", L"Network", L"PackagedCom",
    L"Printers", L"PROTOCOLS", L"Record", L"SystemFileAssociations", L"TypeLib", L"Unknown",
    L"Wow6432Node", L"WowAA32Node", L"AllSyncRootObjects", L"DeviceDisplayObject",
};
// The shell's Start menu reads classes of this prefix by name.
constexpr std::wstring_view kLauncherPrefix = L"Launcher.";
// clang-format on

// The classes of what starts programs when opened: programs, command
// scripts, script host files, installer packages, shortcuts, registry files.
// clang-format off
constexpr const wchar_t* kProgramClasses[] = {
    L"batfile", L"cmdfile", L"comfile", L"cplfile", L"exefile", L"htafile", L"inffile", L"JSEFile",
    L"JSFile", L"lnkfile", L"mscfile", L"Msi.Package", L"Msi.Patch", L"piffile", L"regfile",
    L"scrfile", L"VBEFile", L"VBSFile", L"WSFFile", L"WSHFile", L"Microsoft.PowerShellScript.1",
    L"SHCmdFile", L"Application.Reference", L"SettingContent",
};
// clang-format on

bool IsListed(std::wstring_view name, const auto& list) {
  for (const wchar_t* entry : list) {
    if (SameName(name, entry)) return true;
  }
  return false;
}

bool HasValue(HKEY key, const wchar_t* name) {
  return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool HasSubkey(HKEY key, const wchar_t* name) {
  RegistryKey subkey;
  return RegOpenKeyExW(key, name, 0, KEY_QUERY_VALUE | kRegistryView, subkey.Put()) ==
         ERROR_SUCCESS;
}

// One machine class as it is now: whether its key is there (one that may
// not be opened counts as there), and why the key alone keeps it: a URL
// protocol's key ("URL Protocol" value), or a COM class's name (a CLSID
// subkey, or the CurVer that names its current version, as a subkey or a
// value).
struct ClassKeyState {
  bool exists = false;
  std::optional<KeepReason> reason;
};

ClassKeyState LookAtClassKey(const std::wstring& name) {
  RegistryKey key;
  const std::wstring path = MachineClassPath(name);
  const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                                    KEY_QUERY_VALUE | kRegistryView, key.Put());
  ClassKeyState state;
  state.exists = opened == ERROR_SUCCESS || opened == ERROR_ACCESS_DENIED;
  if (opened != ERROR_SUCCESS) return state;
  if (HasValue(key.Get(), L"URL Protocol")) {
    state.reason = KeepReason::kUrlProtocol;
  } else if (HasSubkey(key.Get(), L"CLSID") || HasSubkey(key.Get(), L"CurVer") ||
             HasValue(key.Get(), L"CurVer")) {
    state.reason = KeepReason::kComClass;
  }
  return state;
}

// The first kUsersShown of `users`, and whether there were more.
void ShowUsers(KeptClass& kept, std::vector<std::wstring> users) {
  kept.moreUsers = users.size() > kUsersShown;
  if (kept.moreUsers) users.resize(kUsersShown);
  kept.users = std::move(users);
}

struct Verdict {
  std::wstring name;
  std::optional<KeepReason> reason;
  bool exists = false;
};

}  // namespace

std::optional<KeepReason> KeepReasonOfName(std::wstring_view name) {
  if (!name.empty() && name[0] == L'.') return KeepReason::kExtensionKey;
  // No class name holds a separator: "exefile\" and "CLSID\{...}" name keys
  // that the rules below would keep whole, reached through another name.
  if (name.find(L'\\') != std::wstring_view::npos) return KeepReason::kNotAClassName;
  // Judged whole, as counted: "txtfile\0x" reaches "txtfile" through every
  // call that takes a C string.
  if (HoldsControlCharacter(name)) return KeepReason::kControlCharacter;
  if (IsListed(name, kSystemClasses)) return KeepReason::kSystemClass;
  if (name.size() >= kLauncherPrefix.size() &&
      SameName(name.substr(0, kLauncherPrefix.size()), kLauncherPrefix)) {
    return KeepReason::kSystemClass;
  }
  if (IsListed(name, kProgramClasses)) return KeepReason::kProgramClass;
  return std::nullopt;
}

ClassUse JudgeClassUse(const std::vector<std::wstring>& classNames, std::wstring_view extension) {
  std::vector<Verdict> verdicts;
  std::unordered_set<std::wstring> seen;
  ClassUsers asked;  // the names only the registry can judge
  for (const std::wstring& name : classNames) {
    if (!seen.insert(FoldName(name)).second) continue;
    Verdict& verdict = verdicts.emplace_back(Verdict{name, KeepReasonOfName(name), false});
    // A name holding a NUL names no key the platform's calls can reach.
    if (name.find(L'\0') != std::wstring::npos) continue;
    const ClassKeyState state = LookAtClassKey(name);
    verdict.exists = state.exists;
    if (!verdict.reason) verdict.reason = state.reason;
  }
  // A class that is not there deletes nothing: no need to ask who uses it.
  // One that is, the machine must tie to the extension; the ties are read
  // only when there is such a class.
  std::unordered_set<std::wstring> ties;
  bool tiesRead = false;
  const std::wstring autoClass = FoldName(std::wstring(extension) + L"_auto_file");
  for (Verdict& verdict : verdicts) {
    if (verdict.reason || !verdict.exists) continue;
    if (!tiesRead) ties = FindMachineTies(extension);
    tiesRead = true;
    std::wstring folded = FoldName(verdict.name);
    if (folded != autoClass && ties.count(folded) == 0) {
      verdict.reason = KeepReason::kNotTied;
    } else {
      asked.users.emplace(std::move(folded), std::vector<std::wstring>());
    }
  }
  if (!asked.users.empty()) FindClassUsers(extension, asked);

  ClassUse use;
  for (Verdict& verdict : verdicts) {
    KeptClass kept{verdict.name, verdict.reason.value_or(KeepReason::kUsedElsewhere), {}, false};
    if (!verdict.reason) {
      const std::wstring folded = FoldName(verdict.name);
      const auto found = asked.users.find(folded);
      const bool unused = found != asked.users.end() && found->second.empty();
      if (unused && asked.comNamed.count(folded) != 0) {
        kept.reason = KeepReason::kComClass;
      } else if (unused && !asked.unreadable.empty()) {
        // What could not be read may use it.
        kept.reason = KeepReason::kUnreadable;
        ShowUsers(kept, asked.unreadable);
      } else if (found == asked.users.end() || unused) {
        use.ownFolded.insert(folded);
        use.own.push_back(std::move(verdict.name));
        continue;
      } else {
        ShowUsers(kept, std::move(found->second));
      }
    }
    // One that is not there is named nowhere: there is nothing to keep.
    if (verdict.exists) use.kept.push_back(std::move(kept));
  }
  return use;
}

bool IsOwnClass(const ClassUse& use, std::wstring_view name) {
  return use.ownFolded.count(FoldName(name)) != 0;
}

std::wstring MachineClassFullPath(std::wstring_view name) {
  return L"HKEY_LOCAL_MACHINE\\" + MachineClassPath(name);
}

}  // namespace varneth
