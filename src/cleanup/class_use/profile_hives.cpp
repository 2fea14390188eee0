#include "cleanup/class_use/profile_hives.h"

#include <algorithm>
#include <cstring>

#include "probes/environment_strings.h"
#include "probes/system_binding.h"
#include "registry/registry_enum.h"
#include "registry/registry_open.h"

namespace varneth {
namespace {

ProfileHiveCalls g_calls;

// A listing that meets a profile removed meanwhile is made again, this many
// times at most, since removing a key shifts the indexes after it.
constexpr int kListRounds = 4;

bool IsNotFound(LONG status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

// The names of ProfileList's subkeys; the listing's status when it stopped
// for another reason than its end.
LONG ListProfiles(HKEY list, std::vector<std::wstring>& names) {
  names.clear();
  EnumBuffers buffers;
  std::wstring name;
  for (DWORD index = 0;; ++index) {
    const LONG status = EnumSubkeyWide(list, index, buffers, name);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    names.push_back(name);
  }
}

// The profile's folder from ProfileImagePath: a REG_EXPAND_SZ has its
// environment strings expanded, as the system's profile service does.
LONG ProfileFolder(HKEY profile, std::wstring& folder) {
  std::vector<BYTE> data;
  DWORD type = REG_NONE;
  const LONG status = QueryValueWide(profile, L"ProfileImagePath", type, data);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  std::wstring path(data.size() / sizeof(wchar_t), L'\0');
  if (!path.empty()) std::memcpy(path.data(), data.data(), path.size() * sizeof(wchar_t));
  path.resize(std::wcslen(path.c_str()));
  if (type == REG_EXPAND_SZ) {
    std::wstring expanded;
    if (const LONG error = ExpandEnvironmentText(path, expanded); error != ERROR_SUCCESS) {
      return error;
    }
    path = expanded;
  }
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  // An empty path would name the current drive's root.
  if (path.empty()) return ERROR_FILE_NOT_FOUND;
  folder = path;
  return ERROR_SUCCESS;
}

// Loads the hive file into `key`; an absent file leaves it empty. The
// platform makes a new empty hive where the file is missing, so the file is
// looked for first.
LONG LoadHiveFile(const std::wstring& file, RegistryKey& key) {
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const LONG error = static_cast<LONG>(GetLastError());
    return IsNotFound(error) ? ERROR_SUCCESS : error;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ERROR_BAD_FORMAT;
  HKEY loaded = nullptr;
  const LONG status = g_calls.loadAppKey(file.c_str(), &loaded, KEY_READ, REG_PROCESS_APPKEY, 0);
  if (status != ERROR_SUCCESS) return status;
  *key.Put() = loaded;
  // A loading that gives no readable root (Wine's answers success with a
  // handle that names no key) reads as unreadable, not as an empty hive.
  return RegQueryInfoKeyW(loaded, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr);
}

// The record of the profile `sid`, or false when it names no profile to read
// here: its hive is loaded, or it went away while listed (`vanished`).
bool ReadProfile(HKEY list, const std::wstring& sid, UnloadedProfile& profile, bool& vanished) {
  RegistryKey loaded;
  const LONG loadedStatus = OpenKeyW(HKEY_USERS, sid.c_str(), 0, KEY_QUERY_VALUE, loaded);
  // Any answer but "not found" means a hive below HKEY_USERS, read there.
  if (!IsNotFound(loadedStatus)) return false;
  profile.sid = sid;
  RegistryKey entry;
  LONG status = OpenKeyW(list, sid.c_str(), 0, KEY_QUERY_VALUE, entry);
  if (IsNotFound(status)) {
    vanished = true;
    return false;
  }
  if (status == ERROR_SUCCESS) status = ProfileFolder(entry.Get(), profile.folder);
  // No folder named: no hive to read.
  if (IsNotFound(status)) return true;
  if (status == ERROR_SUCCESS) {
    status = LoadHiveFile(profile.folder + L"\\NTUSER.DAT", profile.user);
  }
  if (status == ERROR_SUCCESS) {
    status = LoadHiveFile(profile.folder + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
                          profile.classes);
  }
  if (status != ERROR_SUCCESS) {
    profile.user.Close();
    profile.classes.Close();
    profile.unreadable = true;
    profile.error = status;
  }
  return true;
}

}  // namespace

LONG WINAPI LoadAppKeyBound(LPCWSTR file, PHKEY key, REGSAM access, DWORD options, DWORD reserved) {
  using Function = LONG(WINAPI*)(LPCWSTR, PHKEY, REGSAM, DWORD, DWORD);
  static const auto function = reinterpret_cast<Function>(
      reinterpret_cast<void*>(FindOptionalFunction("advapi32", "RegLoadAppKeyW")));
  if (function == nullptr) return ERROR_PROC_NOT_FOUND;
  return function(file, key, access, options, reserved);
}

void SetProfileHiveCalls(const ProfileHiveCalls& calls) { g_calls = calls; }
const ProfileHiveCalls& CurrentProfileHiveCalls() { return g_calls; }

UnloadedProfiles LoadUnloadedProfiles() {
  UnloadedProfiles result;
  RegistryKey list;
  LONG status = OpenKeyW(HKEY_LOCAL_MACHINE, kProfileListPath, 0, KEY_READ, list);
  if (IsNotFound(status)) return result;
  std::vector<std::wstring> seen;
  std::vector<std::wstring> names;
  bool vanished = true;
  for (int round = 0; status == ERROR_SUCCESS && vanished; ++round) {
    if (round == kListRounds) {
      status = ERROR_KEY_DELETED;
      break;
    }
    vanished = false;
    status = ListProfiles(list.Get(), names);
    for (const std::wstring& sid : names) {
      if (std::find(seen.begin(), seen.end(), sid) != seen.end()) continue;
      seen.push_back(sid);
      UnloadedProfile profile;
      if (ReadProfile(list.Get(), sid, profile, vanished)) {
        result.profiles.push_back(std::move(profile));
      }
    }
  }
  if (status != ERROR_SUCCESS) {
    result.listUnreadable = true;
    result.listError = status;
  }
  return result;
}

}  // namespace varneth
