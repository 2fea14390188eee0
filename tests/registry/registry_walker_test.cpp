#include "registry/registry_walker.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scratch_registry.h"

namespace varneth {
namespace {

using namespace testing_support;

constexpr WalkRootCode kCurrentUser = 2;

struct Row {
  std::int32_t kind;
  std::string keyPath;
  std::string name;
};

std::vector<Row> Rows(const RegistryRecordList& records) {
  std::vector<Row> rows;
  for (const RegistryKeyRecord& record : records) {
    rows.push_back({record.kind, record.keyPath.Bytes(), record.value.name.Bytes()});
  }
  return rows;
}

bool operator==(const Row& a, const Row& b) {
  return a.kind == b.kind && a.keyPath == b.keyPath && a.name == b.name;
}

void PrintTo(const Row& row, std::ostream* out) {
  *out << "{" << row.kind << ", " << row.keyPath << ", \"" << row.name << "\"}";
}

void ExpectEmptyValueInfo(const RegistryKeyRecord& record) {
  EXPECT_EQ(record.value.index, 0);
  EXPECT_EQ(record.value.type, 0);
  EXPECT_FALSE(record.value.name.HasBlock());
  EXPECT_EQ(record.value.nameLength, 0);
  EXPECT_FALSE(record.value.data.HasBlock());
  EXPECT_EQ(record.value.dataSize, 0);
}

class WalkRegistryTreeTest : public ScratchKeyTest {
 protected:
  // S holds the value a and the subkeys A and B; A holds the value x and the
  // subkey A1; B holds the subkey B1.
  std::string SeedExampleTree() {
    const std::string s = At("S");
    AddString(HKEY_CURRENT_USER, s, "a", "1");
    AddString(HKEY_CURRENT_USER, s + "\\A", "x", "2");
    AddKey(HKEY_CURRENT_USER, s + "\\A\\A1");
    AddKey(HKEY_CURRENT_USER, s + "\\B\\B1");
    return s;
  }
};

TEST_F(WalkRegistryTreeTest, SubtreeListsEachKeyFollowedByItsValuesAsAStack) {
  const std::string s = SeedExampleTree();
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, s.c_str(), kSubtree, records);
  const std::vector<Row> expected = {
      {2, s, "a"},
      {1, s + "\\A", ""},
      {2, s + "\\A", "x"},
      {1, s + "\\B", ""},
      {1, s + "\\B\\B1", ""},
      {1, s + "\\A\\A1", ""},
  };
  EXPECT_EQ(Rows(records), expected);
  for (const RegistryKeyRecord& record : records) {
    if (record.kind == kKeyRecord) ExpectEmptyValueInfo(record);
  }
  EXPECT_EQ(records[2].value.index, 0);
  EXPECT_EQ(records[2].value.type, REG_SZ);
  EXPECT_EQ(records[2].value.nameLength, 1);
}

// A Chinese character takes two bytes in code page 936: the registry's
// longest name, 255 of them, is 510 bytes, and the siblings after it are
// listed as well.
TEST_F(WalkRegistryTreeTest, TheLongestNameInTwoByteCharactersIsListedWithItsLaterSiblings) {
  const std::string k = At("wide");
  AddKey(HKEY_CURRENT_USER, k + "\\a");
  HKEY parent;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, k.c_str(), 0, KEY_ALL_ACCESS, &parent),
            ERROR_SUCCESS);
  for (const std::wstring& name : {std::wstring(255, L'\u4E2D'), std::wstring(L"\u9F99")}) {
    HKEY made;
    ASSERT_EQ(RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(made);
  }
  RegCloseKey(parent);
  std::string longest;
  for (int i = 0; i < 255; ++i) longest += "\xD6\xD0";
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, k.c_str(), kSubtree, records);
  const std::vector<Row> expected = {
      {1, k + "\\a", ""}, {1, k + "\\" + longest, ""}, {1, k + "\\\xC1\xFA", ""}};
  EXPECT_EQ(Rows(records), expected);
}

TEST_F(WalkRegistryTreeTest, OneLevelListsSubkeysUnopenedThenValues) {
  const std::string s = SeedExampleTree();
  AddString(HKEY_CURRENT_USER, s, nullptr, "default");
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, s.c_str(), kOneLevel, records);
  const std::vector<Row> expected = {
      {1, s + "\\A", ""},
      {1, s + "\\B", ""},
      {2, s, ""},  // the default value
      {2, s, "a"},
  };
  EXPECT_EQ(Rows(records), expected);
}

TEST_F(WalkRegistryTreeTest, OtherModesListNothing) {
  const std::string s = SeedExampleTree();
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, s.c_str(), 2, records);
  EXPECT_TRUE(records.empty());
}

TEST_F(WalkRegistryTreeTest, AMissingStartKeyEmptiesAListThatHeldAnEarlierWalk) {
  const std::string s = SeedExampleTree();
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, s.c_str(), kSubtree, records);
  ASSERT_EQ(records.size(), 6u);
  WalkRegistryTree(kCurrentUser, At("missing").c_str(), kSubtree, records);
  EXPECT_TRUE(records.empty());
  // A second walk replaces the first; nothing accumulates.
  WalkRegistryTree(kCurrentUser, (s + "\\A").c_str(), kSubtree, records);
  WalkRegistryTree(kCurrentUser, (s + "\\A").c_str(), kSubtree, records);
  EXPECT_EQ(records.size(), 2u);
}

TEST_F(WalkRegistryTreeTest, ValueDataIsTrimmedForDwordAndMultiStringOnly) {
  const std::string k = At("types");
  const DWORD number = 0x01020304;
  AddValue(HKEY_CURRENT_USER, k, "1dword", REG_DWORD, &number, sizeof number);
  AddValue(HKEY_CURRENT_USER, k, "2multi", REG_MULTI_SZ, "a\0b\0", 5);
  AddValue(HKEY_CURRENT_USER, k, "3string", REG_SZ, "ab", 3);
  AddValue(HKEY_CURRENT_USER, k, "4emptymulti", REG_MULTI_SZ, "", 0);
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, k.c_str(), kSubtree, records);
  ASSERT_EQ(records.size(), 4u);

  const RegistryValueInfo& dword = records[0].value;
  EXPECT_EQ(dword.type, REG_DWORD);
  EXPECT_EQ(dword.dataSize, 4);
  ASSERT_EQ(BytesLength(dword.data), 4);
  EXPECT_EQ(CompareBytes(dword.data.Data(), &number, 4), 0);

  const RegistryValueInfo& multi = records[1].value;
  EXPECT_EQ(multi.dataSize, 5);
  ASSERT_EQ(BytesLength(multi.data), 5);
  EXPECT_EQ(CompareBytes(multi.data.Data(), "a\0b\0", 5), 0);

  const RegistryValueInfo& text = records[2].value;
  EXPECT_EQ(text.dataSize, 3);
  ASSERT_EQ(BytesLength(text.data), 255);
  EXPECT_EQ(CompareBytes(text.data.Data(), "ab", 3), 0);
  for (int i = 3; i < 255; ++i) ASSERT_EQ(text.data.Data()[i], 0) << i;

  EXPECT_EQ(records[3].value.dataSize, 0);
  EXPECT_FALSE(records[3].value.data.HasBlock());
}

TEST_F(WalkRegistryTreeTest, LongDataAndNamesAreReadWhole) {
  const std::string k = At("long");
  const std::string fits(254, 'd');  // with its NUL, 255 bytes
  const std::string longer(300, 'd');
  AddString(HKEY_CURRENT_USER, k, "1fits", fits);
  AddString(HKEY_CURRENT_USER, k, "2longer", longer);
  AddString(HKEY_CURRENT_USER, k, "3after", "x");
  AddString(HKEY_CURRENT_USER, k + "\\sub", std::string(300, 'o').c_str(), "x");
  // The registry's longest name, made relative to its parent: the ANSI calls
  // take no longer path.
  HKEY sub;
  HKEY longest;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (k + "\\sub").c_str(), 0, KEY_ALL_ACCESS, &sub),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExA(sub, std::string(255, 'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &longest, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(longest);
  RegCloseKey(sub);
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, k.c_str(), kSubtree, records);
  const std::vector<Row> expected = {
      {2, k, "1fits"},
      {2, k, "2longer"},
      {2, k, "3after"},
      {1, k + "\\sub", ""},
      {2, k + "\\sub", std::string(300, 'o')},
      {1, k + "\\sub\\" + std::string(255, 'k'), ""},
  };
  EXPECT_EQ(Rows(records), expected);
  EXPECT_EQ(records[0].value.dataSize, 255);
  EXPECT_EQ(records[1].value.dataSize, 301);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(records[1].value.data.Data()), 300), longer);
  EXPECT_EQ(records[4].value.nameLength, 300);
}

TEST_F(WalkRegistryTreeTest, ProgressCountsEveryRecordWhenAskedFor) {
  const std::string s = SeedExampleTree();
  RegistryRecordList records;
  std::vector<std::int32_t> counts;
  const ProgressRoutine record = [&](std::int32_t count) { counts.push_back(count); };
  WalkRegistryTree(kCurrentUser, s.c_str(), kSubtree, records, record, false);
  EXPECT_TRUE(counts.empty());
  WalkRegistryTree(kCurrentUser, s.c_str(), kSubtree, records, ProgressRoutine(), true);
  WalkRegistryTree(kCurrentUser, s.c_str(), kSubtree, records, record, true);
  EXPECT_EQ(counts, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
}

// Another program deletes a key while the walk goes on: its siblings are
// still listed, none skipped as the platform numbers the rest anew.
TEST_F(WalkRegistryTreeTest, AKeyDeletedDuringTheWalkSkipsNoSibling) {
  const std::string s = At("shifting");
  for (const char* name : {"a", "b", "c"}) AddKey(HKEY_CURRENT_USER, s + "\\" + name);
  const ProgressRoutine deleteFirst = [&](std::int32_t count) {
    if (count == 1) RegDeleteKeyA(HKEY_CURRENT_USER, (s + "\\a").c_str());
  };
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, s.c_str(), kSubtree, records, deleteFirst, true);
  const std::vector<Row> expected = {{1, s + "\\a", ""}, {1, s + "\\b", ""}, {1, s + "\\c", ""}};
  EXPECT_EQ(Rows(records), expected);
}

TEST_F(WalkRegistryTreeTest, DispatchesWaitingMessagesButLeavesWmQuit) {
  const std::string s = SeedExampleTree();
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // gives the thread a queue
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP, 7, 0));
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, s.c_str(), kSubtree, records);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_APP, WM_APP, PM_NOREMOVE));

  PostQuitMessage(3);
  WalkRegistryTree(kCurrentUser, s.c_str(), kSubtree, records);
  EXPECT_EQ(records.size(), 6u);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 3u);
}

TEST_F(WalkRegistryTreeTest, KeysWhoseFullPathIsLongerThanTheAnsiCallsTakeAreListed) {
  // Wine's ANSI registry calls refuse paths of more than 260 characters; the
  // walker opens each key relative to its parent, so only a name's own length
  // counts. The key is made with the wide calls, which have no such limit.
  const std::string s = At("longpath");
  AddKey(HKEY_CURRENT_USER, s + "\\A");
  AddKey(HKEY_CURRENT_USER, s + "\\C");
  const std::string longName(250, 'B');
  const std::wstring wide(s.begin(), s.end());
  const std::wstring longChild = wide + L"\\" + std::wstring(longName.begin(), longName.end()) + L"\\B1";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, longChild.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, s.c_str(), kSubtree, records);
  const std::vector<Row> expected = {{1, s + "\\A", ""},
                                     {1, s + "\\" + longName, ""},
                                     {1, s + "\\C", ""},
                                     {1, s + "\\" + longName + "\\B1", ""}};
  EXPECT_EQ(Rows(records), expected);
}

TEST_F(WalkRegistryTreeTest, RootWalkListsTheRootsSubkeys) {
  // HKEY_CURRENT_CONFIG (code 6) is small enough to walk whole.
  RegistryRecordList oneLevel;
  WalkRegistryTree(6, "", kOneLevel, oneLevel);
  RegistryRecordList subtree;
  WalkRegistryTree(6, Text(), kSubtree, subtree);
  std::vector<std::string> reference;
  char name[256];
  for (DWORD i = 0; RegEnumKeyA(HKEY_CURRENT_CONFIG, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    reference.push_back(name);
  }
  ASSERT_FALSE(reference.empty());
  std::vector<std::string> listed;
  for (const RegistryKeyRecord& record : oneLevel) {
    if (record.kind == kKeyRecord) listed.push_back(record.keyPath.Bytes());
  }
  EXPECT_EQ(listed, reference);
  ASSERT_GE(subtree.size(), reference.size());
  for (size_t i = 0; i < reference.size(); ++i) {
    EXPECT_EQ(std::string(subtree[i].keyPath.Bytes()), reference[i]);
  }
  // Below the root level, every key path starts with a listed root child.
  for (const RegistryKeyRecord& record : subtree) {
    const std::string path = record.keyPath.Bytes();
    EXPECT_NE(std::find(reference.begin(), reference.end(), path.substr(0, path.find('\\'))),
              reference.end())
        << path;
  }
}

// Wine's process handle count does not see registry handles, but Wine hands
// out the lowest free handles: a key the walk left open takes one of them,
// and the next handles opened move. (Windows reuses handles in another order,
// so this is Wine's check.)
TEST_F(WalkRegistryTreeTest, ClosesEveryKeyItOpensInEitherMode) {
  if (GetProcAddress(GetModuleHandleA("ntdll"), "wine_get_version") == nullptr) {
    GTEST_SKIP() << "relies on Wine's lowest-free handle allocation";
  }
  AddString(HKEY_CURRENT_USER, At("one\\a\\b"), "v", "x");
  AddString(HKEY_CURRENT_USER, At("one"), "w", "y");
  // The next 32 handles, all open at once.
  const auto nextHandles = [this] {
    std::vector<HKEY> probes(32);
    for (HKEY& probe : probes) {
      EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, At("").c_str(), 0, KEY_READ, &probe),
                ERROR_SUCCESS);
    }
    for (HKEY probe : probes) RegCloseKey(probe);
    return probes;
  };
  const std::vector<HKEY> before = nextHandles();
  for (const std::int32_t mode : {kOneLevel, kSubtree}) {
    RegistryRecordList records;
    WalkRegistryTree(kCurrentUser, At("one").c_str(), mode, records);
    EXPECT_FALSE(records.empty());
    EXPECT_EQ(nextHandles(), before) << "mode " << mode;
  }
}

TEST_F(WalkRegistryTreeTest, LeavesNoHandleOpen) {
  // 1,000 keys, ten to a parent, three levels deep.
  for (int i = 0; i < 10; ++i) {
    for (int j = 0; j < 10; ++j) {
      for (int k = 0; k < 9; ++k) {
        AddKey(HKEY_CURRENT_USER, At("big\\" + std::to_string(i) + "\\" + std::to_string(j) + "\\" +
                                     std::to_string(k)));
      }
    }
  }
  RegistryRecordList records;
  WalkRegistryTree(kCurrentUser, At("big").c_str(), kSubtree, records);
  ASSERT_EQ(records.size(), 10u + 100u + 900u);
  DWORD before = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
  for (int round = 0; round < 50; ++round) {
    WalkRegistryTree(kCurrentUser, At("big").c_str(), kSubtree, records);
    WalkRegistryTree(kCurrentUser, At("big").c_str(), kOneLevel, records);
  }
  DWORD after = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace varneth
