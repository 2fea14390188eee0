#include "cleanup/class_use/default_associations.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace varneth {
namespace {

namespace fs = std::filesystem;
using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

std::optional<Pairs> Parsed(std::string_view bytes) {
  const auto found = ParseDefaultAssociations(bytes);
  if (!found) return std::nullopt;
  Pairs pairs;
  for (const DefaultAssociation& a : *found) pairs.emplace_back(a.identifier, a.progId);
  return pairs;
}

// The text as UTF-16 LE with its byte order mark (ASCII text only).
std::string Utf16(std::string_view ascii, bool mark = true) {
  std::string bytes = mark ? "\xFF\xFE" : "";
  for (const char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

const std::string kDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DefaultAssociations>\r\n"
    "  <Association Identifier=\".txt\" ProgId=\"txtfile\" ApplicationName=\"Notepad\" />\r\n"
    "  <Association ProgId='Vendor.Htm'\tIdentifier = \"http\"/>\r\n"
    "</DefaultAssociations>\r\n";
const Pairs kDocumentPairs = {{L".txt", L"txtfile"}, {L"http", L"Vendor.Htm"}};

TEST(ParseDefaultAssociations, ReadsEachAssociationInEveryEncodingAndSpelling) {
  const struct {
    const char* label;
    std::string bytes;
    Pairs pairs;
  } cases[] = {
      {"UTF-8", kDocument, kDocumentPairs},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + kDocument, kDocumentPairs},
      {"UTF-16 LE", Utf16(kDocument), kDocumentPairs},
      {"entities",
       "<D><Association Identifier=\".a&amp;b\" "
       "ProgId=\"&lt;&gt;&quot;&apos;&#65;&#x42;&#x1F600;\"/></D>",
       {{L".a&b", L"<>\"'AB\xD83D\xDE00"}}},
      {"beyond ASCII",
       "<D><Association Identifier='.c' ProgId='Caf\xC3\xA9'></Association></D>",
       {{L".c", L"Caf\u00E9"}}},
      {"any letter case, skipped markup",
       "<D><!-- <Association Identifier=\".no\" ProgId=\"No\"/> --><![CDATA[<Association "
       "ProgId=\"Cd\"/>]]><association identifier=\".yes\" PROGID=\"Yes\"/></D>",
       {{L".yes", L"Yes"}}},
      {"no association", "<D><Other ProgId=\"x\"/></D>", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Parsed(c.bytes), c.pairs) << c.label;
}

TEST(ParseDefaultAssociations, RefusesWhatIsNotWellFormed) {
  const struct {
    const char* label;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"UTF-16 without its mark", Utf16("<D/>", false)},
      {"odd UTF-16", Utf16("<D/>") + "x"},
      {"bad UTF-8", "<D><Association ProgId=\"\xC3(\"/></D>"},
      {"a NUL", std::string("<D>\0</D>", 8)},
      {"unknown entity", "<D><Association ProgId=\"a&nbsp;\"/></D>"},
      {"unended entity", "<D><Association ProgId=\"a&amp\"/></D>"},
      {"a < in a value", "<D><Association ProgId=\"a<b\"/></D>"},
      {"a name twice", "<D><Association ProgId=\"a\" progid=\"b\"/></D>"},
      {"no space between", "<D><Association ProgId=\"a\"Identifier=\".b\"/></D>"},
      {"unquoted", "<D><Association ProgId=a/></D>"},
      {"no value", "<D><Association ProgId/></D>"},
      {"document type", "<!DOCTYPE D [<!ENTITY e \"x\">]><D/>"},
      {"wrong end tag", "<D><E></D></E>"},
      {"stray end tag", "<D/></D>"},
      {"unended comment", "<D/><!-- "},
      {"unended tag", "<D/><Association ProgId=\"a\""},
      {"bare <", "<D> a < b </D>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Parsed(c.bytes), std::nullopt) << c.label;
  // A file cut anywhere before its end does not pass for a shorter list.
  const std::string whole = Utf16(kDocument);
  for (size_t cut = 0; cut + 4 < whole.size(); ++cut) {
    EXPECT_EQ(Parsed(whole.substr(0, cut)), std::nullopt) << cut;
  }
}

// A policy file named through an environment string, one that is not
// well-formed and one that is missing.
TEST(ReadDefaultAssociations, ReadsThePolicysFileAndNamesTheUnreadable) {
  const std::string key = "SOFTWARE\\Policies\\Microsoft\\Windows\\System";
  const char* value = "DefaultAssociationsConfiguration";
  HKEY policy;
  DWORD created = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &policy, &created),
            ERROR_SUCCESS);
  if (RegQueryValueExA(policy, value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    RegCloseKey(policy);
    GTEST_SKIP() << "the machine has a policy of its own";
  }
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const fs::path folder = fs::path(temp) / L"VarnethAssociations";
  fs::create_directories(folder);
  std::ofstream(folder / L"good.xml", std::ios::binary) << Utf16(kDocument);
  std::ofstream(folder / L"bad.xml", std::ios::binary) << "<D>";
  SetEnvironmentVariableW(L"VARNETH_TEST_ASSOC", folder.c_str());
  const std::wstring named = L"%VARNETH_TEST_ASSOC%\\good.xml";
  RegSetValueExW(policy, L"DefaultAssociationsConfiguration", 0, REG_EXPAND_SZ,
                 reinterpret_cast<const BYTE*>(named.c_str()),
                 static_cast<DWORD>((named.size() + 1) * sizeof(wchar_t)));
  const DefaultAssociations read = ReadDefaultAssociations();

  DefaultAssociations files;
  ReadDefaultAssociationsFile((folder / L"bad.xml").wstring(), files);
  ReadDefaultAssociationsFile((folder / L"missing.xml").wstring(), files);
  ReadDefaultAssociationsFile(folder.wstring(), files);

  RegDeleteValueA(policy, value);
  RegCloseKey(policy);
  if (created == REG_CREATED_NEW_KEY) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  std::error_code ignored;
  fs::remove_all(folder, ignored);

  // The manufacturer's file, where the machine has one, comes after.
  ASSERT_GE(read.associations.size(), kDocumentPairs.size());
  for (size_t i = 0; i < kDocumentPairs.size(); ++i) {
    EXPECT_EQ(read.associations[i].identifier, kDocumentPairs[i].first);
    EXPECT_EQ(read.associations[i].progId, kDocumentPairs[i].second);
  }
  EXPECT_TRUE(read.unreadable.empty());
  // The folder is there but is no file to read.
  EXPECT_EQ(files.unreadable,
            (std::vector<std::wstring>{(folder / L"bad.xml").wstring(), folder.wstring()}));
  EXPECT_TRUE(files.associations.empty());
}

}  // namespace
}  // namespace varneth
