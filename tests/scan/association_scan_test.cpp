// Association states seeded in scratch stores, each judged broken or not
// with its reason; every key opened for reading and as itself.
#include "scan/association_scan.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "registry/registry_open.h"
#include "scan/read_only_key.h"
#include "scratch_registry.h"

namespace varneth {
namespace {

using testing_support::AddKey;
using testing_support::AddString;
using testing_support::MakeLink;
using testing_support::RemoveLink;

struct Seed {
  std::string path;  // below the scratch root: F FileExts, U/M the user's/machine's classes, A App Paths
  const char* name;  // nullptr: the key alone; "" its default value
  std::string text;
};

struct Case {
  const char* extension;
  std::vector<Seed> seeds;
  ScanVerdict verdict;
  std::wstring className;
  std::wstring detail;
};

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring WindowsFolder() {
  wchar_t folder[MAX_PATH];
  GetWindowsDirectoryW(folder, MAX_PATH);
  return folder;
}

class AssociationScanTest : public testing_support::ScratchKeyTest {
 protected:
  void Seed(const std::vector<struct Seed>& seeds) {
    for (const struct Seed& seed : seeds) {
      if (seed.name == nullptr) {
        AddKey(HKEY_CURRENT_USER, At(seed.path));
      } else {
        AddString(HKEY_CURRENT_USER, At(seed.path), seed.name, seed.text);
      }
    }
  }
  StoreKey Store(const char* name) {
    AddKey(HKEY_CURRENT_USER, At(name));
    StoreKey store;
    store.path = Wide(name);
    EXPECT_EQ(OpenForReading(HKEY_CURRENT_USER, Wide(At(name)), store.key), ERROR_SUCCESS);
    return store;
  }
  ScanStores Stores() {
    ScanStores stores;
    stores.fileExts = Store("F");
    stores.classes.user = Store("U");
    stores.classes.machine = Store("M");
    stores.machineAppPaths = Store("A");
    return stores;
  }
};

// A program file whose path holds spaces, made for the test.
struct SpacedProgram {
  SpacedProgram() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"vnt scan dir";
    CreateDirectoryW(folder.c_str(), nullptr);
    file = folder + L"\\tool.exe";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  ~SpacedProgram() {
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring folder, file;
};

std::string Narrow(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }

std::string Quoted(const std::string& path) {
  std::string quoted(1, '"');
  quoted += path;
  return quoted += '"';
}

// A class of the machine's store whose open verb runs `command`.
std::vector<Seed> Opening(const std::string& extension, const std::string& command) {
  const std::string name = "Vnt." + extension;
  return {{"M\\." + extension, "", name}, {"M\\" + name + "\\shell\\open\\command", "", command}};
}

TEST_F(AssociationScanTest, JudgesEachStateWithItsReason) {
  const SpacedProgram spaced;
  const std::wstring windows = WindowsFolder();
  const std::string gone = "C:\\Program Files\\Vnt Gone\\app.exe";
  const std::vector<Case> cases = {
      {"sound", Opening("sound", Quoted(Narrow(windows) + "\\notepad.exe") + " \"%1\""),
       ScanVerdict::kSound, {}, {}},
      {"choice", {{"F\\.choice\\UserChoice", "ProgId", "Vnt.Gone"}, {"M\\.choice", "", "Vnt.Other"},
                  {"M\\Vnt.Other\\shell\\open\\command", "", "notepad.exe %1"}},
       ScanVerdict::kMissingClass, L"Vnt.Gone", {}},
      {"apps", {{"F\\.apps\\UserChoice", "ProgId", "Applications\\vntapp.exe"},
                {"M\\Applications\\vntapp.exe", nullptr, ""}},
       ScanVerdict::kSound, {}, {}},
      {"noapp", {{"F\\.noapp\\UserChoice", "ProgId", "Applications\\vntgone.exe"}},
       ScanVerdict::kMissingClass, L"Applications\\vntgone.exe", {}},
      {"noverb", {{"M\\.noverb", "", "Vnt.noverb"}, {"M\\Vnt.noverb\\shell\\open", "", "Open"}},
       ScanVerdict::kNoVerb, L"Vnt.noverb", {}},
      {"delegate", {{"M\\.delegate", "", "Vnt.delegate"},
                    {"M\\Vnt.delegate\\shell\\open\\command", "DelegateExecute", "{1}"}},
       ScanVerdict::kSound, {}, {}},
      {"drop", {{"M\\.drop", "", "Vnt.drop"}, {"M\\Vnt.drop\\shell\\open\\DropTarget", "Clsid", "{1}"}},
       ScanVerdict::kSound, {}, {}},
      {"quoted", Opening("quoted", Quoted(gone) + " \"%1\""), ScanVerdict::kMissingProgram,
       L"Vnt.quoted", Wide(gone)},
      {"unquoted", Opening("unquoted", gone + " %1"), ScanVerdict::kMissingProgram,
       L"Vnt.unquoted", Wide(gone)},
      {"spaced", Opening("spaced", Narrow(spaced.file) + " /open %1"), ScanVerdict::kSound, {}, {}},
      {"envfound", Opening("envfound", "%SystemRoot%\\notepad.exe %1"), ScanVerdict::kSound, {}, {}},
      {"envgone", Opening("envgone", "%SystemRoot%\\vnt-gone.exe %1"), ScanVerdict::kMissingProgram,
       L"Vnt.envgone", windows + L"\\vnt-gone.exe"},
      {"bare", Opening("bare", "notepad %1"), ScanVerdict::kSound, {}, {}},
      {"apppath", [] {
         auto seeds = Opening("apppath", "vnt-registered.exe %1");
         seeds.push_back({"A\\vnt-registered.exe", "", "D:\\x.exe"});
         return seeds;
       }(), ScanVerdict::kSound, {}, {}},
      {"nowhere", Opening("nowhere", "vnt-nowhere.exe \"%1\""), ScanVerdict::kMissingProgram,
       L"Vnt.nowhere", L"vnt-nowhere.exe"},
      {"percent", Opening("percent", "\"%1\" /x"), ScanVerdict::kSound, {}, {}},
      {"undefined", Opening("undefined", "%VNT_UNDEFINED%\\app.exe"), ScanVerdict::kSound, {}, {}},
      {"rundll", Opening("rundll", "rundll32.exe shell32.dll,Control_RunDLL %1"),
       ScanVerdict::kSound, {}, {}},
      {"rundllgone", Opening("rundllgone", "rundll32.exe vntgone.dll,Entry %1"),
       ScanVerdict::kMissingProgram, L"Vnt.rundllgone", L"vntgone.dll"},
      {"relative", Opening("relative", "bin\\vnt.exe %1"), ScanVerdict::kSound, {}, {}},
      {"stale", {{"F\\.stale\\OpenWithProgids", "Vnt.GoneA", ""},
                 {"F\\.stale\\OpenWithProgids", "Vnt.GoneB", ""}},
       ScanVerdict::kStaleList, L"Vnt.GoneA", {}},
      {"halfstale", {{"F\\.halfstale\\OpenWithProgids", "Vnt.GoneA", ""},
                     {"F\\.halfstale\\OpenWithProgids", "Vnt.there", ""}, {"U\\Vnt.there", nullptr, ""}},
       ScanVerdict::kSound, {}, {}},
      // The newer version its CurVer names is the class judged.
      {"curver", [&] {
         auto seeds = Opening("curver", "notepad.exe %1");
         seeds.push_back({"M\\Vnt.curver\\CurVer", "", "Vnt.curver.2"});
         seeds.push_back({"M\\Vnt.curver.2\\shell\\open\\command", "", Quoted(gone)});
         return seeds;
       }(), ScanVerdict::kMissingProgram, L"Vnt.curver", Wide(gone)},
      // The user's command key is the one read; the shell key's default names the verb.
      {"over", [&] {
         auto seeds = Opening("over", Quoted(gone));
         seeds.push_back({"U\\Vnt.over\\shell\\open\\command", "", "notepad.exe"});
         return seeds;
       }(), ScanVerdict::kSound, {}, {}},
      {"verb", [&] {
         auto seeds = Opening("verb", "notepad.exe");
         seeds.push_back({"M\\Vnt.verb\\shell", "", "edit"});
         seeds.push_back({"M\\Vnt.verb\\shell\\edit\\command", "", Quoted(gone)});
         return seeds;
       }(), ScanVerdict::kMissingProgram, L"Vnt.verb", Wide(gone)},
      {"linked", {{"M\\.linked", "", "Vnt.linked"}}, ScanVerdict::kBehindLink, L"Vnt.linked",
       L"M\\Vnt.linked"},
      {"linkedchoice", {}, ScanVerdict::kBehindLink, {}, L"F\\.linkedchoice\\UserChoice"},
  };
  for (const Case& c : cases) Seed(c.seeds);
  MakeLink(At("M\\Vnt.linked"), L"\\Registry\\User");
  MakeLink(At("F\\.linkedchoice\\UserChoice"), L"\\Registry\\User");

  // Every opening of the scan, watched: for reading, each key as itself.
  static std::vector<std::pair<DWORD, REGSAM>> openings;
  openings.clear();
  RegistryCalls watched;
  watched.openW = [](HKEY parent, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
    openings.emplace_back(options, access);
    return RegOpenKeyExW(parent, path, options, access, key);
  };
  SetRegistryCalls(watched);
  AssociationScan scan(Stores());
  std::vector<ScanFinding> findings;
  for (const Case& c : cases) findings.push_back(scan.Judge(Wide(c.extension)));
  SetRegistryCalls({});
  RemoveLink(At("M\\Vnt.linked"));
  RemoveLink(At("F\\.linkedchoice\\UserChoice"));

  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].extension);
    EXPECT_EQ(findings[i].verdict, cases[i].verdict);
    if (cases[i].verdict == ScanVerdict::kSound) continue;
    EXPECT_EQ(findings[i].className, cases[i].className);
    EXPECT_EQ(findings[i].detail, cases[i].detail);
  }
  ASSERT_FALSE(openings.empty());
  for (const auto& [options, access] : openings) {
    EXPECT_EQ(options, static_cast<DWORD>(REG_OPTION_OPEN_LINK));
    EXPECT_EQ(access & ~(kScanAccess | kRegistryView), 0u);
  }
}

TEST_F(AssociationScanTest, ListsEachStoresExtensionsOnceInNameOrder) {
  Seed({{"F\\.Beta", nullptr, ""}, {"U\\.alpha", nullptr, ""}, {"M\\.ALPHA", nullptr, ""},
        {"M\\.gamma", nullptr, ""}, {"M\\NotAnExtension", nullptr, ""}});
  const AssociationScan scan(Stores());
  EXPECT_EQ(scan.Extensions(), (std::vector<std::wstring>{L"alpha", L"Beta", L"gamma"}));
}

}  // namespace
}  // namespace varneth
