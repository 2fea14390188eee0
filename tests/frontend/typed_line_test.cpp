#include "frontend/typed_line.h"

#include <gtest/gtest.h>

#include <string>

namespace varneth {
namespace {

TEST(TypedLineFromUnits, TakesWhatWasTypedAndRefusesWhatNamesNothing) {
  struct Case {
    std::wstring read;  // as the console's UTF-16 read gives it
    std::wstring taken;  // the characters taken
    bool exact;
  };
  const std::wstring spaces(2045, L' ');
  for (const Case& c : {
           Case{L"md\u6587\r\n", L"md\u6587", true},
           Case{L"a\rb\n", L"a", true},                  // only what stands before the line end
           Case{std::wstring(L"md\0x\r\n", 6), L"mdx", false},  // a NUL (Ctrl+@)
           Case{L"a\tb\r\n", L"ab", false},
           Case{L"\xD55C", L"", false},         // 한 is outside code page 936
           Case{L"a\xD83D\xDE00", L"a", false},  // so is an emoji, a surrogate pair
           // The cut keeps whole characters: 淺 (two bytes) would end at byte 2049.
           Case{L"zz" + spaces + L"\u6DFA", L"zz" + spaces, true},
           Case{L"z" + spaces + L"\u6DFA", L"z" + spaces + L"\u6DFA", true},
           // What lies past the cut is not looked at.
           Case{std::wstring(2048, L'a') + L"\xD55C\x01", std::wstring(2048, L'a'), true},
       }) {
    const TypedLine line = TypedLineFromUnits(c.read);
    EXPECT_EQ(line.units, c.taken);
    EXPECT_EQ(line.exact, c.exact) << c.taken.size();
  }
}

// Spaces go whatever the code page: U+3000 is no character of code page
// 1252, where this runs too (frontend_tests_western_code_page).
TEST(TypedLineFromUnits, TakesSpacesTheCodePageLacks) {
  const TypedLine line = TypedLineFromUnits(L"vnt\u3000p\r\n");
  EXPECT_EQ(line.units, L"vnt\u3000p");
  EXPECT_TRUE(line.exact);
  EXPECT_EQ(WithoutSpaces(L" a\u3000b "), L"ab");
}

}  // namespace
}  // namespace varneth
