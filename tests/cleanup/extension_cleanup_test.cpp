#include "cleanup/extension_cleanup.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it relies on.
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "cleanup/backup/backup_file.h"
#include "cleanup/backup/backup_guard.h"
#include "cleanup/cleanup_plan.h"
#include "registry/registry_export.h"
#include "registry/registry_open.h"
#include "scratch_registry.h"
#include "probes/process_token.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

using namespace testing_support;

std::vector<std::string> g_events;

BOOL WINAPI RecordFlush(HANDLE file) {
  g_events.push_back("flush");
  return FlushFileBuffers(file);
}

BOOL WINAPI RecordClose(HANDLE file) {
  g_events.push_back("close");
  return CloseHandle(file);
}

// A network folder's delayed write fails at the flush or at the close.
BOOL WINAPI FailingFlush(HANDLE file) {
  FlushFileBuffers(file);
  SetLastError(ERROR_NETNAME_DELETED);
  return FALSE;
}

BOOL WINAPI FailingClose(HANDLE file) {
  CloseHandle(file);
  SetLastError(ERROR_NETNAME_DELETED);
  return FALSE;
}

void RecordPlanCall(const char* call, std::int32_t, const char*) {
  if (std::string(call) == "delete") g_events.push_back("delete");
}

std::wstring TestFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"varneth-flush-test";
}

CleanupOutcome CleanIntoTestFolder(const char* extension) {
  const KeyOwner owner{KeyOwnerCase::kProcessUser, GetProcessUserSidText(), Text()};
  return RunExtensionCleanup({extension, owner, TestFolder(), false});
}

// The backup is on disk, flushed and closed, before the plan deletes
// anything: what it holds cannot be lost with what is deleted.
TEST(RunExtensionCleanup, FlushesAndClosesTheBackupBeforeTheFirstDeletion) {
  const std::string key = "Software\\Classes\\.vntflush";
  RemoveTree(HKEY_CURRENT_USER, key);
  AddString(HKEY_CURRENT_USER, key, "v", "saved first");

  g_events.clear();
  SetBackupFileCalls({RecordFlush, RecordClose});
  SetCleanupPlanObserver(RecordPlanCall);
  const CleanupOutcome outcome = CleanIntoTestFolder("vntflush");
  SetCleanupPlanObserver(nullptr);
  SetBackupFileCalls({});

  EXPECT_EQ(outcome.result, CleanupResult::kRemoved);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
  ASSERT_GE(g_events.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(g_events.begin(), g_events.begin() + 3),
            (std::vector<std::string>{"flush", "close", "delete"}));
  DeleteFileW(outcome.backupPath.c_str());
  RemoveDirectoryW(TestFolder().c_str());
}

TEST(RunExtensionCleanup, ABackupThatFailsToFlushOrCloseIsRemovedAndNothingIsDeleted) {
  const std::string key = "Software\\Classes\\.vntflush";
  for (const BackupFileCalls& calls : {BackupFileCalls{FailingFlush, CloseHandle},
                                       BackupFileCalls{FlushFileBuffers, FailingClose}}) {
    AddString(HKEY_CURRENT_USER, key, "v", "kept");
    SetBackupFileCalls(calls);
    const CleanupOutcome outcome = CleanIntoTestFolder("vntflush");
    SetBackupFileCalls({});
    EXPECT_EQ(outcome.result, CleanupResult::kBackupFailed);
    EXPECT_EQ(outcome.backupError, static_cast<DWORD>(ERROR_NETNAME_DELETED));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key, "v"));
    EXPECT_TRUE(RemoveDirectoryW(TestFolder().c_str())) << "a file was left behind";
  }
  RemoveTree(HKEY_CURRENT_USER, key);
}

// Another user's keys are saved by their HKEY_USERS paths, so the backup
// restores them into that user's hives, and the deletions, bounded by that
// backup, reach them there; the process's own keys are not touched.
TEST(RunExtensionCleanup, SavesAndRemovesAnotherUsersKeysByTheirHkeyUsersPaths) {
  const std::string other = "S-1-5-21-4711-4711-4711-1002";
  const std::string classKey = other + "_Classes\\.vntother";
  const std::string record =
      other + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vntother";
  const std::string ownClassKey = "Software\\Classes\\.vntother";
  AddString(HKEY_USERS, classKey, nullptr, "theirs");
  AddString(HKEY_USERS, record + "\\UserChoice", "Progid", "theirs");
  AddString(HKEY_CURRENT_USER, ownClassKey, nullptr, "own");
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"varneth-other-user-test";
  const KeyOwner owner{KeyOwnerCase::kDesktopUser, CopyText(other.c_str()), Text()};

  const CleanupOutcome outcome = RunExtensionCleanup({"vntother", owner, folder, false});

  EXPECT_EQ(outcome.result, CleanupResult::kRemoved);
  EXPECT_FALSE(KeyExists(HKEY_USERS, classKey));
  EXPECT_FALSE(KeyExists(HKEY_USERS, record));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ownClassKey));
  std::vector<std::string> saved;
  for (const TargetFate& fate : outcome.targets) {
    saved.push_back(NarrowText(FullKeyPath(fate.target)).Bytes());
  }
  // The backup saves each target under this name.
  EXPECT_EQ(saved, (std::vector<std::string>{"HKEY_USERS\\" + record,
                                             "HKEY_USERS\\" + classKey}));
  DeleteFileW(outcome.backupPath.c_str());
  RemoveDirectoryW(folder.c_str());
  RemoveTree(HKEY_USERS, other);
  RemoveTree(HKEY_USERS, other + "_Classes");
  RemoveTree(HKEY_CURRENT_USER, ownClassKey);
}

// Names a value with a NUL inside, as only the native call can.
void SetValueNamedWithANul(const std::string& path, const std::wstring& name) {
  struct CountedName {
    USHORT length, room;
    const wchar_t* buffer;
  };
  using SetValue = LONG(WINAPI*)(HANDLE, const CountedName*, ULONG, ULONG, const void*, ULONG);
  const auto set = reinterpret_cast<SetValue>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll"), "NtSetValueKey")));
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  const CountedName counted{bytes, bytes, name.data()};
  const DWORD data = 1;
  EXPECT_EQ(set(key, &counted, 0, REG_DWORD, &data, sizeof data), 0);
  RegCloseKey(key);
}

TEST(RunExtensionCleanup, TheDryRunJudgesAPlaceAsTheRunThenLeavesIt) {
  // A name the backup cannot carry (a NUL) and one code page 936 cannot
  // hold (Korean) stay, with the keys above them; the rest goes.
  const std::string place = "Software\\Classes\\.vntjudge";
  RemoveTree(HKEY_CURRENT_USER, place);
  AddString(HKEY_CURRENT_USER, place + "\\plain", "v", "x");
  SetValueNamedWithANul(place, std::wstring(L"a\0b", 3));
  HKEY korean;
  const std::wstring koreanPath = WidenText(place.c_str()) + L"\\sub\\\uD55C";
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, koreanPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &korean, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(korean);
  const KeyOwner owner{KeyOwnerCase::kProcessUser, GetProcessUserSidText(), Text()};

  const CleanupOutcome dry = RunExtensionCleanup({"vntjudge", owner, TestFolder(), true});
  const CleanupOutcome real = RunExtensionCleanup({"vntjudge", owner, TestFolder(), false});

  ASSERT_EQ(dry.targets.size(), 1u);
  ASSERT_EQ(real.targets.size(), 1u);
  EXPECT_EQ(real.result, CleanupResult::kPartlyRemoved);
  for (const TargetFate* fate : {&dry.targets[0], &real.targets[0]}) {
    EXPECT_TRUE(fate->stayed);
    EXPECT_TRUE(fate->why.uncarriedName);
    EXPECT_TRUE(fate->why.unreachableName);
    EXPECT_FALSE(fate->why.changedDuringRun);
    // .vntjudge, sub and its Korean key stay with the NUL-named value; plain
    // and its value go.
    EXPECT_EQ(fate->left.keys, 3);
    EXPECT_EQ(fate->left.values, 1);
    EXPECT_EQ(fate->gone.keys, 1);
    EXPECT_EQ(fate->gone.values, 1);
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, place + "\\plain"));
  // The backup holds no line of the NUL-named value.
  HANDLE file = CreateFileW(real.backupPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  std::wstring text(4096, L'\0');
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
  CloseHandle(file);
  text.resize(read / sizeof(wchar_t));
  EXPECT_NE(text.find(L"\\plain]"), std::wstring::npos);
  EXPECT_EQ(text.find(L"\"a"), std::wstring::npos);
  DeleteFileW(real.backupPath.c_str());
  RemoveDirectoryW(TestFolder().c_str());
  RemoveTree(HKEY_CURRENT_USER, place);
}

// The peak working set: Wine keeps no peak of committed memory.
SIZE_T PeakMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakWorkingSetSize;
}

TEST(RunExtensionCleanup, SixtyMebibytesBelowAPlaceGoWithoutBeingHeldWhole) {
  const std::string place = "Software\\Classes\\.vntbig";
  RemoveTree(HKEY_CURRENT_USER, place);
  constexpr int kValues = 60;
  constexpr DWORD kSize = 1 << 20;
  {
    std::vector<BYTE> data(kSize, 0x5A);
    for (int i = 0; i < kValues; ++i) {
      const std::string name = std::to_string(i);
      AddValue(HKEY_CURRENT_USER, place, name.c_str(), REG_BINARY, data.data(), kSize);
    }
  }
  const KeyOwner owner{KeyOwnerCase::kProcessUser, GetProcessUserSidText(), Text()};
  const SIZE_T before = PeakMemory();
  const CleanupOutcome outcome = RunExtensionCleanup({"vntbig", owner, TestFolder(), false});
  const SIZE_T growth = PeakMemory() - before;

  EXPECT_EQ(outcome.result, CleanupResult::kRemoved);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, place));
  WIN32_FILE_ATTRIBUTE_DATA file{};
  ASSERT_TRUE(GetFileAttributesExW(outcome.backupPath.c_str(), GetFileExInfoStandard, &file));
  // Each byte is "xx," in UTF-16: six bytes of file.
  EXPECT_GT(file.nFileSizeLow + (static_cast<ULONGLONG>(file.nFileSizeHigh) << 32),
            6ull * kValues * kSize);
  // The export's text (360 MiB) or a second copy of the data (60 MiB) is never held.
  EXPECT_LT(growth, 40u << 20) << growth;
  DeleteFileW(outcome.backupPath.c_str());
  RemoveDirectoryW(TestFolder().c_str());
}

class GuardedDeletion : public ScratchKeyTest {
 protected:
  // Saves the scratch tree as a backup would and gives back its snapshot.
  BackupSnapshot Saved() {
    BackupSnapshot snapshot;
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, At("").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    std::wstring text;
    ExportCounts counts;
    const ExportVisitor visitor = SnapshotVisitor(snapshot);
    ExportKeyTree(key, L"HKEY_CURRENT_USER\\" + WidenText(At("").c_str()), text, counts, &visitor);
    RegCloseKey(key);
    return snapshot;
  }

  bool Delete(const BackupSnapshot& snapshot, const std::string& path) {
    BackupGuard guard;
    guard.snapshot = &snapshot;
    const DeletionCheck check = GuardDeletions(guard);
    return DeleteRegistryItem(3, At(path).c_str(), &check);
  }
};

TEST_F(GuardedDeletion, AKeyGoesOnlyWithWhatTheBackupHolds) {
  AddString(HKEY_CURRENT_USER, At("k"), "v", "saved");
  const BackupSnapshot snapshot = Saved();

  AddString(HKEY_CURRENT_USER, At("k"), "new", "written during the run");
  EXPECT_FALSE(Delete(snapshot, "k"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, At("k"), "new"));

  RegDeleteKeyValueA(HKEY_CURRENT_USER, At("k").c_str(), "new");
  AddKey(HKEY_CURRENT_USER, At("k\\child"));  // the platform refuses a key with subkeys
  EXPECT_FALSE(Delete(snapshot, "k\\"));
  RemoveTree(HKEY_CURRENT_USER, At("k\\child"));
  AddKey(HKEY_CURRENT_USER, At("empty"));  // nothing in it to check but the key itself
  EXPECT_FALSE(Delete(snapshot, "empty\\"));

  // Values still there because their own deletion failed are fine as saved.
  EXPECT_TRUE(Delete(snapshot, "k\\"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, At("k")));
}

TEST_F(GuardedDeletion, AValueGoesOnlyAsSaved) {
  AddString(HKEY_CURRENT_USER, At(""), "v", "saved");
  AddString(HKEY_CURRENT_USER, At("k"), "w", "saved");
  const BackupSnapshot snapshot = Saved();

  AddString(HKEY_CURRENT_USER, At(""), "v", "changed during the run");
  AddString(HKEY_CURRENT_USER, At(""), "unsaved", "new");
  EXPECT_FALSE(Delete(snapshot, "v"));
  EXPECT_FALSE(Delete(snapshot, "unsaved"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, At(""), "v"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, At(""), "unsaved"));
  // Letter case does not matter, as in the registry.
  EXPECT_TRUE(Delete(snapshot, "K\\W"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, At("k"), "w"));
}

// Every call that names a key, under any root, asks for the 64-bit view, so
// that a 32-bit Varneth on 64-bit Windows works on the keys Explorer reads.
struct ViewCalls {
  int opensA = 0, opensW = 0, deletions = 0, withoutView = 0, moreThanNeeded = 0;
  std::vector<HKEY> deletable;  // opened with DELETE, as themselves
  int deletedOtherwise = 0;     // a key deleted through any other handle
  int deletableByPath = 0;      // opened with DELETE by more than one name
};
ViewCalls g_view;

void NoteOpen(DWORD options, REGSAM access, LONG status, HKEY key, bool oneName) {
  if ((access & KEY_WOW64_64KEY) == 0) ++g_view.withoutView;
  // Value changes and deletions need no rights over the key's security, its
  // subkeys' creation or links.
  if ((access & (WRITE_DAC | WRITE_OWNER | KEY_CREATE_LINK | KEY_CREATE_SUB_KEY)) != 0) {
    ++g_view.moreThanNeeded;
  }
  if (status == ERROR_SUCCESS && (access & DELETE) != 0 && (options & REG_OPTION_OPEN_LINK) != 0) {
    g_view.deletable.push_back(key);
    if (!oneName) ++g_view.deletableByPath;
  }
}
LONG WINAPI OpenA(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
  ++g_view.opensA;
  const LONG status = RegOpenKeyExA(root, path, options, access, key);
  NoteOpen(options, access, status, *key, path == nullptr || std::strchr(path, '\\') == nullptr);
  return status;
}
LONG WINAPI OpenW(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
  ++g_view.opensW;
  const LONG status = RegOpenKeyExW(root, path, options, access, key);
  NoteOpen(options, access, status, *key, path == nullptr || std::wcschr(path, L'\\') == nullptr);
  return status;
}
LONG WINAPI DeleteByHandle(HKEY key) {
  ++g_view.deletions;
  const auto& opened = g_view.deletable;
  if (std::find(opened.begin(), opened.end(), key) == opened.end()) ++g_view.deletedOtherwise;
  return DeleteKeyByHandle(key);
}

TEST(RunExtensionCleanup, DeletesThroughCheckedHandlesWithTheLeastAccessInTheView) {
  const std::string cls = "SOFTWARE\\Classes\\VarnethView.Doc";
  const std::string list =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vntview";
  RemoveTree(HKEY_LOCAL_MACHINE, cls);
  AddString(HKEY_LOCAL_MACHINE, cls + "\\shell\\open\\command", "", "editor.exe");
  AddString(HKEY_CURRENT_USER, list + "\\OpenWithProgids", "VarnethView.Doc", "");
  AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vntview\\OpenWithProgids", "VarnethView.Doc", "");
  AddString(HKEY_CURRENT_USER, "Software\\Classes\\.vntview\\sub", "v", "x");
  // A value named like the place, in the key above it: both go.
  AddString(HKEY_CURRENT_USER, "Software\\Classes", ".vntview", "same name");
  const KeyOwner owner{KeyOwnerCase::kProcessUser, GetProcessUserSidText(), Text()};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"varneth-view-test";

  g_view = {};
  SetRegistryCalls({OpenA, OpenW, DeleteByHandle});
  const CleanupOutcome outcome = RunExtensionCleanup({"vntview", owner, folder, false});
  SetRegistryCalls({});

  EXPECT_EQ(outcome.result, CleanupResult::kRemoved);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, cls));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\.vntview"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, "Software\\Classes", ".vntview"));
  EXPECT_GT(g_view.opensA, 0);
  EXPECT_GT(g_view.opensW, 0);
  EXPECT_GE(g_view.deletions, 6);  // the class's four keys, the list, .vntview\sub, ...
  EXPECT_EQ(g_view.withoutView, 0);
  EXPECT_EQ(g_view.moreThanNeeded, 0);
  EXPECT_EQ(g_view.deletedOtherwise, 0);
  // Each key to delete is opened relative to its parent.
  EXPECT_EQ(g_view.deletableByPath, 0);
  RemoveTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vntview");
  DeleteFileW(outcome.backupPath.c_str());
  RemoveDirectoryW(folder.c_str());
}

// Another program's write in the instant between a key's last check and its
// deletion: on the n-th look at what a key holds, once.
struct LateWrite {
  int atLook = 0;
  const wchar_t* name = nullptr;
  bool denyValueWrites = false;
};
LateWrite g_late;
int g_looks = 0;
constexpr wchar_t kLatePlace[] = L"Software\\Classes\\.vntlate";

LONG WINAPI WriteAtTheInstant(HKEY key, LPWSTR c, LPDWORD cl, LPDWORD r, LPDWORD subkeys,
                              LPDWORD ms, LPDWORD mc, LPDWORD values, LPDWORD mv, LPDWORD md,
                              LPDWORD sd, PFILETIME written) {
  if (++g_looks == g_late.atLook) {
    HKEY other;
    RegOpenKeyExW(HKEY_CURRENT_USER, kLatePlace, 0, KEY_SET_VALUE, &other);
    RegSetValueExW(other, g_late.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    RegCloseKey(other);
  }
  return RegQueryInfoKeyW(key, c, cl, r, subkeys, ms, mc, values, mv, md, sd, written);
}
LONG WINAPI OpenWithoutValueWrites(HKEY parent, LPCSTR path, DWORD options, REGSAM access,
                                   PHKEY key) {
  if (g_late.denyValueWrites && path != nullptr && std::strcmp(path, ".vntlate") == 0 &&
      (access & KEY_SET_VALUE) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  return RegOpenKeyExA(parent, path, options, access, key);
}

TEST(RunExtensionCleanup, AValueWrittenJustBeforeTheDeletionKeepsTheKey) {
  const KeyOwner owner{KeyOwnerCase::kProcessUser, GetProcessUserSidText(), Text()};
  struct Case {
    LateWrite late;
    bool changedDuringRun;  // what it holds now is not all in the backup
  };
  const Case cases[] = {
      {{1, L"late"}, true},        // a new value in a key emptied of its values
      {{1, L"v"}, false},          // a saved value written back as it was
      {{2, L"late", true}, true},  // a key that grants no value deletion (a protected choice)
  };
  for (const Case& c : cases) {
    RemoveTree(HKEY_CURRENT_USER, "Software\\Classes\\.vntlate");
    AddString(HKEY_CURRENT_USER, "Software\\Classes\\.vntlate", "v", "x");
    g_late = c.late;
    g_looks = 0;
    SCOPED_TRACE(g_late.atLook);
    RegistryCalls calls;
    calls.openA = OpenWithoutValueWrites;
    calls.queryInfo = WriteAtTheInstant;
    SetRegistryCalls(calls);
    const CleanupOutcome outcome = RunExtensionCleanup({"vntlate", owner, TestFolder(), false});
    SetRegistryCalls({});

    ASSERT_EQ(outcome.targets.size(), 1u);
    const TargetFate& fate = outcome.targets[0];
    EXPECT_TRUE(fate.stayed);
    EXPECT_EQ(fate.why.changedDuringRun, c.changedDuringRun);
    EXPECT_EQ(fate.why.writtenBeforeDeletion, !c.changedDuringRun);
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, "Software\\Classes\\.vntlate",
                            NarrowText(c.late.name).Bytes()));
    DeleteFileW(outcome.backupPath.c_str());
  }
  RemoveTree(HKEY_CURRENT_USER, "Software\\Classes\\.vntlate");
}

}  // namespace
}  // namespace varneth
