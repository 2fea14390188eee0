#include "frontend/typed_line.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/line_end.h"

namespace varneth {
namespace {

struct Case {
  const wchar_t* read;  // as the console's UTF-16 read gives it
  std::string taken;    // the code page 936 bytes taken
  bool exact;
};

TEST(TypedLineFromUnits, TakesWhatWasTypedAndRefusesWhatNamesNothing) {
  for (const Case& c : {
           Case{L"txt\r\n", "txt", true},
           Case{L"md\u6587\r\n", "md\xCE\xC4", true},  // 文
           Case{L"\u6DFA\r\n", "\x9C\x5C", true},      // 淺: its second byte is 0x5C
           Case{L"\r\n", "", true},
           Case{L"a\rb\n", "a", true},  // only what stands before the line end
           Case{L"a\tb\r\n", "ab", false},
           Case{L"a\x1B[A\r\n", "a[A", false},
           Case{L"\xD55C\r\n", "", false},          // 한 is outside code page 936
           Case{L"a\xD83D\xDE00\r\n", "a", false},  // so is an emoji, a surrogate pair
           Case{L"a\xD83D", "a", false},            // a lone surrogate
       }) {
    const TypedLine line = TypedLineFromUnits(c.read);
    EXPECT_EQ(std::string(line.text.Bytes()), c.taken) << c.taken;
    EXPECT_EQ(line.exact, c.exact) << c.taken;
  }
  // A NUL (Ctrl+@) would end the text early and name a shorter extension.
  const TypedLine nul = TypedLineFromUnits(std::wstring(L"md\0x\r\n", 6));
  EXPECT_FALSE(nul.exact);
}

// The cut keeps whole characters: a two-byte character that would end past
// byte 2048 is dropped whole, and what lies past the cut is not judged.
TEST(TypedLineFromUnits, CutsAt2048BytesOnACharacterBoundary) {
  const std::wstring spaces(2045, L' ');
  const TypedLine cut = TypedLineFromUnits(L"zz" + spaces + L"\u6DFA");
  EXPECT_EQ(std::string(cut.text.Bytes()), "zz" + std::string(2045, ' '));
  EXPECT_TRUE(cut.exact);
  const TypedLine fits = TypedLineFromUnits(L"z" + spaces + L"\u6DFA\r\n");
  EXPECT_EQ(std::string(fits.text.Bytes()), "z" + std::string(2045, ' ') + "\x9C\x5C");
  const TypedLine past = TypedLineFromUnits(std::wstring(2048, L'a') + L"\xD55C\x01");
  EXPECT_EQ(TextLength(past.text), 2048);
  EXPECT_TRUE(past.exact);
}

TEST(LineGoesOn, WideReadsToo) {
  std::wstring line(2048, L'a');
  EXPECT_TRUE(LineGoesOn(line.data(), 2048, 2048));
  line[2047] = L'\n';
  EXPECT_FALSE(LineGoesOn(line.data(), 2048, 2048));
  EXPECT_FALSE(LineGoesOn(L"ab", 2, 2048));
}

}  // namespace
}  // namespace varneth
