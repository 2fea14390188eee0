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
#include "probes/system_binding.h"
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
// is refused for lack of access while the keys beside them go. It refuses
// either the opening with DELETE or NtDeleteKey itself; Wine does neither,
// so the one platform call is answered here and the program's own code
// above it runs.
enum class Choice { kFree, kOpenedWithoutDelete, kDeletionRefused };
Choice g_choice = Choice::kFree;

LONG WINAPI GuardTheChoice(HKEY parent, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
  const size_t length = path == nullptr ? 0 : std::strlen(path);
  const REGSAM denied = g_choice == Choice::kOpenedWithoutDelete ? KEY_SET_VALUE | DELETE
                                                                 : KEY_SET_VALUE;
  if (length >= 10 && _stricmp(path + length - 10, "UserChoice") == 0 && (access & denied) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  return RegOpenKeyExA(parent, path, options, access, key);
}

// In NtDeleteKey's place: the deletion names the key by its own handle, and
// the choice holds ProgId.
LONG WINAPI NtRefuseTheChoice(HANDLE key) {
  constexpr LONG kStatusAccessDenied = static_cast<LONG>(0xC0000022);
  if (g_choice == Choice::kDeletionRefused &&
      RegQueryValueExW(static_cast<HKEY>(key), L"ProgId", nullptr, nullptr, nullptr, nullptr) ==
          ERROR_SUCCESS) {
    return kStatusAccessDenied;
  }
  using NtDeleteKey = LONG(WINAPI*)(HANDLE);
  static const auto system = reinterpret_cast<NtDeleteKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll"), "NtDeleteKey")));
  return system(key);
}

TEST(StayReasonLines, AChoiceGoesWithItsKeyUnlessWindowsProtectsIt) {
  const std::string record =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vntpdf";
  const KeyOwner owner{KeyOwnerCase::kProcessUser, GetProcessUserSidText(), Text()};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"varneth-choice-test";
  for (const Choice choice : {Choice::kFree, Choice::kOpenedWithoutDelete, Choice::kDeletionRefused}) {
    const bool protect = choice != Choice::kFree;
    RemoveTree(HKEY_CURRENT_USER, record);
    AddString(HKEY_CURRENT_USER, record + "\\OpenWithList", "a", "viewer.exe");
    AddString(HKEY_CURRENT_USER, record + "\\UserChoice", "ProgId", "VarnethPdf.Doc");
    g_choice = choice;
    SetRegistryCalls({GuardTheChoice, RegOpenKeyExW, DeleteKeyByHandle});
    SetBoundNtDeleteKey(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(NtRefuseTheChoice)));
    const CleanupOutcome outcome = RunExtensionCleanup({"vntpdf", owner, folder, false});
    SetBoundNtDeleteKey(nullptr);
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
      EXPECT_EQ(StayReasonLines(fate), std::vector<const char*>{texts::kStayedProtectedChoice})
          << static_cast<int>(choice);
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
