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

const std::wstring kClassesFile = L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";

// Scratch profiles: ProfileList entries S-1-5-21-1-2-3-424N whose folders lie
// in a temporary folder, all removed before and after.
class ProfileHivesTest : public ScratchKeyTest {
 protected:
  void SetUp() override {
    ScratchKeyTest::SetUp();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    home_ = fs::path(temp) / L"VarnethProfiles";
    home_ += std::to_wstring(GetCurrentProcessId());
    Clean();
  }
  void TearDown() override {
    SetProfileHiveCalls(ProfileHiveCalls{});
    Clean();
    ScratchKeyTest::TearDown();
  }
  void Clean() {
    for (int n = 0; n < 5; ++n) RemoveTree(HKEY_LOCAL_MACHINE, Entry(n));
    std::error_code ignored;
    fs::remove_all(home_, ignored);
  }
  static std::string Sid(int n) {
    return std::string("S-1-5-21-1-2-3-424").append(1, char('0' + n));
  }
  static std::string Entry(int n) {
    return std::string(NarrowText(kProfileListPath).Bytes()).append("\\").append(Sid(n));
  }
  std::wstring Folder(int n) const {
    return (home_ / std::wstring(1, wchar_t(L'0' + n))).wstring();
  }

  void AddProfile(int n, DWORD type, const std::wstring& path) {
    AddKey(HKEY_LOCAL_MACHINE, Entry(n));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Entry(n).c_str(), 0, KEY_SET_VALUE, &key), 0);
    RegSetValueExW(key, L"ProfileImagePath", 0, type, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  static void WriteFile(const std::wstring& file, const std::string& bytes) {
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(fs::path(file), std::ios::binary) << bytes;
  }
  // A hive file holding one key, `mark`, saved from a scratch key.
  void SaveHive(const std::wstring& file, const std::string& mark) {
    const std::string source = At(mark);
    AddKey(HKEY_CURRENT_USER, source + "\\" + mark);
    fs::create_directories(fs::path(file).parent_path());
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, source.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    const EnabledPrivilege backup(L"SeBackupPrivilege");
    const LONG status = RegSaveKeyW(key, file.c_str(), nullptr);
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
  }
  static const UnloadedProfile* Find(const UnloadedProfiles& found, int n) {
    for (const UnloadedProfile& profile : found.profiles) {
      if (profile.sid == WidenText(Sid(n).c_str())) return &profile;
    }
    return nullptr;
  }

  fs::path home_;
};

bool HasSubkey(HKEY key, const char* name) {
  HKEY sub;
  if (key == nullptr || RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) return false;
  RegCloseKey(sub);
  return true;
}

// Wine's RegLoadAppKeyW loads nothing (it answers success with a handle
// that names no key); this stand-in loads the file the way Wine can, below
// HKEY_USERS, and opens it as asked.
std::vector<std::wstring> g_hives;
LONG WINAPI LoadBelowUsers(LPCWSTR file, PHKEY key, REGSAM access, DWORD, DWORD) {
  const std::wstring name = L"VarnethTestHive" + std::to_wstring(g_hives.size());
  LONG status;
  {
    const EnabledPrivilege restore(L"SeRestorePrivilege");
    status = RegLoadKeyW(HKEY_USERS, name.c_str(), file);
  }
  if (status != ERROR_SUCCESS) return status;
  g_hives.push_back(name);
  return RegOpenKeyExW(HKEY_USERS, name.c_str(), 0, access, key);
}
void UnloadHives() {
  const EnabledPrivilege restore(L"SeRestorePrivilege");
  for (const std::wstring& name : g_hives) RegUnLoadKeyW(HKEY_USERS, name.c_str());
  g_hives.clear();
}

TEST_F(ProfileHivesTest, ReadsTheSavedHivesOfProfilesThatAreNotLoggedOn) {
  SetEnvironmentVariableW(L"VARNETH_TEST_HOME", home_.c_str());
  // 0: both hives, its path to be expanded; 1: no classes hive; 2: a file
  // that is no hive; 3: a folder that is gone.
  AddProfile(0, REG_EXPAND_SZ, L"%VARNETH_TEST_HOME%\\0\\");
  SaveHive(Folder(0) + L"\\NTUSER.DAT", "UserMark");
  SaveHive(Folder(0) + kClassesFile, "ClassMark");
  AddProfile(1, REG_SZ, Folder(1));
  SaveHive(Folder(1) + L"\\NTUSER.DAT", "OnlyUser");
  AddProfile(2, REG_SZ, Folder(2));
  WriteFile(Folder(2) + L"\\NTUSER.DAT", "not a hive");
  AddProfile(3, REG_SZ, Folder(3));
  SetProfileHiveCalls(ProfileHiveCalls{LoadBelowUsers});
  struct Unload {
    ~Unload() { UnloadHives(); }
  } unload;
  const UnloadedProfiles found = LoadUnloadedProfiles();
  EXPECT_FALSE(found.listUnreadable);
  const UnloadedProfile* both = Find(found, 0);
  ASSERT_NE(both, nullptr);
  EXPECT_EQ(both->folder, Folder(0));
  EXPECT_FALSE(both->unreadable);
  EXPECT_TRUE(HasSubkey(both->user.Get(), "UserMark"));
  EXPECT_TRUE(HasSubkey(both->classes.Get(), "ClassMark"));
  EXPECT_FALSE(HasSubkey(both->user.Get(), "ClassMark"));

  const UnloadedProfile* userOnly = Find(found, 1);
  ASSERT_NE(userOnly, nullptr);
  EXPECT_FALSE(userOnly->unreadable);
  EXPECT_TRUE(HasSubkey(userOnly->user.Get(), "OnlyUser"));
  EXPECT_EQ(userOnly->classes.Get(), nullptr);

  const UnloadedProfile* broken = Find(found, 2);
  ASSERT_NE(broken, nullptr);
  EXPECT_TRUE(broken->unreadable);
  EXPECT_NE(broken->error, ERROR_SUCCESS);
  EXPECT_EQ(broken->user.Get(), nullptr);

  const UnloadedProfile* gone = Find(found, 3);
  ASSERT_NE(gone, nullptr);
  EXPECT_FALSE(gone->unreadable);
  EXPECT_EQ(gone->user.Get(), nullptr);
  EXPECT_EQ(gone->classes.Get(), nullptr);

  // The logged-on user's hive is read below HKEY_USERS.
  for (const UnloadedProfile& profile : found.profiles) {
    EXPECT_NE(profile.sid, WidenText(GetProcessUserSidText()));
  }
}

// The platform's own loading: a saved hive shows its keys, or the profile is
// unreadable (Wine), never read as a hive without them.
TEST_F(ProfileHivesTest, ThePlatformsLoadingShowsTheHiveOrIsUnreadable) {
  AddProfile(0, REG_SZ, Folder(0));
  SaveHive(Folder(0) + L"\\NTUSER.DAT", "UserMark");
  const UnloadedProfiles found = LoadUnloadedProfiles();
  const UnloadedProfile* profile = Find(found, 0);
  ASSERT_NE(profile, nullptr);
  EXPECT_NE(profile->unreadable, HasSubkey(profile->user.Get(), "UserMark"));
  EXPECT_EQ(profile->unreadable, profile->error != ERROR_SUCCESS);
  // The classes hive was absent and stays so.
  EXPECT_FALSE(fs::exists(Folder(0) + kClassesFile));
}

// What the loading call was asked, and what it answers for each file name
// (by its ending): ERROR_SUCCESS gives a key of the scratch root.
struct LoadCall {
  std::wstring file;
  REGSAM access;
  DWORD options;
};
std::vector<LoadCall> g_loads;
LONG g_userAnswer = ERROR_SUCCESS;
LONG g_classesAnswer = ERROR_SUCCESS;
std::string g_scratch;

LONG WINAPI FakeLoad(LPCWSTR file, PHKEY key, REGSAM access, DWORD options, DWORD) {
  g_loads.push_back({file, access, options});
  const bool user = std::wstring(file).ends_with(L"\\NTUSER.DAT");
  const LONG answer = user ? g_userAnswer : g_classesAnswer;
  if (answer != ERROR_SUCCESS) return answer;
  return RegOpenKeyExA(HKEY_CURRENT_USER, g_scratch.c_str(), 0, KEY_READ, key);
}

TEST_F(ProfileHivesTest, AHiveThatFailsToLoadMakesItsProfileUnreadable) {
  const struct {
    LONG user, classes;
    bool unreadable;
    size_t loads;
  } cases[] = {
      {ERROR_SUCCESS, ERROR_SUCCESS, false, 2},
      {ERROR_ACCESS_DENIED, ERROR_SUCCESS, true, 1},
      {ERROR_SUCCESS, ERROR_SHARING_VIOLATION, true, 2},
      // Not found is an answer of the loading too, and still no absent file.
      {ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, true, 2},
  };
  AddProfile(4, REG_SZ, Folder(4));
  WriteFile(Folder(4) + L"\\NTUSER.DAT", "");
  WriteFile(Folder(4) + kClassesFile, "");
  g_scratch = scratch_;
  SetProfileHiveCalls(ProfileHiveCalls{FakeLoad});
  for (const auto& c : cases) {
    g_loads.clear();
    g_userAnswer = c.user;
    g_classesAnswer = c.classes;
    const UnloadedProfiles found = LoadUnloadedProfiles();
    const UnloadedProfile* profile = Find(found, 4);
    ASSERT_NE(profile, nullptr);
    const LONG failed = c.user != ERROR_SUCCESS ? c.user : c.classes;
    EXPECT_EQ(profile->unreadable, c.unreadable) << failed;
    EXPECT_EQ(profile->error, failed);
    // An unreadable profile holds no half of its hives.
    EXPECT_EQ(profile->user.Get() != nullptr, !c.unreadable) << failed;
    EXPECT_EQ(profile->classes.Get() != nullptr, !c.unreadable) << failed;
    // Other profiles of the machine may be loaded too: only this one's calls.
    std::vector<LoadCall> own;
    for (const LoadCall& call : g_loads) {
      if (call.file.starts_with(Folder(4))) own.push_back(call);
    }
    ASSERT_EQ(own.size(), c.loads) << failed;
    EXPECT_EQ(own[0].file, Folder(4) + L"\\NTUSER.DAT");
    if (c.loads == 2) {
      EXPECT_EQ(own[1].file, Folder(4) + kClassesFile);
    }
    for (const LoadCall& call : own) {
      EXPECT_EQ(call.access, static_cast<REGSAM>(KEY_READ));
      EXPECT_EQ(call.options, static_cast<DWORD>(REG_PROCESS_APPKEY));
    }
  }
}

}  // namespace
}  // namespace varneth
