#include "cleanup/class_use/class_use.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "cleanup/class_use/profile_hives.h"
#include "cleanup/class_use/class_use_places.h"
#include "runtime/wide_text.h"
#include "scratch_registry.h"

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
      {L"shcmdfile", KeepReason::kProgramClass}, {L"Application.Reference", KeepReason::kProgramClass},
      {L"SettingContent", KeepReason::kProgramClass}, {L"WOWAA32NODE", KeepReason::kSystemClass},
      {L"AllSyncRootObjects", KeepReason::kSystemClass},
      {L"DeviceDisplayObject", KeepReason::kSystemClass},
      {L"launcher.DesktopPackagedApplication", KeepReason::kSystemClass},
      {L"Launcher", std::nullopt},
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
const char* const kUsedClasses[] = {"VJ.Default", "VJ.List", "VJ.User",  "VJ.Choice",
                                    "VJ.Many",    "VJ.App",  "VJ.Record"};

// Each kept class as "name reason users...", " ..." when there are more.
std::vector<std::string> KeptLines(const ClassUse& use) {
  std::vector<std::string> lines;
  for (const KeptClass& k : use.kept) {
    std::string line =
        std::string(NarrowText(k.name).Bytes()) + " " + std::to_string(static_cast<int>(k.reason));
    for (const std::wstring& user : k.users) line.append(" ").append(NarrowText(user).Bytes());
    lines.push_back(k.moreUsers ? line + " ..." : line);
  }
  return lines;
}

class JudgeClassUseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    for (const Seed& seed : kSeeds) AddString(seed.root, seed.key + seed.sub, seed.name, seed.text);
    for (const char* name : kUsedClasses) {
      AddKey(HKEY_LOCAL_MACHINE, kClasses + name);
      AddString(HKEY_LOCAL_MACHINE, kClasses + ".vntjudge\\OpenWithProgids", name, "");
    }
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
  const std::vector<std::string> kept = KeptLines(use);
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
// Each listed class exists; `kept` is "reason users" (4 used elsewhere, 6
// COM, 7 a control character), or null for an own class.
const std::wstring kOther = L"S-1-5-21-4711-4711-4711-1027";
const std::wstring kStore = L"SOFTWARE\\Classes\\";
const std::wstring kRecords =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::wstring kUrls = L"\\Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";
const std::wstring kClsid = kStore + L"CLSID\\{56A4C7E0-7A27-4E27-9C27-000000002700}";
const std::wstring kMimes = L"\\Software\\Microsoft\\Windows\\Shell\\Associations\\MIMEAssociations\\";
const std::wstring kApps = L"Software\\RegisteredApplications";
const std::wstring kAutoplay =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\";
// Longer than the first read's 1 KiB.
const std::wstring kJunk = std::wstring(L"\0", 1) + std::wstring(600, L'j');
const std::wstring kControl =
    L"VJ\x01"
    L"Ctl";
const HKEY kM = HKEY_LOCAL_MACHINE;
const HKEY kU = HKEY_USERS;
const struct Use {
  std::wstring listed;
  HKEY root;
  std::wstring key;
  const wchar_t* name;
  std::wstring data;
  const char* kept;
  DWORD type = REG_SZ;
  REGSAM view = 0;
  bool oddByte = false;
  std::wstring removed = L"";  // the seed's key outside the class store
  bool tied = true;            // by the machine's .vntjudge\OpenWithProgids
} kUses[] = {
    {L"VJ.ComKey", kM, kStore + L"VJ.ComKey\\CLSID", nullptr, L"{1}", "6"},
    {L"VJ.ComVer", kM, kStore + L"VJ.ComVer\\CurVer", nullptr, L"VJ.ComVer.2", "6"},
    {L"VJ.ComProg", kM, kClsid + L"\\ProgID", nullptr, L"VJ.ComProg", "6"},
    {L"VJ.ComVi", kM, kClsid + L"\\VersionIndependentProgID", nullptr, L"VJ.ComVi", "6", REG_SZ,
     KEY_WOW64_32KEY},
    {L"VJ.ComUser", kU, kOther + L"_Classes\\CLSID\\{2}\\ProgID", nullptr, L"VJ.ComUser", "6"},
    {L"VJ.Choice", kU, kOther + kRecords + L".vntjudgeo\\UserChoice", L"ProgId", L"VJ.Choice",
     "4 .vntjudgeo"},
    {L"VJ.Theirs", kU, kOther + L"_Classes\\.vntjudgep", nullptr, L"VJ.Theirs", "4 .vntjudgep"},
    {L"VJ.Default", kU, L".DEFAULT" + kRecords + L".vntjudgeq\\OpenWithProgids", L"VJ.Default", L"",
     "4 .vntjudgeq", REG_NONE},
    {L"VJ.Latest", kU, kOther + kRecords + L".vntjudger\\UserChoiceLatest", L"ProgId", L"VJ.Latest",
     "4 .vntjudger"},
    {L"VJ.LatestKey", kU, kOther + kUrls + L"vntjudgeurl\\UserChoiceLatest\\ProgId", L"ProgId",
     L"VJ.LatestKey", "4 vntjudgeurl"},
    {L"VJ.AfterNul", kM, kStore + L".vntjudges", nullptr, L"VJ.AfterNul" + kJunk, "4 .vntjudges"},
    // No terminator, and an odd last byte.
    {L"VJ.Odd", kM, kStore + L".vntjudgeu", nullptr, L"VJ.Odd", "4 .vntjudgeu", REG_EXPAND_SZ, 0,
     true},
    {L"VJ.Multi", kM, kStore + L".vntjudgev", nullptr, std::wstring(L"VJ.First\0VJ.Multi\0", 18),
     "4 .vntjudgev", REG_MULTI_SZ},
    {L"VJ.Ver.1", kM, kStore + L"VJ.Ver\\CurVer", nullptr, L"VJ.Ver.1", "4 .vntjudgex"},
    {L"VJ.Ver.1", kM, kStore + L".vntjudgex", nullptr, L"VJ.Ver", nullptr},
    {kControl, kM, kStore + kControl, L"x", L"", "7"},
    // The same step in the store of the user whose keys name the class.
    {L"VJ.UVer.1", kU, kOther + L"_Classes\\VJ.UVer\\CurVer", nullptr, L"VJ.UVer.1", "4 .vntjudgew"},
    {L"VJ.UVer.1", kU, kOther + L"_Classes\\.vntjudgew", nullptr, L"VJ.UVer", nullptr},
    {L"VJ.Mime", kM, kApps, L"VarnethJudgeMime", L"Software\\VarnethJudgeMime", "4 text/x-vj"},
    {L"VJ.Mime", kM, L"Software\\VarnethJudgeMime\\MIMEAssociations", L"text/x-vj", L"VJ.Mime",
     nullptr, REG_SZ, 0, false, L"Software\\VarnethJudgeMime"},
    // Named only in the 32-bit view, where 32-bit applications register.
    {L"VJ.App32", kM, kApps, L"VarnethJudge32", L"Software\\VarnethJudge32", "4 .vntjudge32",
     REG_SZ, KEY_WOW64_32KEY},
    {L"VJ.App32", kM, L"Software\\VarnethJudge32\\FileAssociations", L".vntjudge32", L"VJ.App32",
     nullptr, REG_SZ, KEY_WOW64_32KEY, false, L"Software\\VarnethJudge32"},
    {L"VJ.MimeChoice", kU, kOther + kMimes + L"text/x-vju\\UserChoice", L"ProgId", L"VJ.MimeChoice",
     "4 text/x-vju"},
    {L"VJ.Sys", kM, kStore + L"SystemFileAssociations\\.vntjudgey\\OpenWithProgids", L"VJ.Sys",
     L"", "4 .vntjudgey"},
    {L"VJ.SysType", kM, kStore + L"SystemFileAssociations\\vntjudgetype", nullptr, L"VJ.SysType",
     "4 vntjudgetype"},
    {L"VJ.Play", kM, kAutoplay + L"VarnethJudgePlay", L"InvokeProgID", L"VJ.Play",
     "4 VarnethJudgePlay", REG_SZ, 0, false, kAutoplay + L"VarnethJudgePlay"},
    {L"VJ.Packaged", kM, kStore + L"PackagedCom\\ProgIdIndex\\VJ.Packaged", L"x", L"",
     "4 PackagedCom"},
    // Only the user's keys tie it; the machine's application ties another.
    {L"VJ.Untied", kM, kStore + L"VJ.Untied", L"x", L"", "8", REG_SZ, 0, false, L"", false},
    {L"VJ.TiedApp", kM, kApps, L"VarnethJudgeTie", L"Software\\VarnethJudgeTie", nullptr, REG_SZ, 0,
     false, L"", false},
    {L"VJ.TiedApp", kM, L"Software\\VarnethJudgeTie\\FileAssociations", L".vntjudge",
     L"VJ.TiedApp", nullptr, REG_SZ, 0, false, L"Software\\VarnethJudgeTie", false},
    {L"vntjudge_auto_file", kM, kStore + L"vntjudge_auto_file", L"x", L"", nullptr, REG_SZ, 0, false,
     L"", false},
    // The own extension's keys and the CurVer of its class count for nothing.
    {L"VJ.Mine.1", kM, kStore + L"VJ.Mine\\CurVer", nullptr, L"VJ.Mine.1", nullptr},
    {L"VJ.Mine.1", kM, kStore + L".vntjudge", nullptr, L"VJ.Mine", nullptr},
    {L"VJ.Own", kU, kOther + kRecords + L".vntjudge\\UserChoice", L"ProgId", L"VJ.Own", nullptr},
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

void RemoveUses() {
  RemoveWideTree(kM, kStore + L".vntjudge");
  for (const Use& use : kUses) {
    RemoveWideTree(kM, kStore + use.listed);
    if (use.key == kApps) {
      HKEY apps;
      if (RegOpenKeyExW(kM, kApps.c_str(), 0, KEY_SET_VALUE | use.view, &apps) == 0) {
        RegDeleteValueW(apps, use.name);
        RegCloseKey(apps);
      }
    } else if (!use.removed.empty()) {
      RemoveWideTree(kM, use.removed, use.view);
    } else if (use.root == kM) {
      // The seed's key right below the class store or below a key of it.
      size_t from = kStore.size();
      for (const std::wstring& shared : {kStore + L"CLSID\\", kStore + L"SystemFileAssociations\\",
                                         kStore + L"PackagedCom\\ProgIdIndex\\"}) {
        if (use.key.starts_with(shared)) from = shared.size();
      }
      RemoveWideTree(use.root, use.key.substr(0, use.key.find(L'\\', from)), use.view);
    }
  }
  RemoveWideTree(kU, L".DEFAULT" + kRecords + L".vntjudgeq");
  for (const std::wstring& hive : {kOther, kOther + L"_Classes"}) {
    RegDeleteTreeW(kU, hive.c_str());
    RegDeleteKeyW(kU, hive.c_str());
  }
}

TEST(JudgeClassUse, KeepsClassesComOtherUsersAndEveryStringFormUse) {
  RemoveUses();
  std::vector<std::wstring> names;
  std::vector<std::string> expected;
  for (const Use& use : kUses) {
    HKEY made;
    ASSERT_EQ(RegCreateKeyExW(kM, (kStore + use.listed).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &made, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(made);
    ASSERT_EQ(RegCreateKeyExW(use.root, use.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | use.view,
                              nullptr, &made, nullptr),
              ERROR_SUCCESS);
    std::string bytes(reinterpret_cast<const char*>(use.data.data()), use.data.size() * 2);
    if (use.oddByte) bytes += 'x';
    RegSetValueExW(made, use.name, 0, use.type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(made);
    if (names.empty() || names.back() != use.listed) names.push_back(use.listed);
    if (use.tied) {
      ASSERT_EQ(RegCreateKeyExW(kM, (kStore + L".vntjudge\\OpenWithProgids").c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &made, nullptr),
                ERROR_SUCCESS);
      RegSetValueExW(made, use.listed.c_str(), 0, REG_NONE, nullptr, 0);
      RegCloseKey(made);
    }
    if (use.kept != nullptr)
      expected.push_back(std::string(NarrowText(use.listed).Bytes()) + " " + use.kept);
  }
  names.push_back(std::wstring(L"VJ.Own\0x", 8));  // reaches VJ.Own through a C string: no key
  const ClassUse use = JudgeClassUse(names, L"vntjudge");
  RemoveUses();
  EXPECT_EQ(KeptLines(use), expected);
  EXPECT_EQ(use.own, (std::vector<std::wstring>{L"VJ.TiedApp", L"vntjudge_auto_file",
                                                L"VJ.Mine.1", L"VJ.Own"}));
}

// A place that will not open may name any class; a key deleted while its
// parent is listed makes the listing start again, skipping none; a profile
// whose hive is not loaded is read from its file, and one that will not
// load may use any class. VJ.Lone is tied and used nowhere.
const std::wstring kProfile = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\"
                              L"S-1-5-21-4711-4711-4711-1028";
const std::wstring kHive = L"Software\\VarnethJudgeHive";
const wchar_t* g_refused = nullptr;
bool g_deleteFirst = false;
bool g_hiveLoads = false;

LONG WINAPI OpenOrFail(HKEY parent, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
  if (parent == kM && g_refused != nullptr && std::wstring_view(path).ends_with(g_refused)) {
    return ERROR_ACCESS_DENIED;
  }
  if (g_deleteFirst && std::wstring_view(path) == L".vntjudgedel1") {
    g_deleteFirst = false;
    RegDeleteKeyW(parent, path);
    return ERROR_FILE_NOT_FOUND;
  }
  return RegOpenKeyExW(parent, path, options, access, key);
}

LONG WINAPI LoadScratchHive(LPCWSTR, PHKEY key, REGSAM, DWORD, DWORD) {
  if (!g_hiveLoads) return ERROR_SHARING_VIOLATION;
  return RegOpenKeyExW(HKEY_CURRENT_USER, kHive.c_str(), 0, KEY_READ, key);
}

TEST(JudgeClassUse, KeepsWhatAnUnreadPlaceMayUseAndReadsEveryKeyAndProfile) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = temp + std::wstring(L"VarnethJudgeProfile");
  const std::string hive = NarrowText(kHive).Bytes();
  const std::string classes = NarrowText(kStore).Bytes();
  const std::string lone = "VJ.Lone 9 ";
  const struct {
    const wchar_t* refused;
    bool deleteFirst, hiveLoads;
    std::vector<std::string> kept;
  } cases[] = {
      {L"AutoplayHandlers\\Handlers", false, true,
       {"VJ.Relisted 4 .vntjudgedel2", "VJ.Profile 4 .vntjudgepro",
        lone + "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
               "AutoplayHandlers\\Handlers"}},
      {nullptr, true, true, {"VJ.Relisted 4 .vntjudgedel2", "VJ.Profile 4 .vntjudgepro"}},
      {nullptr, false, false,
       {"VJ.Relisted 4 .vntjudgedel2", "VJ.Profile 9 " + std::string(NarrowText(folder).Bytes()),
        lone + NarrowText(folder).Bytes()}},
  };
  const auto clean = [&] {
    for (const char* key : {".vntjudge", ".vntjudgedel1", ".vntjudgedel2", "VJ.Relisted",
                            "VJ.Profile", "VJ.Lone"}) {
      RemoveTree(kM, classes + key);
    }
    RemoveTree(HKEY_CURRENT_USER, hive);
    RemoveWideTree(kM, kProfile);
    DeleteFileW((folder + L"\\NTUSER.DAT").c_str());
    RemoveDirectoryW(folder.c_str());
  };
  for (const auto& c : cases) {
    clean();
    for (const char* name : {"VJ.Relisted", "VJ.Profile", "VJ.Lone"}) {
      AddKey(kM, classes + name);
      AddString(kM, classes + ".vntjudge\\OpenWithProgids", name, "");
    }
    AddKey(kM, classes + ".vntjudgedel1");
    AddString(kM, classes + ".vntjudgedel2", nullptr, "VJ.Relisted");
    AddString(HKEY_CURRENT_USER, hive + "\\" + kExts + ".vntjudgepro\\UserChoice",
              "ProgId", "VJ.Profile");
    AddString(kM, NarrowText(kProfile).Bytes(), "ProfileImagePath", NarrowText(folder).Bytes());
    CreateDirectoryW(folder.c_str(), nullptr);
    CloseHandle(CreateFileW((folder + L"\\NTUSER.DAT").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
    g_refused = c.refused;
    g_deleteFirst = c.deleteFirst;
    g_hiveLoads = c.hiveLoads;
    SetClassUseOpenCall(OpenOrFail);
    SetProfileHiveCalls({LoadScratchHive});
    const ClassUse use = JudgeClassUse({L"VJ.Relisted", L"VJ.Profile", L"VJ.Lone"}, L"vntjudge");
    SetClassUseOpenCall(nullptr);
    SetProfileHiveCalls(ProfileHiveCalls{});
    clean();
    EXPECT_EQ(KeptLines(use), c.kept) << c.deleteFirst;
  }
}

}  // namespace
}  // namespace varneth
