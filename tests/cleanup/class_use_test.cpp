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
      {L".exe", KeepReason::kExtensionKey},
      {L".", KeepReason::kExtensionKey},
      {L"CLSID", KeepReason::kSystemClass},
      {L"clsid", KeepReason::kSystemClass},
      {L"*", KeepReason::kSystemClass},
      {L"AllFileSystemObjects", KeepReason::kSystemClass},
      {L"Interface", KeepReason::kSystemClass},
      {L"SYSTEMFILEASSOCIATIONS", KeepReason::kSystemClass},
      {L"EXEFILE", KeepReason::kProgramClass},
      {L"batfile", KeepReason::kProgramClass},
      {L"cmdfile", KeepReason::kProgramClass},
      {L"lnkfile", KeepReason::kProgramClass},
      {L"txtfile", std::nullopt},
      {L"CLSIDs", std::nullopt},
      {L"exefile.1", std::nullopt},
      {L"my.exe", std::nullopt},
      {L"Folder2", std::nullopt},
      {L"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeepReasonOfName(c.name), c.reason) << NarrowText(c.name).Bytes();
  }
}

// The class store as Windows holds it, in small: classes that other
// extensions, protocols and applications name, and classes of .vntjudge alone.
class JudgeClassUseTest : public ::testing::Test {
 protected:
  static constexpr const char* kClasses = "SOFTWARE\\Classes\\";
  static constexpr const char* kUserClasses = "Software\\Classes\\";
  const std::string kChoice =
      "Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\vntjudgeproto";
  const std::string kApp = "Software\\VarnethJudgeApp\\Capabilities";
  const std::string kOtherRecord =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vntjudgef";

  void SetUp() override {
    Clean();
    for (const char* name : {"VJ.Own", "VJ.Default", "VJ.List", "VJ.User", "VJ.Choice",
                             "VJ.Proto", "VJ.Many", "VJ.App", "VJ.Record"}) {
      AddString(HKEY_LOCAL_MACHINE, std::string(kClasses) + name, nullptr, "x");
    }
    AddString(HKEY_LOCAL_MACHINE, std::string(kClasses) + "VJ.Proto", "URL Protocol", "");
    // The extension's own keys name VJ.Own: they count for nothing.
    AddString(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".vntjudge", nullptr, "VJ.Own");
    AddString(HKEY_CURRENT_USER, std::string(kUserClasses) + ".VNTJUDGE\\OpenWithProgids",
              "VJ.Own", "");
    AddString(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".vntjudgea", nullptr, "vj.default");
    AddString(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".vntjudgeb\\OpenWithProgids",
              "VJ.List", "");
    AddString(HKEY_CURRENT_USER, std::string(kUserClasses) + ".vntjudgec", nullptr, "VJ.User");
    AddString(HKEY_CURRENT_USER, kChoice + "\\UserChoice", "ProgId", "VJ.Choice");
    for (const char* extension : {".vntjudgem1", ".vntjudgem2", ".vntjudgem3", ".vntjudgem4"}) {
      AddString(HKEY_LOCAL_MACHINE, std::string(kClasses) + extension, nullptr, "VJ.Many");
    }
    AddString(HKEY_LOCAL_MACHINE, "Software\\RegisteredApplications", "VarnethJudgeApp", kApp);
    AddString(HKEY_LOCAL_MACHINE, kApp + "\\URLAssociations", "vntjudgeapp", "VJ.App");
    AddString(HKEY_LOCAL_MACHINE, kApp + "\\FileAssociations", ".vntjudge", "VJ.Own");
    AddString(HKEY_CURRENT_USER, kOtherRecord + "\\UserChoice", "ProgId", "VJ.Record");
  }
  void TearDown() override { Clean(); }

  void Clean() {
    for (const char* name : {"VJ.Own", "VJ.Default", "VJ.List", "VJ.User", "VJ.Choice", "VJ.Proto",
                             "VJ.Many", "VJ.App", "VJ.Record", ".vntjudge", ".vntjudgea",
                             ".vntjudgeb", ".vntjudgem1", ".vntjudgem2", ".vntjudgem3",
                             ".vntjudgem4"}) {
      RemoveTree(HKEY_LOCAL_MACHINE, std::string(kClasses) + name);
    }
    RemoveTree(HKEY_CURRENT_USER, std::string(kUserClasses) + ".vntjudge");
    RemoveTree(HKEY_CURRENT_USER, std::string(kUserClasses) + ".vntjudgec");
    RemoveTree(HKEY_CURRENT_USER, kChoice);
    RemoveTree(HKEY_CURRENT_USER, kOtherRecord);
    RemoveTree(HKEY_LOCAL_MACHINE, "Software\\VarnethJudgeApp");
    HKEY apps;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\RegisteredApplications", 0, KEY_ALL_ACCESS,
                      &apps) == ERROR_SUCCESS) {
      RegDeleteValueA(apps, "VarnethJudgeApp");
      RegCloseKey(apps);
    }
  }
};

std::string Described(const KeptClass& kept) {
  std::string line = NarrowText(kept.name).Bytes();
  line.append(" ").append(std::to_string(static_cast<int>(kept.reason)));
  for (const std::wstring& user : kept.users) line.append(" ").append(NarrowText(user).Bytes());
  if (kept.moreUsers) line += " ...";
  return line;
}

TEST_F(JudgeClassUseTest, KeepsEveryClassSomethingElseNamesAndOnlyThose) {
  const ClassUse use = JudgeClassUse({L"VJ.Own", L"VJ.Default", L"CLSID", L"VJ.List", L"vj.own",
                                      L"VJ.User", L"VJ.Choice", L"VJ.Proto", L"VJ.Many", L"VJ.App",
                                      L"VJ.Record", L"VJ.Missing", L".vntjudgea", L"NoSuchClass.1"},
                                     "VNTjudge");
  const int used = static_cast<int>(KeepReason::kUsedElsewhere);
  const std::vector<std::string> expected = {
      "VJ.Default " + std::to_string(used) + " .vntjudgea",
      "CLSID " + std::to_string(static_cast<int>(KeepReason::kSystemClass)),
      "VJ.List " + std::to_string(used) + " .vntjudgeb",
      "VJ.User " + std::to_string(used) + " .vntjudgec",
      "VJ.Choice " + std::to_string(used) + " vntjudgeproto",
      "VJ.Proto " + std::to_string(static_cast<int>(KeepReason::kUrlProtocol)),
      "VJ.Many " + std::to_string(used) + " .vntjudgem1 .vntjudgem2 .vntjudgem3 ...",
      "VJ.App " + std::to_string(used) + " vntjudgeapp",
      "VJ.Record " + std::to_string(used) + " .vntjudgef",
      ".vntjudgea " + std::to_string(static_cast<int>(KeepReason::kExtensionKey)),
  };
  std::vector<std::string> kept;
  for (const KeptClass& k : use.kept) kept.push_back(Described(k));
  EXPECT_EQ(kept, expected);
  // Own: named by the extension's own keys alone, or not there at all (a
  // name listed twice counts once).
  EXPECT_EQ(use.own, (std::vector<std::wstring>{L"VJ.Own", L"VJ.Missing", L"NoSuchClass.1"}));
  EXPECT_TRUE(IsOwnClass(use, L"vj.OWN"));
  EXPECT_FALSE(IsOwnClass(use, L"VJ.Default"));
  EXPECT_FALSE(IsOwnClass(use, L"CLSID"));
}

}  // namespace
}  // namespace varneth
