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

// The policy's file named through an environment string; files that are
// not well-formed, missing, or no file at all.
TEST(ReadDefaultAssociations, ReadsThePolicysFileAndNamesTheUnreadable) {
  const wchar_t* key = kDefaultAssociationsPolicyPath;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, kDefaultAssociationsPolicyValue, RRF_RT_ANY, nullptr,
                   nullptr, nullptr) == ERROR_SUCCESS) {
    GTEST_SKIP() << "the machine has a policy of its own";
  }
  const fs::path folder = fs::temp_directory_path() / L"VarnethAssociations";
  fs::create_directories(folder);
  std::ofstream(folder / L"good.xml", std::ios::binary) << Utf16(kDocument);
  std::ofstream(folder / L"bad.xml", std::ios::binary) << "<D>";
  SetEnvironmentVariableW(L"VARNETH_TEST_ASSOC", folder.c_str());
  const std::wstring named = L"%VARNETH_TEST_ASSOC%\\good.xml";
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, kDefaultAssociationsPolicyValue,
                            REG_EXPAND_SZ, named.c_str(), static_cast<DWORD>(named.size() + 1) * 2),
            ERROR_SUCCESS);
  const DefaultAssociations read = ReadDefaultAssociations();
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key, kDefaultAssociationsPolicyValue);
  DefaultAssociations files;
  const std::vector<std::wstring> unreadable = {(folder / L"bad.xml").wstring(), folder.wstring()};
  ReadDefaultAssociationsFile(unreadable[0], files);
  ReadDefaultAssociationsFile((folder / L"missing.xml").wstring(), files);
  ReadDefaultAssociationsFile(unreadable[1], files);
  std::error_code ignored;
  fs::remove_all(folder, ignored);

  // The manufacturer's file, where the machine has one, comes after.
  ASSERT_GE(read.associations.size(), kDocumentPairs.size());
  for (size_t i = 0; i < kDocumentPairs.size(); ++i) {
    EXPECT_EQ(read.associations[i].identifier, kDocumentPairs[i].first);
    EXPECT_EQ(read.associations[i].progId, kDocumentPairs[i].second);
  }
  EXPECT_TRUE(read.unreadable.empty());
  EXPECT_EQ(files.unreadable, unreadable);
  EXPECT_TRUE(files.associations.empty());
}

}  // namespace
}  // namespace varneth
