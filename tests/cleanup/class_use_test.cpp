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

}  // namespace
}  // namespace varneth
