#include "registry/ansi_path.h"

#include <gtest/gtest.h>

#include <string>

#include "registry/registry_delete.h"
#include "registry/registry_names.h"
#include "registry/registry_open.h"
#include "registry/registry_tree_delete.h"
#include "registry/registry_walker.h"
#include "runtime/wide_text.h"
#include "scratch_registry.h"

namespace varneth {
namespace {

using namespace testing_support;

// Names whose characters end in the byte 0x5C in their code page (at the
// end, in the middle, alone), and one of 255 characters of three bytes each
// in UTF-8. The registry's part runs for the rows of the process's ANSI code
// page (the test runs under each locale).
struct NameCase {
  UINT codePage;
  std::wstring name;
};
const NameCase kNames[] = {
    {936, L"vnt\u6DFA"},     {936, L"a\u6DFAb"},  {936, L"\u6DFA"},  // 淺 9C 5C
    {932, L"vnt\u8868"},     {932, L"a\u30BDb"},  {932, L"\u8868"},  // 表 95 5C, ソ 83 5C
    {950, L"vnt\u8A31"},     {950, L"a\u8A31b"},  {950, L"\u8A31"},  // 許 B3 5C
    {65001, std::wstring(255, L'\u4E2D')},                          // 中 E4 B8 AD
};

std::string InCodePage(const std::wstring& wide, UINT codePage) {
  std::string bytes(wide.size() * 3, '\0');
  bytes.resize(WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                   bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                   nullptr));
  return bytes;
}

TEST(AnsiPathNames, SeparatorsAreFoundByCharacters) {
  for (const NameCase& c : kNames) {
    const std::string name = InCodePage(c.name, c.codePage);
    SCOPED_TRACE(c.codePage);
    const std::string path = "k\\" + name + "\\" + name;
    EXPECT_EQ(NextSeparatorA(path, 2, c.codePage), 2 + name.size());
    EXPECT_EQ(LastSeparatorA(path, c.codePage), 2 + name.size());
    EXPECT_EQ(LastSeparatorA(name, c.codePage), std::string::npos);
    EXPECT_EQ(TrimmedLengthA(path + "\\\\", c.codePage), path.size());
    EXPECT_EQ(TrimmedLengthA(name, c.codePage), name.size());
  }
}

// Through the wide calls, which take paths of any length.
void AddValue(const std::string& path, const std::string& name) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, WidenText(path.c_str()).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, WidenText(name.c_str()).c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(L"x"), 4);
  RegCloseKey(key);
}
bool Holds(const std::string& path, const char* name = nullptr) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, WidenText(path.c_str()).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  const bool holds = name == nullptr || RegQueryValueExW(key, WidenText(name).c_str(), nullptr,
                                                         nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return holds;
}

class AnsiPathNamesInRegistry : public ScratchKeyTest {};

TEST_F(AnsiPathNamesInRegistry, EveryPathOperationTakesTheNameWhole) {
  int tried = 0;
  for (const NameCase& c : kNames) {
    if (c.codePage != GetACP()) continue;
    ++tried;
    const std::string name = InCodePage(c.name, CP_ACP);
    SCOPED_TRACE(name.size());
    const std::string key = At(name);
    const std::string item = key + "\\" + name;
    AddValue(item, name);
    AddValue(key, name);
    AddValue(key, "keep");

    const ItemPathParts parts = SplitItemPath(item.c_str());
    EXPECT_EQ(parts.keyPath.Bytes(), key);
    EXPECT_EQ(parts.valueName.Bytes(), name);
    EXPECT_EQ(ParentLengthA(item + "\\"), key.size());
    RegistryKey opened;
    EXPECT_EQ(OpenWithoutLinksA(HKEY_CURRENT_USER, item, key.size(), KEY_READ, opened),
              ERROR_SUCCESS);

    // Listed whole, and not ended by a name longer than two bytes a unit.
    AddValue(key + "\\z", "");
    RegistryRecordList records;
    WalkRegistryTree(2, key.c_str(), kSubtree, records);
    int found = 0;
    for (const RegistryKeyRecord& record : records) {
      if (record.keyPath.Bytes() == item && record.value.name.Bytes() == name) ++found;
      if (record.keyPath.Bytes() == key + "\\z" && record.kind == kKeyRecord) ++found;
    }
    EXPECT_EQ(found, 2);

    // The value of that name goes, not the key of that name, nor another.
    EXPECT_TRUE(DeleteRegistryItem(3, item.c_str()));
    EXPECT_FALSE(Holds(key, name.c_str()));
    EXPECT_TRUE(Holds(item, name.c_str()));
    EXPECT_TRUE(Holds(key, "keep"));
    // The tree goes whole, named with a trailing separator.
    EXPECT_TRUE(DeleteRegistryTree(3, (key + "\\").c_str()));
    EXPECT_FALSE(Holds(key));
  }
  EXPECT_GT(tried, 0);
}

TEST(AnsiPathNames, TheLinkValueIsToldAsTheRegistryComparesNames) {
  // Whatever the locale (under a Turkish one, a locale's case rules make
  // I and i two letters).
  EXPECT_TRUE(IsLinkTargetValue("SYMBOLICLINKVALUE", REG_LINK));
  EXPECT_TRUE(IsLinkTargetValue("symboliclinkvalue", REG_LINK));
  EXPECT_FALSE(IsLinkTargetValue("SymbolicLinkValue", REG_SZ));
  EXPECT_EQ(FoldName(L"symboliclinkvalue"), FoldName(L"SYMBOLICLINKVALUE"));
}

}  // namespace
}  // namespace varneth
