#include "frontend/outcome_texts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "cleanup/class_use/class_use.h"
#include "registry/registry_open.h"
#include "scratch_registry.h"
#include "probes/process_token.h"
#include "runtime/program_texts.h"

namespace varneth {
namespace {

using namespace testing_support;

// The first users found are named, and " 等" follows only when there are
// more than those.
TEST(KeptClassReasonLine, SaysAndOthersOnlyPastTheUsersItNames) {
  const std::string classes = "SOFTWARE\\Classes\\";
  AddKey(HKEY_LOCAL_MACHINE, classes + "VarnethThree.Doc");
  AddString(HKEY_LOCAL_MACHINE, classes + ".vntthree\\OpenWithProgids", "VarnethThree.Doc", "");
  const std::string named = std::string(texts::kKeptUsedElsewhere) + ".vntthree1" +
                            texts::kListSeparator + ".vntthree2" + texts::kListSeparator +
                            ".vntthree3";
  for (const auto& [users, line] : {std::pair{3, named}, std::pair{4, named + texts::kAndOthers}}) {
    for (int i = 1; i <= users; ++i) {
      AddString(HKEY_LOCAL_MACHINE, classes + ".vntthree" + std::to_string(i), nullptr,
                "VarnethThree.Doc");
    }
    const ClassUse use = JudgeClassUse({L"VarnethThree.Doc"}, L"vntthree");
    ASSERT_EQ(use.kept.size(), 1u);
    EXPECT_EQ(std::string(KeptClassReasonLine(use.kept[0]).Bytes()), line) << users;
  }
  for (int i = 1; i <= 4; ++i) RemoveTree(HKEY_LOCAL_MACHINE, classes + ".vntthree" + std::to_string(i));
  RemoveTree(HKEY_LOCAL_MACHINE, classes + "VarnethThree.Doc");
  RemoveTree(HKEY_LOCAL_MACHINE, classes + ".vntthree");
}

// Windows denies value writes in a UserChoice (its key can still be
// deleted), and on Windows 10 and 11 protects some choices: their deletion
// is refused for lack of access while the keys beside them go.
bool g_protectChoice = false;

LONG WINAPI DenyChoiceWrites(HKEY parent, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
  const size_t length = path == nullptr ? 0 : std::strlen(path);
  if (length >= 10 && _stricmp(path + length - 10, "UserChoice") == 0 &&
      (access & KEY_SET_VALUE) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  return RegOpenKeyExA(parent, path, options, access, key);
}

// The deletion names the key by its own handle: the choice holds ProgId.
LONG WINAPI RefuseTheChoice(HKEY key) {
  if (g_protectChoice &&
      RegQueryValueExW(key, L"ProgId", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    return ERROR_ACCESS_DENIED;
  }
  return DeleteKeyByHandle(key);
}

TEST(StayReasonLines, AChoiceGoesWithItsKeyUnlessWindowsProtectsIt) {
  const std::string record =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vntpdf";
  const KeyOwner owner{KeyOwnerCase::kProcessUser, GetProcessUserSidText(), Text()};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"varneth-choice-test";
  for (const bool protect : {false, true}) {
    RemoveTree(HKEY_CURRENT_USER, record);
    AddString(HKEY_CURRENT_USER, record + "\\OpenWithList", "a", "viewer.exe");
    AddString(HKEY_CURRENT_USER, record + "\\UserChoice", "ProgId", "VarnethPdf.Doc");
    g_protectChoice = protect;
    SetRegistryCalls({DenyChoiceWrites, RegOpenKeyExW, RefuseTheChoice});
    const CleanupOutcome outcome = RunExtensionCleanup({"vntpdf", owner, folder, false});
    SetRegistryCalls({});

    ASSERT_EQ(outcome.targets.size(), 1u);
    const TargetFate& fate = outcome.targets[0];
    EXPECT_EQ(std::string(TargetDisplayName(fate.target).Bytes()), "HKEY_CURRENT_USER\\" + record);
    if (protect) {
      // The record and its choice stayed, with ProgId; the list and its value went.
      EXPECT_EQ(outcome.result, CleanupResult::kPartlyRemoved);
      EXPECT_TRUE(fate.stayed);
      EXPECT_EQ((std::vector<int>{fate.left.keys, fate.left.values, fate.gone.keys, fate.gone.values}),
                (std::vector<int>{2, 1, 1, 1}));
      EXPECT_EQ(StayReasonLines(fate), std::vector<const char*>{texts::kStayedProtectedChoice});
      EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, record + "\\UserChoice"));
    } else {
      EXPECT_EQ(outcome.result, CleanupResult::kRemoved);
      EXPECT_FALSE(fate.stayed);
      EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, record));
    }
    DeleteFileW(outcome.backupPath.c_str());
  }
  RemoveTree(HKEY_CURRENT_USER, record);
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace varneth
