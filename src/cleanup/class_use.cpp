#include "cleanup/class_use.h"

#include <unordered_map>
#include <utility>

#include "cleanup/registry/registry_key.h"
#include "cleanup/registry/registry_names.h"
#include "runtime/registry_view.h"

namespace varneth {
namespace {

constexpr wchar_t kMachineClasses[] = L"SOFTWARE\\Classes";
constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr wchar_t kUrlChoices[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations";
constexpr wchar_t kRegisteredApplications[] = L"Software\\RegisteredApplications";

// Keys of the class store itself (COM registration, MIME types, ...) and the
// classes through which the shell extends every file, folder or drive
// (HKEY_CLASSES_ROOT as the platform documents it).
// clang-format off
constexpr const wchar_t* kSystemClasses[] = {
    L"*", L"AllFilesystemObjects", L"AppID", L"Applications", L"AudioCD", L"CLSID",
    L"Component Categories", L"DesktopBackground", L"Directory", L"DirectShow", L"Drive", L"DVD",
    L"FileType", L"Folder", L"Installer", L"Interface", L"LibraryFolder", L"Local Settings",
    L"Media Type", L"MediaFoundation", L"MIME", L"NetServer", L"NetShare", L"Network", L"Printers",
    L"PROTOCOLS", L"Record", L"SystemFileAssociations", L"TypeLib", L"Unknown", L"Wow6432Node",
};
// clang-format on

// The classes of what starts programs when opened: programs, command
// scripts, script host files, installer packages, shortcuts, registry files.
// clang-format off
constexpr const wchar_t* kProgramClasses[] = {
    L"batfile", L"cmdfile", L"comfile", L"cplfile", L"exefile", L"htafile", L"inffile", L"JSEFile",
    L"JSFile", L"lnkfile", L"mscfile", L"Msi.Package", L"Msi.Patch", L"piffile", L"regfile",
    L"scrfile", L"VBEFile", L"VBSFile", L"WSFFile", L"WSHFile", L"Microsoft.PowerShellScript.1",
};
// clang-format on

bool IsListed(std::wstring_view name, const auto& list) {
  for (const wchar_t* entry : list) {
    if (SameName(name, entry)) return true;
  }
  return false;
}

// Who uses each candidate class: folded class name -> users found.
using UsersByClass = std::unordered_map<std::wstring, std::vector<std::wstring>>;

void NoteUser(UsersByClass& users, std::wstring_view className, const std::wstring& user) {
  const auto found = users.find(FoldName(className));
  if (found == users.end()) return;
  for (const std::wstring& known : found->second) {
    if (SameName(known, user)) return;
  }
  found->second.push_back(user);
}

// A string value; a class name is a key name, at most 255 characters, so a
// longer one names no class and is not read.
bool ReadName(HKEY key, const wchar_t* valueName, std::wstring& text) {
  wchar_t buffer[260];
  DWORD size = sizeof buffer;
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  text.assign(buffer, size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return !text.empty();
}

// Calls `each(name, data)` for every value of the key below `parent`, seen
// in the registry view `view`; a value's data is read as a name (empty when
// it is none).
template <typename Each>
void ForEachValue(HKEY parent, REGSAM view, const std::wstring& path, Each each) {
  RegistryKey key;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE | view, key.Put()) != ERROR_SUCCESS) {
    return;
  }
  std::vector<wchar_t> name(16384);  // the registry's longest value name, and its end
  wchar_t data[260];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    const LONG status = RegEnumValueW(key.Get(), index, name.data(), &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &size);
    if (status == ERROR_NO_MORE_ITEMS) return;
    std::wstring text;
    if (status == ERROR_MORE_DATA) {
      // Data too long to be a name: the value's name alone.
      nameLength = static_cast<DWORD>(name.size());
      if (RegEnumValueW(key.Get(), index, name.data(), &nameLength, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS) {
        continue;
      }
    } else if (status != ERROR_SUCCESS) {
      return;
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
      text.assign(data, size / sizeof(wchar_t));
      while (!text.empty() && text.back() == L'\0') text.pop_back();
    }
    each(std::wstring_view(name.data(), nameLength), text);
  }
}

// Calls `each(name, key)` for every subkey of `path` below `root` that
// `wanted(name)` asks for and that opens.
template <typename Wanted, typename Each>
void ForEachSubkey(HKEY root, const std::wstring& path, Wanted wanted, Each each) {
  RegistryKey parent;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | kRegistryView, parent.Put()) !=
      ERROR_SUCCESS)
    return;
  wchar_t name[256];  // a key name has at most 255 characters
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    const LONG status =
        RegEnumKeyExW(parent.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return;
    if (status != ERROR_SUCCESS || !wanted(std::wstring_view(name, length))) continue;
    RegistryKey child;
    if (RegOpenKeyExW(parent.Get(), name, 0, KEY_READ | kRegistryView, child.Put()) !=
        ERROR_SUCCESS)
      continue;
    each(std::wstring(name, length), child.Get());
  }
}

// The ".X" keys below `path`, but the extension's own: what each names in
// its OpenWithProgids, and by its default value (a class key) or its
// UserChoice (the user's Explorer record).
void NoteExtensionKeys(HKEY root, const std::wstring& path, const std::wstring& ownExtension,
                       bool isClassStore, UsersByClass& users) {
  const auto isOtherExtension = [&](std::wstring_view name) {
    return !name.empty() && name[0] == L'.' && !SameName(name, ownExtension);
  };
  ForEachSubkey(root, path, isOtherExtension, [&](const std::wstring& extension, HKEY key) {
    std::wstring className;
    if (isClassStore && ReadName(key, nullptr, className)) NoteUser(users, className, extension);
    ForEachValue(
        key, kRegistryView, L"OpenWithProgids",
        [&](std::wstring_view name, const std::wstring&) { NoteUser(users, name, extension); });
    RegistryKey choice;
    if (!isClassStore &&
        RegOpenKeyExW(key, L"UserChoice", 0, KEY_QUERY_VALUE | kRegistryView, choice.Put()) ==
            ERROR_SUCCESS &&
        ReadName(choice.Get(), L"ProgId", className)) {
      NoteUser(users, className, extension);
    }
  });
}

// The user's choice of class for each URL protocol.
void NoteProtocolChoices(const UserRoots& user, UsersByClass& users) {
  const auto any = [](std::wstring_view) { return true; };
  ForEachSubkey(
      user.root, user.hive + kUrlChoices, any, [&](const std::wstring& protocol, HKEY key) {
        RegistryKey choice;
        std::wstring className;
        if (RegOpenKeyExW(key, L"UserChoice", 0, KEY_QUERY_VALUE | kRegistryView, choice.Put()) ==
                ERROR_SUCCESS &&
            ReadName(choice.Get(), L"ProgId", className)) {
          NoteUser(users, className, protocol);
        }
      });
}

// The associations registered applications declare: each value of
// RegisteredApplications names a Capabilities key (below the same root, in
// the same view) whose FileAssociations and URLAssociations map extensions
// and protocols to classes.
void NoteRegisteredApplications(HKEY root, REGSAM view, const std::wstring& hive,
                                const std::wstring& ownExtension, UsersByClass& users) {
  ForEachValue(root, view, hive + kRegisteredApplications,
               [&](std::wstring_view, const std::wstring& path) {
                 if (path.empty()) return;
                 ForEachValue(root, view, hive + path + L"\\FileAssociations",
                              [&](std::wstring_view extension, const std::wstring& className) {
                                if (!SameName(extension, ownExtension)) {
                                  NoteUser(users, className, std::wstring(extension));
                                }
                              });
                 ForEachValue(root, view, hive + path + L"\\URLAssociations",
                              [&](std::wstring_view protocol, const std::wstring& className) {
                                NoteUser(users, className, std::wstring(protocol));
                              });
               });
}

// One machine class as it is now: whether its key is there (one that may
// not be opened counts as there) and whether it is a URL protocol's key.
struct ClassKeyState {
  bool exists = false;
  bool urlProtocol = false;
};

ClassKeyState LookAtClassKey(const std::wstring& name) {
  RegistryKey key;
  const std::wstring path = MachineClassPath(name);
  const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                                    KEY_QUERY_VALUE | kRegistryView, key.Put());
  ClassKeyState state;
  state.exists = opened == ERROR_SUCCESS || opened == ERROR_ACCESS_DENIED;
  state.urlProtocol =
      opened == ERROR_SUCCESS && RegQueryValueExW(key.Get(), L"URL Protocol", nullptr, nullptr,
                                                  nullptr, nullptr) == ERROR_SUCCESS;
  return state;
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
  if (IsListed(name, kSystemClasses)) return KeepReason::kSystemClass;
  if (IsListed(name, kProgramClasses)) return KeepReason::kProgramClass;
  return std::nullopt;
}

UserRoots UserRootsOf(const WideKeyNames& names) {
  UserRoots user;
  if (names.currentUser) return user;
  user.root = HKEY_USERS;
  user.hive = names.sid + L"\\";
  user.classes = names.sid + L"_Classes";
  return user;
}

ClassUse JudgeClassUse(const std::vector<std::wstring>& classNames, std::wstring_view extension,
                       const UserRoots& user) {
  const std::wstring ownExtension = L"." + std::wstring(extension);
  std::vector<Verdict> verdicts;
  std::unordered_set<std::wstring> seen;
  UsersByClass users;  // the names only the registry can judge
  for (const std::wstring& name : classNames) {
    if (!seen.insert(FoldName(name)).second) continue;
    Verdict& verdict = verdicts.emplace_back(Verdict{name, KeepReasonOfName(name), false});
    const ClassKeyState state = LookAtClassKey(name);
    verdict.exists = state.exists;
    if (!verdict.reason && state.urlProtocol) verdict.reason = KeepReason::kUrlProtocol;
    // A class that is not there deletes nothing: no need to ask who uses it.
    if (!verdict.reason && state.exists) users.emplace(FoldName(name), std::vector<std::wstring>());
  }
  if (!users.empty()) {
    NoteExtensionKeys(HKEY_LOCAL_MACHINE, kMachineClasses, ownExtension, true, users);
    NoteExtensionKeys(user.root, user.classes, ownExtension, true, users);
    NoteExtensionKeys(user.root, user.hive + kFileExts, ownExtension, false, users);
    NoteProtocolChoices(user, users);
    // A 32-bit process sees HKLM\SOFTWARE redirected on 64-bit Windows (the
    // class store itself is shared); applications of both kinds register.
    NoteRegisteredApplications(HKEY_LOCAL_MACHINE, kRegistryView, L"", ownExtension, users);
    NoteRegisteredApplications(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"", ownExtension, users);
    NoteRegisteredApplications(user.root, 0, user.hive, ownExtension, users);
  }

  ClassUse use;
  for (Verdict& verdict : verdicts) {
    KeptClass kept{verdict.name, verdict.reason.value_or(KeepReason::kUsedElsewhere), {}, false};
    if (!verdict.reason) {
      const auto found = users.find(FoldName(verdict.name));
      if (found == users.end() || found->second.empty()) {
        use.ownFolded.insert(FoldName(verdict.name));
        use.own.push_back(std::move(verdict.name));
        continue;
      }
      std::vector<std::wstring>& names = found->second;
      kept.moreUsers = names.size() > kUsersShown;
      if (kept.moreUsers) names.resize(kUsersShown);
      kept.users = std::move(names);
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
