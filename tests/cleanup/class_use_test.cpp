#include "cleanup/class_use.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "cleanup/scratch_registry.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

using namespace testing_support;

TEST(KeepReasonOfName, KnowsExtensionKeysSystemClassesAndProgramClassesInAnyCase) {
  const struct {
    const wchar_t* name;
    std::optional<KeepReason> reason;
  } cases[] = {
      {L".exe", KeepReason::kExtensionKey},     {L".", KeepReason::kExtensionKey},
      {L"CLSID", KeepReason::kSystemClass},     {L"clsid", KeepReason::kSystemClass},
      {L"*", KeepReason::kSystemClass},         {L"ALLFILESYSTEMOBJECTS", KeepReason::kSystemClass},
      {L"Interface", KeepReason::kSystemClass}, {L"EXEFILE", KeepReason::kProgramClass},
      {L"batfile", KeepReason::kProgramClass},  {L"lnkfile", KeepReason::kProgramClass},
      {L"txtfile", std::nullopt},               {L"CLSIDs", std::nullopt},
      {L"exefile.1", std::nullopt},             {L"my.exe", std::nullopt},
      {L"exefile\\", KeepReason::kNotAClassName}, {L"CLSID\\{1}", KeepReason::kNotAClassName},
      {L"txtfile\\shell", KeepReason::kNotAClassName},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeepReasonOfName(c.name), c.reason) << NarrowText(c.name).Bytes();
  }
}

// The class store in small: classes that other extensions, protocols and
// applications name, and classes of .vntjudge alone. Each seed is a key
// (removed with its tree before and after), a subkey, a value and its text.
const std::string kClasses = "SOFTWARE\\Classes\\";
const std::string kUserClasses = "Software\\Classes\\";
const std::string kUrl = "Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";
const std::string kExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::string kApp = "Software\\VarnethJudgeApp";
const struct Seed {
  HKEY root;
  std::string key, sub;
  const char* name;
  std::string text;
} kSeeds[] = {
    {HKEY_LOCAL_MACHINE, kClasses + "VJ.Own", "", nullptr, "x"},
    {HKEY_LOCAL_MACHINE, kClasses + "VJ.Proto", "", "URL Protocol", ""},
    // The extension's own keys count for nothing.
    {HKEY_LOCAL_MACHINE, kClasses + ".vntjudge", "", nullptr, "VJ.Own"},
    {HKEY_CURRENT_USER, kUserClasses + ".VNTJUDGE", "\\OpenWithProgids", "VJ.Own", ""},
    {HKEY_LOCAL_MACHINE, kApp, "\\FileAssociations", ".vntjudge", "VJ.Own"},
    {HKEY_LOCAL_MACHINE, kClasses + ".vntjudgea", "", nullptr, "vj.default"},
    {HKEY_LOCAL_MACHINE, kClasses + ".vntjudgeb", "\\OpenWithProgids", "VJ.List", ""},
    {HKEY_CURRENT_USER, kUserClasses + ".vntjudgec", "", nullptr, "VJ.User"},
    {HKEY_CURRENT_USER, kUrl + "vntjudgeproto", "\\UserChoice", "ProgId", "VJ.Choice"},
    {HKEY_CURRENT_USER, kExts + ".vntjudgef", "\\UserChoice", "ProgId", "VJ.Record"},
    {HKEY_LOCAL_MACHINE, kApp, "\\URLAssociations", "vntjudgeapp", "VJ.App"},
    {HKEY_LOCAL_MACHINE, "Software\\RegisteredApplications", "", "VarnethJudgeApp", kApp},
    {HKEY_LOCAL_MACHINE, kClasses + ".vntjudgem1", "", nullptr, "VJ.Many"},
    {HKEY_LOCAL_MACHINE, kClasses + ".vntjudgem2", "", nullptr, "VJ.Many"},
    {HKEY_LOCAL_MACHINE, kClasses + ".vntjudgem3", "", nullptr, "VJ.Many"},
    {HKEY_LOCAL_MACHINE, kClasses + ".vntjudgem4", "", nullptr, "VJ.Many"},
};
const char* const kUsedClasses[] = {"VJ.Default", "VJ.List", "VJ.User", "VJ.Choice",
                                    "VJ.Many",    "VJ.App",  "VJ.Record"};

class JudgeClassUseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    for (const Seed& seed : kSeeds) AddString(seed.root, seed.key + seed.sub, seed.name, seed.text);
    for (const char* name : kUsedClasses) AddKey(HKEY_LOCAL_MACHINE, kClasses + name);
  }
  void TearDown() override {
    for (const Seed& seed : kSeeds) {
      if (seed.key.find("RegisteredApplications") == std::string::npos) {
        RemoveTree(seed.root, seed.key);
      } else if (HKEY apps; RegOpenKeyExA(seed.root, seed.key.c_str(), 0, KEY_ALL_ACCESS,
                                          &apps) == ERROR_SUCCESS) {
        RegDeleteValueA(apps, seed.name);
        RegCloseKey(apps);
      }
    }
    for (const char* name : kUsedClasses) RemoveTree(HKEY_LOCAL_MACHINE, kClasses + name);
  }
};

TEST_F(JudgeClassUseTest, KeepsEveryClassSomethingElseNamesAndOnlyThose) {
  const ClassUse use = JudgeClassUse({L"VJ.Own", L"VJ.Default", L"CLSID", L"VJ.List", L"vj.own",
                                      L"VJ.User", L"VJ.Choice", L"VJ.Proto", L"VJ.Many", L"VJ.App",
                                      L"VJ.Record", L"VJ.Missing", L".vntjudgea", L".vntjudgez"},
                                     L"VNTjudge");
  std::vector<std::string> kept;
  for (const KeptClass& k : use.kept) {
    std::string line = NarrowText(k.name).Bytes();
    line.append(" ").append(std::to_string(static_cast<int>(k.reason)));
    for (const std::wstring& user : k.users) line.append(" ").append(NarrowText(user).Bytes());
    if (k.moreUsers) line.append(" ...");
    kept.push_back(line);
  }
  // 0 extension key, 1 system class, 3 URL protocol, 4 used elsewhere; a
  // key that is not there (.vntjudgez) is not named.
  EXPECT_EQ(kept, (std::vector<std::string>{
                      "VJ.Default 4 .vntjudgea", "CLSID 1", "VJ.List 4 .vntjudgeb",
                      "VJ.User 4 .vntjudgec", "VJ.Choice 4 vntjudgeproto", "VJ.Proto 3",
                      "VJ.Many 4 .vntjudgem1 .vntjudgem2 .vntjudgem3 ...", "VJ.App 4 vntjudgeapp",
                      "VJ.Record 4 .vntjudgef", ".vntjudgea 0"}));
  // A name listed twice counts once; one whose class is not there is own.
  EXPECT_EQ(use.own, (std::vector<std::wstring>{L"VJ.Own", L"VJ.Missing"}));
  EXPECT_TRUE(IsOwnClass(use, L"vj.OWN"));
  EXPECT_FALSE(IsOwnClass(use, L"VJ.Default"));
  EXPECT_FALSE(IsOwnClass(use, L".vntjudgez"));
}


// Uses the check must find beyond the cleaned user's records: COM, every
// loaded user, every form of string the shell reads, one step through CurVer.
const std::wstring kOther = L"S-1-5-21-4711-4711-4711-1027";
const std::wstring kWideClasses = L"SOFTWARE\\Classes\\";
const std::wstring kWideExts = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::wstring kClsid = kWideClasses + L"CLSID\\{56A4C7E0-7A27-4E27-9C27-000000002700}";
const std::wstring kJunk = std::wstring(L"\0", 1) + std::wstring(300, L'j');
const struct RawSeed {
  HKEY root;
  std::wstring key;
  const wchar_t* name;
  DWORD type;
  std::wstring data;
  REGSAM view = 0;
  bool oddByte = false;
} kRawSeeds[] = {
    {HKEY_LOCAL_MACHINE, kWideClasses + L"VJ.ComKey\\CLSID", nullptr, REG_SZ, L"{1}"},
    {HKEY_LOCAL_MACHINE, kWideClasses + L"VJ.ComVer\\CurVer", nullptr, REG_SZ, L"VJ.ComVer.2"},
    {HKEY_LOCAL_MACHINE, kClsid + L"\\ProgID", nullptr, REG_SZ, L"VJ.ComProg"},
    {HKEY_LOCAL_MACHINE, kClsid + L"\\VersionIndependentProgID", nullptr, REG_SZ, L"VJ.ComVi",
     KEY_WOW64_32KEY},
    {HKEY_USERS, kOther + L"_Classes\\CLSID\\{2}\\ProgID", nullptr, REG_SZ, L"VJ.ComUser"},
    {HKEY_USERS, kOther + kWideExts + L".vntjudgeo\\UserChoice", L"ProgId", REG_SZ, L"VJ.OtherChoice"},
    {HKEY_USERS, kOther + L"_Classes\\.vntjudgep", nullptr, REG_SZ, L"VJ.OtherClass"},
    {HKEY_USERS, L".DEFAULT" + kWideExts + L".vntjudgeq\\OpenWithProgids", L"VJ.DefaultList", REG_NONE, L""},
    {HKEY_USERS, kOther + kWideExts + L".vntjudger\\UserChoiceLatest", L"ProgId", REG_SZ, L"VJ.Latest"},
    {HKEY_USERS, kOther + L"\\Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\"
                          L"vntjudgeurl\\UserChoiceLatest\\ProgId",
     L"ProgId", REG_SZ, L"VJ.LatestKey"},
    {HKEY_USERS, kOther + kWideExts + L".vntjudge\\UserChoice", L"ProgId", REG_SZ, L"VJ.Own"},
    {HKEY_LOCAL_MACHINE, kWideClasses + L".vntjudges", nullptr, REG_SZ, L"VJ.AfterNul" + kJunk},
    {HKEY_LOCAL_MACHINE, kWideClasses + L".vntjudget", nullptr, REG_EXPAND_SZ, L"VJ.NoEnd"},
    {HKEY_LOCAL_MACHINE, kWideClasses + L".vntjudgeu", nullptr, REG_SZ, L"VJ.Odd", 0, true},
    {HKEY_LOCAL_MACHINE, kWideClasses + L".vntjudgev", nullptr, REG_MULTI_SZ,
     std::wstring(L"VJ.First\0VJ.Multi\0", 18)},
    {HKEY_USERS, kOther + kWideExts + L".vntjudgew\\UserChoice", L"ProgId", REG_SZ,
     L"VJ.ChoiceNul" + kJunk},
    {HKEY_LOCAL_MACHINE, kWideClasses + L".vntjudgex", nullptr, REG_SZ, L"VJ.Ver"},
    {HKEY_LOCAL_MACHINE, kWideClasses + L"VJ.Ver\\CurVer", nullptr, REG_SZ, L"VJ.Ver.1"},
    // The own extension's class and its CurVer count for nothing.
    {HKEY_LOCAL_MACHINE, kWideClasses + L".vntjudge", nullptr, REG_SZ, L"VJ.Mine"},
    {HKEY_LOCAL_MACHINE, kWideClasses + L"VJ.Mine\\CurVer", nullptr, REG_SZ, L"VJ.Mine.1"},
};
const wchar_t* const kListed[] = {
    L"VJ.ComKey",  L"VJ.ComVer",  L"VJ.ComProg", L"VJ.ComVi",       L"VJ.ComUser", L"VJ.OtherChoice",
    L"VJ.OtherClass", L"VJ.DefaultList", L"VJ.Latest", L"VJ.LatestKey", L"VJ.AfterNul", L"VJ.NoEnd",
    L"VJ.Odd",     L"VJ.Multi",   L"VJ.ChoiceNul", L"VJ.Ver.1",     L"VJ\x01" L"Ctl", L"VJ.Mine.1",
    L"VJ.Own",
};

void RemoveWideTree(HKEY root, const std::wstring& path, REGSAM view = 0) {
  HKEY parent;
  const size_t cut = path.rfind(L'\\');
  if (RegOpenKeyExW(root, path.substr(0, cut).c_str(), 0, KEY_ALL_ACCESS | view, &parent) ==
      ERROR_SUCCESS) {
    RegDeleteTreeW(parent, path.substr(cut + 1).c_str());
    RegDeleteKeyW(parent, path.substr(cut + 1).c_str());
    RegCloseKey(parent);
  }
}

void RemoveRawSeeds() {
  for (const RawSeed& seed : kRawSeeds) {
    // The seed's class store key (SOFTWARE\Classes\<one>), or its user's hive.
    if (seed.root == HKEY_LOCAL_MACHINE && seed.key.find(L"CLSID\\{") == std::wstring::npos) {
      RemoveWideTree(seed.root, seed.key.substr(0, seed.key.find(L'\\', kWideClasses.size())));
    }
  }
  for (REGSAM view : {0, KEY_WOW64_32KEY}) RemoveWideTree(HKEY_LOCAL_MACHINE, kClsid, view);
  for (const wchar_t* name : kListed) RemoveWideTree(HKEY_LOCAL_MACHINE, kWideClasses + name);
  RemoveWideTree(HKEY_USERS, L".DEFAULT" + kWideExts + L".vntjudgeq");
  RegDeleteTreeW(HKEY_USERS, kOther.c_str());
  RegDeleteTreeW(HKEY_USERS, (kOther + L"_Classes").c_str());
  RegDeleteKeyW(HKEY_USERS, kOther.c_str());
  RegDeleteKeyW(HKEY_USERS, (kOther + L"_Classes").c_str());
}

TEST(JudgeClassUse, KeepsClassesComOtherUsersAndEveryStringFormUse) {
  RemoveRawSeeds();
  for (const wchar_t* name : kListed) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kWideClasses + name).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  for (const RawSeed& seed : kRawSeeds) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(seed.root, seed.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | seed.view,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    std::string bytes(reinterpret_cast<const char*>(seed.data.data()), seed.data.size() * 2);
    if (seed.oddByte) bytes += 'x';
    RegSetValueExW(key, seed.name, 0, seed.type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
  }
  std::vector<std::wstring> names(std::begin(kListed), std::end(kListed));
  names.push_back(std::wstring(L"VJ.Own\0x", 8));  // reaches VJ.Own through a C string
  const ClassUse use = JudgeClassUse(names, L"vntjudge");
  std::vector<std::string> kept;
  for (const KeptClass& k : use.kept) {
    std::string line = NarrowText(k.name).Bytes();
    line.append(" ").append(std::to_string(static_cast<int>(k.reason)));
    for (const std::wstring& user : k.users) line.append(" ").append(NarrowText(user).Bytes());
    kept.push_back(line);
  }
  RemoveRawSeeds();
  // 4 used elsewhere, 6 COM, 7 a control character; a name with a NUL reaches no key.
  EXPECT_EQ(kept, (std::vector<std::string>{
                      "VJ.ComKey 6", "VJ.ComVer 6", "VJ.ComProg 6", "VJ.ComVi 6", "VJ.ComUser 6",
                      "VJ.OtherChoice 4 .vntjudgeo", "VJ.OtherClass 4 .vntjudgep",
                      "VJ.DefaultList 4 .vntjudgeq", "VJ.Latest 4 .vntjudger",
                      "VJ.LatestKey 4 vntjudgeurl", "VJ.AfterNul 4 .vntjudges",
                      "VJ.NoEnd 4 .vntjudget", "VJ.Odd 4 .vntjudgeu", "VJ.Multi 4 .vntjudgev",
                      "VJ.ChoiceNul 4 .vntjudgew", "VJ.Ver.1 4 .vntjudgex", "VJ\x01" "Ctl 7"}));
  EXPECT_EQ(use.own, (std::vector<std::wstring>{L"VJ.Mine.1", L"VJ.Own"}));
}

}  // namespace
}  // namespace varneth
