#include "cleanup/class_use/class_use_places.h"

#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "cleanup/class_use/class_use_values.h"
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
constexpr wchar_t kRegisteredApplications[] = L"Software\\RegisteredApplications";
constexpr std::wstring_view kClassesHiveEnd = L"_Classes";
constexpr size_t kLongestKeyName = 255;

// HKLM\SOFTWARE\Classes, or a user's Software\Classes.
struct ClassStore {
  HKEY root = HKEY_LOCAL_MACHINE;
  std::wstring path = kMachineClasses;
};

// A loaded user: their hive ("<SID>\", empty when only their classes are
// loaded) and the store that is their Software\Classes.
struct LoadedUser {
  std::wstring hive;
  ClassStore classes;
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
  // The machine's store, then each loaded user's.
  std::vector<ClassStore> stores;
  std::unordered_map<std::wstring, UsedClass> used = {};  // by folded name
  EnumBuffers buffers = {};
  std::vector<BYTE> data = std::vector<BYTE>(1024);
};

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
// long it is.
std::vector<std::wstring> NamesInValue(HKEY key, const wchar_t* valueName, Scan& scan) {
  for (;;) {
    DWORD size = static_cast<DWORD>(scan.data.size());
    DWORD type = REG_NONE;
    const LONG status = RegQueryValueExW(key, valueName, nullptr, &type, scan.data.data(), &size);
    if (status == ERROR_MORE_DATA) {
      scan.data.resize(std::max<size_t>(size, scan.data.size() * 2));
      continue;
    }
    if (status != ERROR_SUCCESS) return {};
    return ClassNamesInData(type, scan.data.data(), size);
  }
}

// The same, of the key `path` below `parent`; the view is the parent's, as a
// relative open is redirected like a full one.
std::vector<std::wstring> NamesInValue(HKEY parent, const std::wstring& path,
                                       const wchar_t* valueName, REGSAM view, Scan& scan) {
  RegistryKey key;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE | view, key.Put()) != ERROR_SUCCESS) {
    return {};
  }
  return NamesInValue(key.Get(), valueName, scan);
}

// Calls `each(name, key)` for every subkey of `path` below `root` that
// `wanted(name)` asks for and that opens.
template <typename Wanted, typename Each>
void ForEachSubkey(HKEY root, const std::wstring& path, Scan& scan, Wanted wanted, Each each) {
  RegistryKey parent;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | kRegistryView, parent.Put()) !=
      ERROR_SUCCESS) {
    return;
  }
  std::wstring name;
  for (DWORD index = 0; EnumSubkeyWide(parent.Get(), index, scan.buffers, name) == ERROR_SUCCESS;
       ++index) {
    RegistryKey child;
    if (!wanted(name) || RegOpenKeyExW(parent.Get(), name.c_str(), 0, KEY_READ | kRegistryView,
                                       child.Put()) != ERROR_SUCCESS) {
      continue;
    }
    each(std::wstring(name), child.Get());
  }
}

// Calls `each(name, names)` for every value of the key `path` below `root`
// with the names its data gives.
template <typename Each>
void ForEachValue(HKEY root, const std::wstring& path, REGSAM view, Scan& scan, Each each) {
  RegistryKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.Put()) != ERROR_SUCCESS) {
    return;
  }
  std::vector<std::pair<std::wstring, std::vector<std::wstring>>> values;
  std::wstring name;
  DWORD type = REG_NONE;
  DWORD size = 0;
  for (DWORD index = 0;
       EnumValueWide(key.Get(), index, scan.buffers, name, type, size) == ERROR_SUCCESS; ++index) {
    values.emplace_back(name, ClassNamesInData(type, scan.buffers.data.data(), size));
  }
  // Read first: `each` may list other keys with the same buffers.
  for (const auto& [valueName, names] : values) each(valueName, names);
}

bool IsOtherExtension(const Scan& scan, std::wstring_view name) {
  return !name.empty() && name[0] == L'.' && !SameName(name, scan.ownExtension);
}

// The ".X" keys of a class store: the class each names by its default value
// and the classes of its OpenWithProgids.
void NoteExtensionKeys(Scan& scan, size_t store) {
  const auto other = [&](std::wstring_view name) { return IsOtherExtension(scan, name); };
  const ClassStore where = scan.stores[store];
  ForEachSubkey(where.root, where.path, scan, other, [&](const std::wstring& extension, HKEY key) {
    for (const std::wstring& name : NamesInValue(key, L"", scan))
      Note(scan, name, extension, store);
    ForEachValue(
        key, L"OpenWithProgids", kRegistryView, scan,
        [&](const std::wstring& name, const auto&) { Note(scan, name, extension, store); });
  });
}

// The class a user chose, in UserChoice's value ProgId, and in Windows 11's
// UserChoiceLatest: its value ProgId, or that of its subkey ProgId.
void NoteChoices(Scan& scan, HKEY key, const std::wstring& user, size_t store) {
  for (const std::wstring& name :
       NamesInValue(key, L"UserChoice", L"ProgId", kRegistryView, scan)) {
    Note(scan, name, user, store);
  }
  RegistryKey latest;
  if (RegOpenKeyExW(key, L"UserChoiceLatest", 0, KEY_QUERY_VALUE | kRegistryView, latest.Put()) !=
      ERROR_SUCCESS) {
    return;
  }
  for (const std::wstring& name : NamesInValue(latest.Get(), L"ProgId", scan)) {
    Note(scan, name, user, store);
  }
  for (const std::wstring& name :
       NamesInValue(latest.Get(), L"ProgId", L"ProgId", kRegistryView, scan)) {
    Note(scan, name, user, store);
  }
}

// A user's Explorer records of other extensions and their choices for URL
// protocols.
void NoteUserRecords(Scan& scan, const std::wstring& hive, size_t store) {
  const auto other = [&](std::wstring_view name) { return IsOtherExtension(scan, name); };
  ForEachSubkey(
      HKEY_USERS, hive + kFileExts, scan, other, [&](const std::wstring& extension, HKEY key) {
        ForEachValue(
            key, L"OpenWithProgids", kRegistryView, scan,
            [&](const std::wstring& name, const auto&) { Note(scan, name, extension, store); });
        NoteChoices(scan, key, extension, store);
      });
  const auto any = [](std::wstring_view) { return true; };
  ForEachSubkey(
      HKEY_USERS, hive + kUrlChoices, scan, any,
      [&](const std::wstring& protocol, HKEY key) { NoteChoices(scan, key, protocol, store); });
}

// The associations registered applications declare: each value of
// RegisteredApplications names a Capabilities key (below the same root and
// hive, in the same view) whose FileAssociations and URLAssociations map
// extensions and protocols to classes.
void NoteRegisteredApplications(Scan& scan, HKEY root, REGSAM view, const std::wstring& hive,
                                size_t store) {
  std::vector<std::wstring> capabilities;
  ForEachValue(root, hive + kRegisteredApplications, view, scan,
               [&](const std::wstring&, const std::vector<std::wstring>& paths) {
                 if (!paths.empty()) capabilities.push_back(paths.front());
               });
  for (const std::wstring& path : capabilities) {
    ForEachValue(root, hive + path + L"\\FileAssociations", view, scan,
                 [&](const std::wstring& extension, const std::vector<std::wstring>& names) {
                   const std::wstring shown(UpToFirstNul(extension));
                   if (SameName(shown, scan.ownExtension)) return;
                   for (const std::wstring& name : names) Note(scan, name, shown, store);
                 });
    ForEachValue(root, hive + path + L"\\URLAssociations", view, scan,
                 [&](const std::wstring& protocol, const std::vector<std::wstring>& names) {
                   const std::wstring shown(UpToFirstNul(protocol));
                   for (const std::wstring& name : names) Note(scan, name, shown, store);
                 });
  }
}

// One step through CurVer: the version a used class names as its current one
// (its subkey CurVer's default value, in the machine's store and in that of
// the user whose keys name it) serves the same users.
void NoteCurrentVersions(Scan& scan) {
  std::vector<RegistryKey> stores(scan.stores.size());
  for (size_t i = 0; i < stores.size(); ++i) {
    RegOpenKeyExW(scan.stores[i].root, scan.stores[i].path.c_str(), 0,
                  KEY_QUERY_VALUE | kRegistryView, stores[i].Put());
  }
  for (const auto& [folded, use] : scan.used) {
    const auto through = [&](size_t store) {
      if (stores[store].Get() == nullptr) return;
      for (const std::wstring& name :
           NamesInValue(stores[store].Get(), folded + L"\\CurVer", L"", kRegistryView, scan)) {
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
// ProgID or VersionIndependentProgID (each key's default value).
void NoteComRegistrations(Scan& scan, const ClassStore& where, REGSAM view) {
  RegistryKey classes;
  if (RegOpenKeyExW(where.root, (where.path + L"\\CLSID").c_str(), 0, KEY_ENUMERATE_SUB_KEYS | view,
                    classes.Put()) != ERROR_SUCCESS) {
    return;
  }
  std::wstring clsid;
  for (DWORD index = 0; EnumSubkeyWide(classes.Get(), index, scan.buffers, clsid) == ERROR_SUCCESS;
       ++index) {
    for (const wchar_t* name : {L"\\ProgID", L"\\VersionIndependentProgID"}) {
      for (const std::wstring& progId :
           NamesInValue(classes.Get(), clsid + name, L"", view, scan)) {
        std::wstring folded = FoldName(UpToFirstNul(progId));
        if (IsAsked(scan, folded)) scan.asked.comNamed.insert(std::move(folded));
      }
    }
  }
}

// The hives HKEY_USERS holds (".DEFAULT" and every SID, "<SID>_Classes"
// aside), each with the store that is its Software\Classes: "<SID>_Classes"
// where it is loaded, otherwise the hive's own key.
std::vector<LoadedUser> FindLoadedUsers(Scan& scan) {
  std::vector<std::wstring> names;
  std::wstring name;
  for (DWORD index = 0; EnumSubkeyWide(HKEY_USERS, index, scan.buffers, name) == ERROR_SUCCESS;
       ++index) {
    names.push_back(name);
  }
  const auto isLoaded = [&](const std::wstring& wanted) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::wstring& each) { return SameName(each, wanted); });
  };
  std::vector<LoadedUser> users;
  for (const std::wstring& each : names) {
    const bool isClasses =
        each.size() > kClassesHiveEnd.size() &&
        SameName(std::wstring_view(each).substr(each.size() - kClassesHiveEnd.size()),
                 kClassesHiveEnd);
    if (isClasses) {
      const std::wstring sid = each.substr(0, each.size() - kClassesHiveEnd.size());
      if (!isLoaded(sid)) users.push_back({L"", {HKEY_USERS, each}});
      continue;
    }
    const std::wstring classes = each + std::wstring(kClassesHiveEnd);
    users.push_back(
        {each + L"\\", {HKEY_USERS, isLoaded(classes) ? classes : each + L"\\Software\\Classes"}});
  }
  return users;
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

}  // namespace

void FindClassUsers(std::wstring_view ownExtension, ClassUsers& asked) {
  Scan scan{L"." + std::wstring(ownExtension), asked, {ClassStore{}}};
  const std::vector<LoadedUser> users = FindLoadedUsers(scan);
  for (const LoadedUser& user : users) scan.stores.push_back(user.classes);
  std::vector<REGSAM> views{kRegistryView};
  if (HasTwoRegistryViews()) views.push_back(KEY_WOW64_32KEY);

  NoteExtensionKeys(scan, 0);
  // A 32-bit process sees HKLM\SOFTWARE redirected on 64-bit Windows (the
  // class store itself is shared); applications of both kinds register.
  for (REGSAM view : views) NoteRegisteredApplications(scan, HKEY_LOCAL_MACHINE, view, L"", 0);
  for (size_t i = 0; i < users.size(); ++i) {
    NoteExtensionKeys(scan, i + 1);
    if (users[i].hive.empty()) continue;
    NoteUserRecords(scan, users[i].hive, i + 1);
    NoteRegisteredApplications(scan, HKEY_USERS, kRegistryView, users[i].hive, i + 1);
  }
  if (AnyStillUnused(scan)) NoteCurrentVersions(scan);
  if (!AnyStillUnused(scan)) return;
  for (const ClassStore& store : scan.stores) {
    for (REGSAM view : views) NoteComRegistrations(scan, store, view);
  }
}

}  // namespace varneth
