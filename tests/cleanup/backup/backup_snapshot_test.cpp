#include "cleanup/backup/backup_snapshot.h"

#include <gtest/gtest.h>

#include "cleanup/backup/backup_guard.h"
#include "registry/registry_names.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

TEST(IsWithinKey, ComparesWholeNamesWithoutLetterCase) {
  EXPECT_TRUE(IsWithinKey(L"SOFTWARE\\Classes\\A", L"software\\classes\\a"));
  EXPECT_TRUE(IsWithinKey(L"SOFTWARE\\Classes\\A\\B", L"SOFTWARE\\Classes\\a"));
  EXPECT_FALSE(IsWithinKey(L"SOFTWARE\\Classes\\AB", L"SOFTWARE\\Classes\\A"));
  EXPECT_FALSE(IsWithinKey(L"SOFTWARE\\Classes", L"SOFTWARE\\Classes\\A"));
}

TEST(TidyKeyPath, ReadsPathsAsTheRegistryDoes) {
  EXPECT_EQ(TidyKeyPath(L"a\\\\b\\"), L"a\\b");
  EXPECT_EQ(TidyKeyPath(L"\\a\\b\\\\"), L"a\\b");
  EXPECT_EQ(TidyKeyPath(L""), L"");
}

BackupSnapshot SnapshotOf(const std::wstring& key, const std::wstring& value) {
  BackupSnapshot snapshot;
  snapshot.ownSidFolded = FoldName(L"S-1-5-21-7");
  AddSnapshotKey(snapshot, key);
  const BYTE data[] = {'x', 0};
  AddSnapshotValue(snapshot, key, value, REG_SZ, data, sizeof data);
  return snapshot;
}

TEST(BackupSnapshot, FindsNamesWithoutRegardToLetterCase) {
  const BackupSnapshot snapshot =
      SnapshotOf(L"HKEY_CURRENT_USER\\Software\\Classes\\.Txt", L"Content Type");
  const std::wstring path = SnapshotPath(snapshot, HKEY_CURRENT_USER, L"software\\CLASSES\\.txt");
  EXPECT_TRUE(SnapshotHoldsKey(snapshot, path));
  EXPECT_NE(FindSnapshotValue(snapshot, path, L"content type"), nullptr);
  EXPECT_EQ(FindSnapshotValue(snapshot, path, L"Content"), nullptr);
  EXPECT_FALSE(SnapshotHoldsKey(
      snapshot, SnapshotPath(snapshot, HKEY_LOCAL_MACHINE, L"Software\\Classes\\.txt")));
  // A trailing or doubled backslash names the same key.
  EXPECT_TRUE(SnapshotHoldsKey(
      snapshot, SnapshotPath(snapshot, HKEY_CURRENT_USER, L"Software\\\\Classes\\.txt\\")));
}

TEST(BackupSnapshot, ReadsTheOwnHiveUnderHkeyUsersAsTheCurrentUser) {
  const BackupSnapshot snapshot = SnapshotOf(L"HKEY_CURRENT_USER\\Software\\x", L"v");
  EXPECT_TRUE(
      SnapshotHoldsKey(snapshot, SnapshotPath(snapshot, HKEY_USERS, L"s-1-5-21-7\\Software\\X")));
  EXPECT_FALSE(
      SnapshotHoldsKey(snapshot, SnapshotPath(snapshot, HKEY_USERS, L"S-1-5-21-70\\Software\\x")));
}

// The plan's paths are code page 936 bytes: a character whose second byte is
// 0x5C stays one character, and a name the code page lacks, substituted by
// "?", names nothing the snapshot holds.
TEST(BackupSnapshot, MatchesTheAnsiPathsOfTheCleanupCharacterForCharacter) {
  if (GetACP() != 936) GTEST_SKIP() << "needs the ANSI code page 936";
  const BackupSnapshot snapshot =
      SnapshotOf(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\\u6DFA\\sub", L"\u6DFA");
  const std::wstring ansi = WidenText("SOFTWARE\\Classes\\\x9C\x5C\\SUB");
  const std::wstring path = SnapshotPath(snapshot, HKEY_LOCAL_MACHINE, ansi);
  EXPECT_TRUE(SnapshotHoldsKey(snapshot, path));
  EXPECT_NE(FindSnapshotValue(snapshot, path, WidenText("\x9C\x5C")), nullptr);

  const BackupSnapshot korean =
      SnapshotOf(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\\uD55C\uAE00", L"\uD55C");
  const std::wstring substituted = WidenText(NarrowText(L"SOFTWARE\\Classes\\\uD55C\uAE00"));
  EXPECT_EQ(substituted, L"SOFTWARE\\Classes\\??");
  EXPECT_FALSE(SnapshotHoldsKey(korean, SnapshotPath(korean, HKEY_LOCAL_MACHINE, substituted)));
}

TEST(IsAsSaved, ComparesTypeSizeAndData) {
  const BYTE data[] = {1, 2, 3, 4};
  const SnapshotValue saved{REG_BINARY, 4, DigestValue(REG_BINARY, data, 4)};
  EXPECT_TRUE(IsAsSaved(&saved, REG_BINARY, data, 4));
  EXPECT_FALSE(IsAsSaved(&saved, REG_DWORD, data, 4));
  EXPECT_FALSE(IsAsSaved(&saved, REG_BINARY, data, 3));
  const BYTE other[] = {1, 2, 3, 5};
  EXPECT_FALSE(IsAsSaved(&saved, REG_BINARY, other, 4));
  EXPECT_FALSE(IsAsSaved(nullptr, REG_BINARY, data, 4));
}

// Windows' choice protection refuses the deletion of UserChoice (and
// UserChoiceLatest) for lack of access while its siblings go; Wine enforces
// no access control, so the decision is tested on deletion results.
TEST(HoldsProtectedChoice, NeedsARefusalForAccessBesideASiblingThatWent) {
  const std::wstring record =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.pdf";
  const KeyDeletionResult list{HKEY_CURRENT_USER, record + L"\\OpenWithList", ERROR_SUCCESS};
  const KeyDeletionResult choice{HKEY_CURRENT_USER, record + L"\\UserChoice", ERROR_ACCESS_DENIED};
  const KeyDeletionResult latest{HKEY_CURRENT_USER, record + L"\\UserChoiceLatest",
                                 ERROR_ACCESS_DENIED};
  EXPECT_TRUE(HoldsProtectedChoice({list, choice}, HKEY_CURRENT_USER, record));
  EXPECT_TRUE(HoldsProtectedChoice({choice, latest, list}, HKEY_CURRENT_USER, record));
  // Nothing could be deleted: no rights at all, not a protected choice.
  EXPECT_FALSE(HoldsProtectedChoice({choice, latest}, HKEY_CURRENT_USER, record));
  // Refused for another reason, or everything went.
  const KeyDeletionResult busy{HKEY_CURRENT_USER, record + L"\\UserChoice",
                               ERROR_SHARING_VIOLATION};
  EXPECT_FALSE(HoldsProtectedChoice({list, busy}, HKEY_CURRENT_USER, record));
  EXPECT_FALSE(HoldsProtectedChoice({list}, HKEY_CURRENT_USER, record));
  // Only keys directly below the record count, under the same root.
  const KeyDeletionResult deep{HKEY_CURRENT_USER, record + L"\\UserChoice\\x", ERROR_ACCESS_DENIED};
  EXPECT_FALSE(HoldsProtectedChoice({list, deep}, HKEY_CURRENT_USER, record));
  const KeyDeletionResult elsewhere{HKEY_USERS, record + L"\\UserChoice", ERROR_ACCESS_DENIED};
  EXPECT_FALSE(HoldsProtectedChoice({list, elsewhere}, HKEY_CURRENT_USER, record));
  const KeyDeletionResult otherExtension{HKEY_CURRENT_USER, record + L"x\\UserChoice",
                                         ERROR_ACCESS_DENIED};
  EXPECT_FALSE(HoldsProtectedChoice({list, otherExtension}, HKEY_CURRENT_USER, record));
}

TEST(EscapedText, WritesWhatTheCodePageLacksAsUnicodeEscapes) {
  if (GetACP() != 936) GTEST_SKIP() << "needs the ANSI code page 936";
  EXPECT_STREQ(EscapedText(L"a\u4E2D\uD55C?").Bytes(), "a\xD6\xD0\\uD55C?");
  EXPECT_STREQ(EscapedText(L"\U0001F600").Bytes(), "\\uD83D\\uDE00");
}

}  // namespace
}  // namespace varneth
