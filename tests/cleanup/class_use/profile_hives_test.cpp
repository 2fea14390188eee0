#include "cleanup/class_use/profile_hives.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "probes/process_token.h"
#include "runtime/wide_text.h"
#include "scratch_registry.h"

namespace varneth {
namespace {

using namespace testing_support;
namespace fs = std::filesystem;

const std::wstring kUserFile = L"\\NTUSER.DAT";
const std::wstring kClassesFile = L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";

// Wine's RegLoadAppKeyW loads nothing (it answers success with a handle that
// names no key); this stand-in loads the file the way Wine can, below
// HKEY_USERS, and opens it as asked. A file named in g_locked fails as a
// hive in use would.
struct LoadCall {
  REGSAM access;
  DWORD options;
};
std::vector<LoadCall> g_loads;
std::vector<std::wstring> g_hives;
std::wstring g_locked;
LONG WINAPI LoadBelowUsers(LPCWSTR file, PHKEY key, REGSAM access, DWORD options, DWORD) {
  g_loads.push_back({access, options});
  if (file == g_locked) return ERROR_SHARING_VIOLATION;
  // A loading that fails may leave its name behind: a new name each time.
  g_hives.push_back(L"VarnethTestHive" + std::to_wstring(g_loads.size()));
  const EnabledPrivilege restore(L"SeRestorePrivilege");
  const LONG status = RegLoadKeyW(HKEY_USERS, g_hives.back().c_str(), file);
  if (status != ERROR_SUCCESS) return status;
  return RegOpenKeyExW(HKEY_USERS, g_hives.back().c_str(), 0, access, key);
}

// Scratch profiles: ProfileList entries S-1-5-21-1-2-3-424N whose folders lie
// in a temporary folder, all removed before and after.
class ProfileHivesTest : public ScratchKeyTest {
 protected:
  void SetUp() override {
    ScratchKeyTest::SetUp();
    Clean();
  }
  void TearDown() override {
    SetProfileHiveCalls(ProfileHiveCalls{});
    const EnabledPrivilege restore(L"SeRestorePrivilege");
    for (const std::wstring& name : g_hives) RegUnLoadKeyW(HKEY_USERS, name.c_str());
    g_hives.clear();
    Clean();
    ScratchKeyTest::TearDown();
  }
  void Clean() {
    for (int n = 0; n < 5; ++n) RegDeleteTreeW(HKEY_LOCAL_MACHINE, Entry(n).c_str());
    std::error_code ignored;
    fs::remove_all(home_, ignored);
  }
  static std::wstring Sid(int n) { return L"S-1-5-21-1-2-3-424" + std::to_wstring(n); }
  static std::wstring Entry(int n) { return kProfileListPath + (L"\\" + Sid(n)); }
  std::wstring Folder(int n) const { return (home_ / std::to_wstring(n)).wstring(); }

  void AddProfile(int n, DWORD type, const std::wstring& path) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, Entry(n).c_str(), L"ProfileImagePath", type,
                              path.c_str(), static_cast<DWORD>((path.size() + 1) * 2)),
              ERROR_SUCCESS);
  }
  // A hive file holding one key, `mark`, saved from a scratch key; an empty
  // mark writes a file that is no hive.
  void SaveHive(const std::wstring& file, const std::string& mark) {
    fs::create_directories(fs::path(file).parent_path());
    if (mark.empty()) std::ofstream(fs::path(file), std::ios::binary) << "not a hive";
    if (mark.empty()) return;
    AddKey(HKEY_CURRENT_USER, At(mark) + "\\" + mark);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, At(mark).c_str(), 0, KEY_READ, &key), 0);
    const EnabledPrivilege backup(L"SeBackupPrivilege");
    EXPECT_EQ(RegSaveKeyW(key, file.c_str(), nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static const UnloadedProfile* Find(const UnloadedProfiles& found, int n) {
    for (const UnloadedProfile& profile : found.profiles) {
      if (profile.sid == Sid(n)) return &profile;
    }
    return nullptr;
  }

  const fs::path home_ = fs::temp_directory_path() / L"VarnethProfiles";
};

bool HasSubkey(HKEY key, const std::string& name) {
  HKEY sub;
  if (key == nullptr || RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &sub) != 0) return false;
  RegCloseKey(sub);
  return true;
}

TEST_F(ProfileHivesTest, ReadsTheSavedHivesOfProfilesThatAreNotLoggedOn) {
  // Each profile's hive files (empty: a file that is no hive; none: absent).
  const struct {
    const char* user;
    const char* classes;
    bool unreadable;
  } cases[] = {
      {"User0", "Classes0", false},  // its path has an environment string to expand
      {"User1", nullptr, false},     // the classes hive is absent
      {"", nullptr, true},           // the user's file is no hive
      {nullptr, nullptr, false},     // the folder is gone
      {"User4", "Classes4", true},   // the classes hive is in use
  };
  SetEnvironmentVariableW(L"VARNETH_TEST_HOME", home_.c_str());
  AddProfile(0, REG_EXPAND_SZ, L"%VARNETH_TEST_HOME%\\0\\");
  for (int n = 0; n < 5; ++n) {
    if (n > 0) AddProfile(n, REG_SZ, Folder(n));
    if (cases[n].user) SaveHive(Folder(n) + kUserFile, cases[n].user);
    if (cases[n].classes) SaveHive(Folder(n) + kClassesFile, cases[n].classes);
  }
  g_locked = Folder(4) + kClassesFile;
  g_loads.clear();
  SetProfileHiveCalls(ProfileHiveCalls{LoadBelowUsers});
  const UnloadedProfiles found = LoadUnloadedProfiles();

  EXPECT_FALSE(found.listUnreadable);
  for (int n = 0; n < 5; ++n) {
    const auto& c = cases[n];
    const UnloadedProfile* profile = Find(found, n);
    ASSERT_NE(profile, nullptr) << n;
    EXPECT_EQ(profile->folder, Folder(n));
    EXPECT_EQ(profile->unreadable, c.unreadable) << n;
    EXPECT_EQ(profile->error != ERROR_SUCCESS, c.unreadable) << n;
    // An unreadable profile holds no half of its hives.
    const bool user = c.user && *c.user && !c.unreadable;
    EXPECT_EQ(HasSubkey(profile->user.Get(), user ? c.user : "User0"), user) << n;
    EXPECT_EQ(profile->user.Get() != nullptr, user) << n;
    const bool classes = c.classes && !c.unreadable;
    EXPECT_EQ(HasSubkey(profile->classes.Get(), classes ? c.classes : "Classes0"), classes) << n;
    EXPECT_EQ(profile->classes.Get() != nullptr, classes) << n;
  }
  EXPECT_FALSE(HasSubkey(Find(found, 0)->user.Get(), "Classes0"));
  EXPECT_EQ(Find(found, 4)->error, ERROR_SHARING_VIOLATION);
  for (const LoadCall& call : g_loads) {
    EXPECT_EQ(call.access, static_cast<REGSAM>(KEY_READ));
    EXPECT_EQ(call.options, static_cast<DWORD>(REG_PROCESS_APPKEY));
  }
  // The logged-on user's hive is read below HKEY_USERS.
  for (const UnloadedProfile& profile : found.profiles) {
    EXPECT_NE(profile.sid, WidenText(GetProcessUserSidText()));
  }
}

// The platform's own loading: a saved hive shows its keys, or the profile is
// unreadable (Wine), never read as a hive without them; and no hive file is
// made where there was none.
TEST_F(ProfileHivesTest, ThePlatformsLoadingShowsTheHiveOrIsUnreadable) {
  AddProfile(0, REG_SZ, Folder(0));
  SaveHive(Folder(0) + kUserFile, "User0");
  const UnloadedProfiles found = LoadUnloadedProfiles();
  const UnloadedProfile* profile = Find(found, 0);
  ASSERT_NE(profile, nullptr);
  EXPECT_NE(profile->unreadable, HasSubkey(profile->user.Get(), "User0"));
  EXPECT_EQ(profile->unreadable, profile->error != ERROR_SUCCESS);
  EXPECT_FALSE(fs::exists(Folder(0) + kClassesFile));
}

}  // namespace
}  // namespace varneth
