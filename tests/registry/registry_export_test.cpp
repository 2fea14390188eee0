#include "registry/registry_export.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "registry/registry_key.h"
#include "scratch_registry.h"

namespace varneth {
namespace {

using namespace testing_support;

std::wstring Line(const std::wstring& name, DWORD type, const void* data, DWORD size) {
  std::wstring out;
  AppendValueLine(out, name, type, static_cast<const BYTE*>(data), size);
  return out;
}

std::wstring StringLine(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
  return Line(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

TEST(AppendValueLine, EscapesBackslashesAndQuotesInNamesAndStrings) {
  EXPECT_EQ(StringLine(L"", L"C:\\path\\"), L"@=\"C:\\\\path\\\\\"\r\n");
  EXPECT_EQ(StringLine(L"q\"uote\\name", L"say \"hi\""),
            L"\"q\\\"uote\\\\name\"=\"say \\\"hi\\\"\"\r\n");
  EXPECT_EQ(StringLine(L"@", L""), L"\"@\"=\"\"\r\n");
  EXPECT_EQ(StringLine(L"a=b]c", L"中文"), L"\"a=b]c\"=\"中文\"\r\n");
}

TEST(AppendValueLine, AStringThatIsNotCleanIsWrittenAsHexOne) {
  // Line breaks: not every importer reads them back from a quoted string.
  EXPECT_EQ(StringLine(L"n", L"a\nb"), L"\"n\"=hex(1):61,00,0a,00,62,00,00,00\r\n");
  EXPECT_EQ(StringLine(L"n", L"a\rb"), L"\"n\"=hex(1):61,00,0d,00,62,00,00,00\r\n");
  // No terminating NUL, a NUL inside, an odd size, no data at all.
  EXPECT_EQ(Line(L"n", REG_SZ, L"ab", 4), L"\"n\"=hex(1):61,00,62,00\r\n");
  EXPECT_EQ(Line(L"n", REG_SZ, L"a\0b", 8), L"\"n\"=hex(1):61,00,00,00,62,00,00,00\r\n");
  EXPECT_EQ(Line(L"n", REG_SZ, L"ab", 3), L"\"n\"=hex(1):61,00,62\r\n");
  EXPECT_EQ(Line(L"n", REG_SZ, nullptr, 0), L"\"n\"=hex(1):\r\n");
}

TEST(AppendValueLine, EveryTypeHasItsForm) {
  const DWORD dword = 0x89ABCDEF;
  EXPECT_EQ(Line(L"d", REG_DWORD, &dword, 4), L"\"d\"=dword:89abcdef\r\n");
  const DWORD small = 7;
  EXPECT_EQ(Line(L"d", REG_DWORD, &small, 4), L"\"d\"=dword:00000007\r\n");
  EXPECT_EQ(Line(L"d", REG_DWORD, &small, 3), L"\"d\"=hex(4):07,00,00\r\n");
  const unsigned char bytes[] = {0x01, 0xFF};
  EXPECT_EQ(Line(L"b", REG_BINARY, bytes, 2), L"\"b\"=hex:01,ff\r\n");
  EXPECT_EQ(Line(L"b", REG_BINARY, bytes, 0), L"\"b\"=hex:\r\n");
  EXPECT_EQ(Line(L"x", REG_QWORD, bytes, 2), L"\"x\"=hex(b):01,ff\r\n");
  EXPECT_EQ(Line(L"x", REG_NONE, bytes, 0), L"\"x\"=hex(0):\r\n");
  EXPECT_EQ(Line(L"x", 0x100, bytes, 1), L"\"x\"=hex(100):01\r\n");
  EXPECT_EQ(Line(L"x", 0xFFFFFFFF, bytes, 1), L"\"x\"=hex(ffffffff):01\r\n");
  EXPECT_EQ(StringLine(L"e", L"%x%", REG_EXPAND_SZ), L"\"e\"=hex(2):25,00,78,00,25,00,00,00\r\n");
}

TEST(AppendValueLine, LongHexDataIsWrappedWithinEightyColumns) {
  std::string data(300, '\x5A');
  const std::wstring line = Line(L"binary", REG_BINARY, data.data(), 300);
  size_t start = 0;
  int lines = 0;
  std::wstring joined;
  while (start < line.size()) {
    const size_t end = line.find(L"\r\n", start);
    const std::wstring one = line.substr(start, end - start);
    EXPECT_LE(one.size(), 80u) << lines;
    if (lines > 0) {
      EXPECT_EQ(one.substr(0, 2), L"  ");
    }
    joined += (lines > 0 ? one.substr(2) : one);
    if (!joined.empty() && joined.back() == L'\\') joined.pop_back();
    start = end + 2;
    ++lines;
  }
  EXPECT_GT(lines, 10);
  std::wstring expected = L"\"binary\"=hex:";
  for (int i = 0; i < 300; ++i) expected += i == 0 ? L"5a" : L",5a";
  EXPECT_EQ(joined, expected);
}

class ExportKeyTreeTest : public ScratchKeyTest {
 protected:
  std::wstring Export(ExportStatus* status = nullptr, ExportCounts* counts = nullptr) {
    RegistryKey key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, scratch_.c_str(), 0, KEY_READ, key.Put()),
              ERROR_SUCCESS);
    std::wstring out;
    ExportCounts ignored;
    const ExportStatus result =
        ExportKeyTree(key.Get(), L"HKEY_CURRENT_USER\\T", out, counts ? *counts : ignored);
    if (status != nullptr) *status = result;
    return out;
  }
};

TEST_F(ExportKeyTreeTest, WritesParentsBeforeChildrenWithValuesOfAnySize) {
  const std::string longName(300, 'n');  // past the walker's 255-byte buffers
  const std::string bigData(5000, 'd');
  AddString(HKEY_CURRENT_USER, At(""), longName.c_str(), bigData);
  AddString(HKEY_CURRENT_USER, At("a\\b"), nullptr, "deep");
  // Too long a path for the ANSI calls: made with the wide ones.
  HKEY key;
  const std::wstring longKey =
      std::wstring(scratch_.begin(), scratch_.end()) + L"\\" + std::wstring(255, L'k');
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, longKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  ExportStatus status;
  ExportCounts counts;
  const std::wstring out = Export(&status, &counts);
  EXPECT_TRUE(status.Complete());
  EXPECT_EQ(counts.keys, 4);
  EXPECT_EQ(counts.values, 2);
  const size_t root =
      out.find(L"\r\n[HKEY_CURRENT_USER\\T]\r\n\"" + std::wstring(300, L'n') + L"\"=\"");
  const size_t a = out.find(L"\r\n[HKEY_CURRENT_USER\\T\\a]\r\n");
  const size_t b = out.find(L"\r\n[HKEY_CURRENT_USER\\T\\a\\b]\r\n@=\"deep\"\r\n");
  const size_t k = out.find(L"\r\n[HKEY_CURRENT_USER\\T\\" + std::wstring(255, L'k') + L"]\r\n");
  EXPECT_EQ(root, 0u);
  EXPECT_NE(out.find(std::wstring(5000, L'd')), std::wstring::npos);
  ASSERT_NE(a, std::wstring::npos);
  ASSERT_NE(b, std::wstring::npos);
  EXPECT_NE(k, std::wstring::npos);
  EXPECT_LT(a, b);
}

// A value named like a target key (".e" in the key above it) is saved alone.
TEST_F(ExportKeyTreeTest, AValueSavedByItsNameKeepsItsTypeAndSize) {
  const DWORD small = 7;
  AddValue(HKEY_CURRENT_USER, At(""), ".e", REG_DWORD, &small, sizeof small);
  RegistryKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, scratch_.c_str(), 0, KEY_READ, key.Put()),
            ERROR_SUCCESS);
  std::wstring out;
  EXPECT_TRUE(ExportOneValue(key.Get(), L"HKEY_CURRENT_USER\\T", L".e", out).Complete());
  EXPECT_EQ(out, L"\r\n[HKEY_CURRENT_USER\\T]\r\n\".e\"=dword:00000007\r\n");
}

TEST_F(ExportKeyTreeTest, ANameWithALineBreakCannotBeCarried) {
  HKEY key;
  const std::wstring path = std::wstring(scratch_.begin(), scratch_.end()) + L"\\line\nbreak";
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  // Read on all the same, so that a dry run counts the tree whole.
  AddString(HKEY_CURRENT_USER, At("line\nbreak\\sub"), "v", "x");
  AddString(HKEY_CURRENT_USER, At("z"), "v", "x");
  AddString(HKEY_CURRENT_USER, At(""), "a\nb", "x");
  ExportStatus status;
  ExportCounts counts;
  Export(&status, &counts);
  EXPECT_EQ(status.problem, ExportProblem::kNameWithLineBreak);
  EXPECT_EQ(counts.keys, 4);
  EXPECT_EQ(counts.values, 3);
  EXPECT_FALSE(CanCarryName(L"a\rb"));
  EXPECT_TRUE(CanCarryName(L"a=b]\"c\\"));
}

// Another program deletes keys while the export reads: a sibling it did not
// touch is still saved, and links are told, never followed or written.
TEST_F(ExportKeyTreeTest, ADeletedSiblingSkipsNoOtherAndALinkIsOnlyTold) {
  for (const char* name : {"a", "b", "c"}) AddString(HKEY_CURRENT_USER, At(name), "v", name);
  MakeLink(At("d"), L"\\Registry\\Machine\\Software");
  std::vector<std::wstring> keys;
  std::vector<std::wstring> links;
  ExportVisitor visitor;
  visitor.key = [&](const std::wstring& path) {
    keys.push_back(path);
    // While "a" is read, another program deletes it and "b".
    if (path == L"HKEY_CURRENT_USER\\T\\a") {
      RegDeleteKeyA(HKEY_CURRENT_USER, At("a").c_str());
      RegDeleteKeyA(HKEY_CURRENT_USER, At("b").c_str());
    }
  };
  visitor.link = [&](const std::wstring& path) { links.push_back(path); };
  RegistryKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, scratch_.c_str(), 0, KEY_READ, key.Put()),
            ERROR_SUCCESS);
  std::wstring out;
  ExportCounts counts;
  EXPECT_TRUE(ExportKeyTree(key.Get(), L"HKEY_CURRENT_USER\\T", out, counts, &visitor).Complete());
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"HKEY_CURRENT_USER\\T", L"HKEY_CURRENT_USER\\T\\a",
                                             L"HKEY_CURRENT_USER\\T\\c"}));
  EXPECT_EQ(links, std::vector<std::wstring>{L"HKEY_CURRENT_USER\\T\\d"});
  EXPECT_EQ(out.find(L"\\d]"), std::wstring::npos);
  RemoveLink(At("d"));
}

}  // namespace
}  // namespace varneth
