// The hives of the machine's profiles whose users are not logged on: the
// keys a logged-on user's hive would show, for users the registry does not
// show.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "registry/registry_key.h"

namespace varneth {

// The loading call, RegLoadAppKeyW (bound on first use: Windows before
// Vista lacks it, and it then fails with ERROR_PROC_NOT_FOUND). Tests make it
// fail; nothing else changes it.
LONG WINAPI LoadAppKeyBound(LPCWSTR file, PHKEY key, REGSAM access, DWORD options, DWORD reserved);
struct ProfileHiveCalls {
  LONG(WINAPI* loadAppKey)(LPCWSTR, PHKEY, REGSAM, DWORD, DWORD) = LoadAppKeyBound;
};
void SetProfileHiveCalls(const ProfileHiveCalls& calls);
const ProfileHiveCalls& CurrentProfileHiveCalls();

// One profile of ProfileList whose hive is not loaded below HKEY_USERS.
struct UnloadedProfile {
  std::wstring sid;     // the subkey's name
  std::wstring folder;  // ProfileImagePath, environment strings expanded
  // The roots of <folder>\NTUSER.DAT and of
  // <folder>\AppData\Local\Microsoft\Windows\UsrClass.dat, loaded read-only
  // and private to the process; nothing where the file is absent.
  RegistryKey user;
  RegistryKey classes;
  // A hive file that is there could not be loaded, or the profile's folder
  // could not be read: what the profile uses cannot be told.
  bool unreadable = false;
  LONG error = ERROR_SUCCESS;  // why, when unreadable
};

struct UnloadedProfiles {
  std::vector<UnloadedProfile> profiles;  // in ProfileList's order
  // ProfileList itself could not be opened (other than "not found") or
  // listed: some profile may be missing above.
  bool listUnreadable = false;
  LONG listError = ERROR_SUCCESS;
};

// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList.
inline constexpr wchar_t kProfileListPath[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// Loads the hives of every profile of ProfileList that has no
// HKEY_USERS\<SID> (a logged-on user's, and the service accounts' whose
// hives the system keeps loaded, are read there). A profile without a
// ProfileImagePath, or whose hive files are both absent, gives a record
// with neither key. A loaded hive file stays locked while its key is open:
// the user cannot log on meanwhile, so close them as soon as they are read.
UnloadedProfiles LoadUnloadedProfiles();

}  // namespace varneth
