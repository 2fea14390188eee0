#include "cleanup/class_use/class_use_places.h"

#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <utility>

#include "cleanup/class_use/class_use_values.h"
#include "cleanup/class_use/default_associations.h"
#include "cleanup/class_use/profile_hives.h"
#include "probes/process_token.h"
#include "registry/registry_enum.h"
#include "registry/registry_key.h"
#include "registry/registry_names.h"
#include "runtime/registry_view.h"

namespace varneth {
namespace {

constexpr wchar_t kMachineClasses[] = L"SOFTWARE\\Classes";
constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr wchar_t kUrlChoices[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations";
constexpr wchar_t kMimeChoices[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\MIMEAssociations";
constexpr wchar_t kRegisteredApplications[] = L"Software\\RegisteredApplications";
constexpr wchar_t kAutoplayHandlers[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers";
constexpr wchar_t kSystemAssociations[] = L"SOFTWARE\\Classes\\SystemFileAssociations";
constexpr wchar_t kPackagedProgIds[] = L"SOFTWARE\\Classes\\PackagedCom\\ProgIdIndex\\";
constexpr wchar_t kPackagedComUser[] = L"PackagedCom";
constexpr std::wstring_view kClassesHiveEnd = L"_Classes";
constexpr size_t kLongestKeyName = 255;
// A listing that meets a key deleted meanwhile is made again, this many times
// at most: deleting a key moves the ones after it up one index.
constexpr int kListRounds = 4;

// HKLM\SOFTWARE\Classes, or a user's classes: a root and the path below it
// ("" for a hive's root).
struct ClassStore {
  HKEY root = HKEY_LOCAL_MACHINE;
  std::wstring path = kMachineClasses;
};

// A user: the key their hive's keys lie below (`prefix` ends in a backslash,
// or is empty for a hive's own root; no root when only their classes are
// there), and the index of the store that is their Software\Classes.
struct UserHive {
  HKEY root = nullptr;
  std::wstring prefix;
  std::vector<REGSAM> views;
  size_t store = 0;
};

// A class some place names: the first user found, and the stores (0 the
// machine's) whose view of the class that place reads.
struct UsedClass {
  std::wstring user;
  std::vector<size_t> stores;
};

struct Scan {
  std::wstring ownExtension;
  ClassUsers& asked;
  // The machine's store, then each user's.
  std::vector<ClassStore> stores = {ClassStore{}};
  // How a root that is no predefined key (a profile's hive file) is named.
  std::map<HKEY, std::wstring> rootNames = {};
  std::unordered_map<std::wstring, UsedClass> used = {};  // by folded name
  EnumBuffers buffers = {};
  std::vector<BYTE> data = std::vector<BYTE>(1024);
};

ClassUseOpenCall g_open = RegOpenKeyExW;

bool IsNotFound(LONG status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

std::wstring Below(const std::wstring& path, std::wstring_view name) {
  return path.empty() ? std::wstring(name) : path + L"\\" + std::wstring(name);
}

void NoteUnreadablePlace(ClassUsers& asked, std::wstring place) {
  for (const std::wstring& known : asked.unreadable) {
    if (SameName(known, place)) return;
  }
  asked.unreadable.push_back(std::move(place));
}

// A read of `path` below `root` failed other than with "not found": what it
// would have named cannot be told.
void NoteUnreadable(Scan& scan, HKEY root, const std::wstring& path) {
  const auto named = scan.rootNames.find(root);
  std::wstring place = named != scan.rootNames.end() ? named->second : RootNameW(root);
  NoteUnreadablePlace(scan.asked, Below(place, path));
}

// Opens `path` below `root`; true when it opened.
bool OpenPlace(Scan& scan, HKEY root, const std::wstring& path, REGSAM access, RegistryKey& key) {
  const LONG status = g_open(root, path.c_str(), 0, access, key.Put());
  if (status == ERROR_SUCCESS) return true;
  if (!IsNotFound(status)) NoteUnreadable(scan, root, path);
  return false;
}

bool IsAsked(const Scan& scan, const std::wstring& folded) {
  return scan.asked.users.count(folded) != 0;
}

bool AnyStillUnused(const Scan& scan) {
  for (const auto& [name, users] : scan.asked.users) {
    if (users.empty() && scan.asked.comNamed.count(name) == 0) return true;
  }
  return false;
}

void NoteAskedUser(Scan& scan, const std::wstring& folded, const std::wstring& user) {
  const auto found = scan.asked.users.find(folded);
  if (found == scan.asked.users.end()) return;
  for (const std::wstring& known : found->second) {
    if (SameName(known, user)) return;
  }
  found->second.push_back(user);
}

// A class name as the shell reads it, named by `user` through `store`.
void Note(Scan& scan, std::wstring_view className, const std::wstring& user, size_t store) {
  const std::wstring_view name = UpToFirstNul(className);
  if (name.empty() || name.size() > kLongestKeyName) return;
  std::wstring folded = FoldName(name);
  NoteAskedUser(scan, folded, user);
  UsedClass& use = scan.used[std::move(folded)];
  if (use.user.empty()) use.user = user;
  if (std::find(use.stores.begin(), use.stores.end(), store) == use.stores.end()) {
    use.stores.push_back(store);
  }
}

// The names the value gives (the default value for L""), read whole however
// long it is; `shown` names the key in a reason.
std::vector<std::wstring> NamesInValue(HKEY key, const wchar_t* valueName, Scan& scan,
                                       HKEY root, const std::wstring& shown) {
  for (;;) {
    DWORD size = static_cast<DWORD>(scan.data.size());
    DWORD type = REG_NONE;
    const LONG status = RegQueryValueExW(key, valueName, nullptr, &type, scan.data.data(), &size);
    if (status == ERROR_MORE_DATA) {
      scan.data.resize(std::max<size_t>(size, scan.data.size() * 2));
      continue;
    }
    if (status == ERROR_SUCCESS) return ClassNamesInData(type, scan.data.data(), size);
    if (!IsNotFound(status)) NoteUnreadable(scan, root, shown);
    return {};
  }
}

// The same, of the key `path` below `parent` (the key is `shown` below
// `root`); the view is the parent's, as a relative open is redirected like a
// full one.
std::vector<std::wstring> NamesInValue(HKEY parent, const std::wstring& path,
                                       const wchar_t* valueName, REGSAM view, Scan& scan,
                                       HKEY root, const std::wstring& shown) {
  RegistryKey key;
  const LONG status =
      g_open(parent, path.c_str(), 0, KEY_QUERY_VALUE | view, key.Put());
  if (status != ERROR_SUCCESS) {
    if (!IsNotFound(status)) NoteUnreadable(scan, root, shown);
    return {};
  }
  return NamesInValue(key.Get(), valueName, scan, root, shown);
}

bool LastWritten(HKEY key, FILETIME& time) {
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, &time) == ERROR_SUCCESS;
}

// Calls `each(name)` for every subkey of the open key (`path` below `root`).
// Deleting a key moves the ones after it up one index, so a listing that
// meets a key deleted meanwhile (`each` gives false) or that sees the key's
// list change (its last write time, which adding or deleting a subkey sets)
// is made again from its start.
template <typename Each>
void ListSubkeys(Scan& scan, HKEY parent, HKEY root, const std::wstring& path, Each each) {
  std::wstring name;
  for (int round = 0; round < kListRounds; ++round) {
    FILETIME before{};
    FILETIME after{};
    if (!LastWritten(parent, before)) return NoteUnreadable(scan, root, path);
    bool deleted = false;
    for (DWORD index = 0; !deleted; ++index) {
      const LONG listed = EnumSubkeyWide(parent, index, scan.buffers, name);
      if (listed == ERROR_NO_MORE_ITEMS) break;
      if (listed != ERROR_SUCCESS) return NoteUnreadable(scan, root, path);
      deleted = !each(std::wstring(name));
    }
    if (!LastWritten(parent, after)) return NoteUnreadable(scan, root, path);
    if (!deleted && CompareFileTime(&before, &after) == 0) return;
  }
  NoteUnreadable(scan, root, path);
}

// Calls `each(name, key, shown)` for every subkey of `path` below `root` that
// `wanted(name)` asks for and that opens.
template <typename Wanted, typename Each>
void ForEachSubkey(HKEY root, const std::wstring& path, REGSAM view, Scan& scan, Wanted wanted,
                   Each each) {
  RegistryKey parent;
  if (!OpenPlace(scan, root, path, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view, parent)) {
    return;
  }
  ListSubkeys(scan, parent.Get(), root, path, [&](const std::wstring& name) {
    if (!wanted(name)) return true;
    RegistryKey child;
    const LONG opened =
        g_open(parent.Get(), name.c_str(), 0, KEY_READ | view, child.Put());
    if (IsNotFound(opened) || opened == ERROR_KEY_DELETED) return false;
    const std::wstring shown = Below(path, name);
    if (opened != ERROR_SUCCESS) {
      NoteUnreadable(scan, root, shown);
    } else {
      each(name, child.Get(), shown);
    }
    return true;
  });
}

// Calls `each(name, names)` for every value of the key `path` below `root`
// with the names its data gives.
template <typename Each>
void ForEachValue(HKEY root, const std::wstring& path, REGSAM view, Scan& scan, Each each) {
  RegistryKey key;
  if (!OpenPlace(scan, root, path, KEY_QUERY_VALUE | view, key)) return;
  std::vector<std::pair<std::wstring, std::vector<std::wstring>>> values;
  std::wstring name;
  DWORD type = REG_NONE;
  DWORD size = 0;
  for (DWORD index = 0;; ++index) {
    const LONG status = EnumValueWide(key.Get(), index, scan.buffers, name, type, size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) {
      NoteUnreadable(scan, root, path);
      break;
    }
    values.emplace_back(name, ClassNamesInData(type, scan.buffers.data.data(), size));
  }
  // Read first: `each` may list other keys with the same buffers.
  for (const auto& [valueName, names] : values) each(valueName, names);
}

bool IsOtherExtension(const Scan& scan, std::wstring_view name) {
  return !name.empty() && name[0] == L'.' && !SameName(name, scan.ownExtension);
}

// The default value and the OpenWithProgids of an extension's key (or of a
// SystemFileAssociations key), `shown` below `root`.
void NoteAssociationKey(Scan& scan, HKEY key, HKEY root, const std::wstring& shown,
                        const std::wstring& user, size_t store) {
  for (const std::wstring& name : NamesInValue(key, L"", scan, root, shown))
    Note(scan, name, user, store);
  ForEachValue(root, shown + L"\\OpenWithProgids", kRegistryView, scan,
               [&](const std::wstring& name, const auto&) { Note(scan, name, user, store); });
}

// The ".X" keys of a class store.
void NoteExtensionKeys(Scan& scan, size_t store) {
  const auto other = [&](std::wstring_view name) { return IsOtherExtension(scan, name); };
  const ClassStore where = scan.stores[store];
  ForEachSubkey(where.root, where.path, kRegistryView, scan, other,
                [&](const std::wstring& extension, HKEY key, const std::wstring& shown) {
                  NoteAssociationKey(scan, key, where.root, shown, extension, store);
                });
}

// The classes SystemFileAssociations gives an extension or a perceived type
// ("text", "image") of every file.
void NoteSystemAssociations(Scan& scan) {
  const auto notOwn = [&](std::wstring_view name) { return !SameName(name, scan.ownExtension); };
  ForEachSubkey(HKEY_LOCAL_MACHINE, kSystemAssociations, kRegistryView, scan, notOwn,
                [&](const std::wstring& name, HKEY key, const std::wstring& shown) {
                  NoteAssociationKey(scan, key, HKEY_LOCAL_MACHINE, shown, name, 0);
                });
}

// The class a user chose, in UserChoice's value ProgId, and in Windows 11's
// UserChoiceLatest: its value ProgId, or that of its subkey ProgId.
void NoteChoices(Scan& scan, HKEY key, HKEY root, const std::wstring& shown,
                 const std::wstring& user, size_t store) {
  for (const std::wstring& name :
       NamesInValue(key, L"UserChoice", L"ProgId", kRegistryView, scan, root,
                    shown + L"\\UserChoice")) {
    Note(scan, name, user, store);
  }
  RegistryKey latest;
  const std::wstring latestShown = shown + L"\\UserChoiceLatest";
  if (!OpenPlace(scan, root, latestShown, KEY_QUERY_VALUE | kRegistryView, latest)) return;
  for (const std::wstring& name : NamesInValue(latest.Get(), L"ProgId", scan, root, latestShown)) {
    Note(scan, name, user, store);
  }
  for (const std::wstring& name : NamesInValue(latest.Get(), L"ProgId", L"ProgId", kRegistryView,
                                               scan, root, latestShown + L"\\ProgId")) {
    Note(scan, name, user, store);
  }
}

// A user's Explorer records of other extensions and their choices for URL
// protocols and MIME types.
void NoteUserRecords(Scan& scan, const UserHive& user) {
  const auto other = [&](std::wstring_view name) { return IsOtherExtension(scan, name); };
  ForEachSubkey(user.root, user.prefix + kFileExts, kRegistryView, scan, other,
                [&](const std::wstring& extension, HKEY key, const std::wstring& shown) {
                  ForEachValue(user.root, shown + L"\\OpenWithProgids", kRegistryView, scan,
                               [&](const std::wstring& name, const auto&) {
                                 Note(scan, name, extension, user.store);
                               });
                  NoteChoices(scan, key, user.root, shown, extension, user.store);
                });
  const auto any = [](std::wstring_view) { return true; };
  for (const wchar_t* choices : {kUrlChoices, kMimeChoices}) {
    ForEachSubkey(user.root, user.prefix + choices, kRegistryView, scan, any,
                  [&](const std::wstring& type, HKEY key, const std::wstring& shown) {
                    NoteChoices(scan, key, user.root, shown, type, user.store);
                  });
  }
}

// The associations registered applications declare: each value of
// RegisteredApplications names a Capabilities key (below the same root and
// prefix, in the same view) whose FileAssociations, URLAssociations and
// MIMEAssociations map extensions, protocols and MIME types to classes.
void NoteRegisteredApplications(Scan& scan, HKEY root, REGSAM view, const std::wstring& prefix,
                                size_t store) {
  std::vector<std::wstring> capabilities;
  ForEachValue(root, prefix + kRegisteredApplications, view, scan,
               [&](const std::wstring&, const std::vector<std::wstring>& paths) {
                 if (!paths.empty()) capabilities.push_back(paths.front());
               });
  for (const std::wstring& path : capabilities) {
    for (const wchar_t* kind : {L"\\FileAssociations", L"\\URLAssociations",
                                L"\\MIMEAssociations"}) {
      ForEachValue(root, prefix + path + kind, view, scan,
                   [&](const std::wstring& user, const std::vector<std::wstring>& names) {
                     const std::wstring shown(UpToFirstNul(user));
                     if (SameName(shown, scan.ownExtension)) return;
                     for (const std::wstring& name : names) Note(scan, name, shown, store);
                   });
    }
  }
}

// The class each AutoPlay handler starts (its value InvokeProgID).
void NoteAutoplayHandlers(Scan& scan, HKEY root, REGSAM view, const std::wstring& prefix,
                          size_t store) {
  const auto any = [](std::wstring_view) { return true; };
  ForEachSubkey(root, prefix + kAutoplayHandlers, view, scan, any,
                [&](const std::wstring& handler, HKEY key, const std::wstring& shown) {
                  for (const std::wstring& name : NamesInValue(key, L"InvokeProgID", scan, root,
                                                               shown)) {
                    Note(scan, name, handler, store);
                  }
                });
}

// Packaged apps' COM finds a class by name below ProgIdIndex: one look per
// name asked about.
void NotePackagedCom(Scan& scan) {
  std::vector<std::wstring> names;
  for (const auto& [name, users] : scan.asked.users) names.push_back(name);
  for (const std::wstring& name : names) {
    RegistryKey key;
    if (OpenPlace(scan, HKEY_LOCAL_MACHINE, kPackagedProgIds + name,
                  KEY_QUERY_VALUE | kRegistryView, key)) {
      Note(scan, name, kPackagedComUser, 0);
    }
  }
}

// The classes the default-associations files give extensions and protocols.
void NoteDefaultAssociations(Scan& scan) {
  DefaultAssociations files = ReadDefaultAssociations();
  for (const DefaultAssociation& association : files.associations) {
    if (SameName(association.identifier, scan.ownExtension)) continue;
    Note(scan, association.progId, association.identifier, 0);
  }
  for (std::wstring& file : files.unreadable) NoteUnreadablePlace(scan.asked, std::move(file));
}

// One step through CurVer: the version a used class names as its current one
// (its subkey CurVer's default value, in the machine's store and in that of
// the user whose keys name it) serves the same users.
void NoteCurrentVersions(Scan& scan) {
  std::vector<RegistryKey> stores(scan.stores.size());
  for (size_t i = 0; i < stores.size(); ++i) {
    OpenPlace(scan, scan.stores[i].root, scan.stores[i].path, KEY_QUERY_VALUE | kRegistryView,
              stores[i]);
  }
  for (const auto& [folded, use] : scan.used) {
    const auto through = [&](size_t store) {
      if (stores[store].Get() == nullptr) return;
      for (const std::wstring& name :
           NamesInValue(stores[store].Get(), folded + L"\\CurVer", L"", kRegistryView, scan,
                        scan.stores[store].root,
                        Below(scan.stores[store].path, folded + L"\\CurVer"))) {
        const std::wstring version = FoldName(UpToFirstNul(name));
        if (version != folded) NoteAskedUser(scan, version, use.user);
      }
    };
    through(0);
    for (size_t store : use.stores) {
      if (store != 0) through(store);
    }
  }
}

// COM finds a class by name through the CLSID\{...} that names it as its
// ProgID or VersionIndependentProgID (each key's default value). Each is
// read by its path below CLSID: no key of its own is opened for a CLSID.
void NoteComRegistrations(Scan& scan, const ClassStore& where, REGSAM view) {
  RegistryKey classes;
  const std::wstring path = Below(where.path, L"CLSID");
  if (!OpenPlace(scan, where.root, path, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view,
                 classes)) {
    return;
  }
  ListSubkeys(scan, classes.Get(), where.root, path, [&](const std::wstring& clsid) {
    for (const wchar_t* name : {L"\\ProgID", L"\\VersionIndependentProgID"}) {
      const std::wstring key = clsid + name;
      for (const std::wstring& progId :
           NamesInValue(classes.Get(), key, L"", view, scan, where.root, path + L"\\" + key)) {
        std::wstring folded = FoldName(UpToFirstNul(progId));
        if (IsAsked(scan, folded)) scan.asked.comNamed.insert(std::move(folded));
      }
    }
    return true;
  });
}

// A 32-bit process on 64-bit Windows has a second view of the machine's
// keys; 32-bit Windows has one.
bool HasTwoRegistryViews() {
#ifdef _WIN64
  return true;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

// The hives HKEY_USERS holds (".DEFAULT" and every SID, "<SID>_Classes"
// aside), each with the store that is its Software\Classes: "<SID>_Classes"
// where it is loaded, otherwise the hive's own key.
void AddLoadedUsers(Scan& scan, const std::vector<REGSAM>& views, std::vector<UserHive>& users) {
  std::vector<std::wstring> names;
  std::wstring name;
  for (DWORD index = 0;; ++index) {
    const LONG status = EnumSubkeyWide(HKEY_USERS, index, scan.buffers, name);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) {
      NoteUnreadable(scan, HKEY_USERS, L"");
      break;
    }
    names.push_back(name);
  }
  const auto isLoaded = [&](const std::wstring& wanted) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::wstring& each) { return SameName(each, wanted); });
  };
  for (const std::wstring& each : names) {
    const bool isClasses =
        each.size() > kClassesHiveEnd.size() &&
        SameName(std::wstring_view(each).substr(each.size() - kClassesHiveEnd.size()),
                 kClassesHiveEnd);
    UserHive user{HKEY_USERS, each + L"\\", views, scan.stores.size()};
    if (isClasses) {
      const std::wstring sid = each.substr(0, each.size() - kClassesHiveEnd.size());
      if (isLoaded(sid)) continue;
      user.root = nullptr;
      scan.stores.push_back({HKEY_USERS, each});
    } else {
      const std::wstring classes = each + std::wstring(kClassesHiveEnd);
      scan.stores.push_back(
          {HKEY_USERS, isLoaded(classes) ? classes : each + L"\\Software\\Classes"});
    }
    users.push_back(std::move(user));
  }
}

// The profiles whose hives are not loaded, read from their files (loaded
// read-only and private to the process); each profile that cannot be read
// is named by its folder.
void AddUnloadedUsers(Scan& scan, UnloadedProfiles& unloaded, std::vector<UserHive>& users) {
  if (unloaded.listUnreadable) {
    NoteUnreadablePlace(scan.asked, std::wstring(L"HKEY_LOCAL_MACHINE\\") + kProfileListPath);
  }
  for (UnloadedProfile& profile : unloaded.profiles) {
    if (profile.unreadable) {
      NoteUnreadablePlace(scan.asked, profile.folder.empty() ? profile.sid : profile.folder);
      continue;
    }
    if (profile.user.Get() == nullptr && profile.classes.Get() == nullptr) continue;
    if (profile.user.Get() != nullptr) {
      scan.rootNames[profile.user.Get()] = profile.folder + L"\\NTUSER.DAT";
    }
    if (profile.classes.Get() != nullptr) {
      scan.rootNames[profile.classes.Get()] =
          profile.folder + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";
      scan.stores.push_back({profile.classes.Get(), L""});
    } else {
      scan.stores.push_back({profile.user.Get(), L"Software\\Classes"});
    }
    users.push_back({profile.user.Get(), L"", {kRegistryView}, scan.stores.size() - 1});
  }
}

}  // namespace

void SetClassUseOpenCall(ClassUseOpenCall open) { g_open = open != nullptr ? open : RegOpenKeyExW; }

std::unordered_set<std::wstring> FindMachineTies(std::wstring_view extension) {
  ClassUsers ignored;
  Scan scan{L"." + std::wstring(extension), ignored};
  std::unordered_set<std::wstring> ties;
  const auto tie = [&](std::wstring_view name) {
    const std::wstring_view cut = UpToFirstNul(name);
    if (!cut.empty()) ties.insert(FoldName(cut));
  };
  const std::wstring key = Below(kMachineClasses, scan.ownExtension);
  RegistryKey own;
  if (OpenPlace(scan, HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE | kRegistryView, own)) {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    // Only a string is a class name; a REG_MULTI_SZ's later strings are not
    // read by the shell.
    if (QueryValueWide(own.Get(), L"", type, data) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
      for (const std::wstring& name : ClassNamesInData(type, data.data(), data.size())) tie(name);
    }
  }
  ForEachValue(HKEY_LOCAL_MACHINE, key + L"\\OpenWithProgids", kRegistryView, scan,
               [&](const std::wstring& name, const auto&) { tie(name); });
  std::vector<REGSAM> views{kRegistryView};
  if (HasTwoRegistryViews()) views.push_back(KEY_WOW64_32KEY);
  for (REGSAM view : views) {
    std::vector<std::wstring> capabilities;
    ForEachValue(HKEY_LOCAL_MACHINE, kRegisteredApplications, view, scan,
                 [&](const std::wstring&, const std::vector<std::wstring>& paths) {
                   if (!paths.empty()) capabilities.push_back(paths.front());
                 });
    for (const std::wstring& path : capabilities) {
      ForEachValue(HKEY_LOCAL_MACHINE, path + L"\\FileAssociations", view, scan,
                   [&](const std::wstring& name, const std::vector<std::wstring>& names) {
                     if (!SameName(UpToFirstNul(name), scan.ownExtension)) return;
                     for (const std::wstring& each : names) tie(each);
                   });
    }
  }
  return ties;
}

void FindClassUsers(std::wstring_view ownExtension, ClassUsers& asked) {
  Scan scan{L"." + std::wstring(ownExtension), asked};
  std::vector<REGSAM> views{kRegistryView};
  if (HasTwoRegistryViews()) views.push_back(KEY_WOW64_32KEY);
  std::vector<UserHive> users;
  AddLoadedUsers(scan, views, users);
  // Only an elevated process may load other users' hive files, and only it
  // deletes the machine's classes.
  UnloadedProfiles unloaded;
  if (IsProcessElevated()) unloaded = LoadUnloadedProfiles();
  AddUnloadedUsers(scan, unloaded, users);

  NoteExtensionKeys(scan, 0);
  NoteSystemAssociations(scan);
  // A 32-bit process sees HKLM\SOFTWARE redirected on 64-bit Windows (the
  // class store itself is shared); applications of both kinds register.
  for (REGSAM view : views) {
    NoteRegisteredApplications(scan, HKEY_LOCAL_MACHINE, view, L"", 0);
    NoteAutoplayHandlers(scan, HKEY_LOCAL_MACHINE, view, L"", 0);
  }
  NotePackagedCom(scan);
  NoteDefaultAssociations(scan);
  for (const UserHive& user : users) {
    NoteExtensionKeys(scan, user.store);
    if (user.root == nullptr) continue;
    NoteUserRecords(scan, user);
    for (REGSAM view : user.views) {
      NoteRegisteredApplications(scan, user.root, view, user.prefix, user.store);
    }
    NoteAutoplayHandlers(scan, user.root, kRegistryView, user.prefix, user.store);
  }
  if (AnyStillUnused(scan)) NoteCurrentVersions(scan);
  if (!AnyStillUnused(scan)) return;
  for (size_t i = 0; i < scan.stores.size(); ++i) {
    // A hive file's keys have one view.
    const bool predefined = scan.stores[i].root == HKEY_LOCAL_MACHINE ||
                            scan.stores[i].root == HKEY_USERS;
    for (REGSAM view : views) {
      if (predefined || view == kRegistryView) NoteComRegistrations(scan, scan.stores[i], view);
    }
  }
}

}  // namespace varneth
