#include "frontend/typed_line.h"

#include <gtest/gtest.h>

#include <string>

namespace varneth {
namespace {

TEST(TypedLineFromUnits, TakesWhatWasTypedAndRefusesWhatNamesNothing) {
  struct Case {
    std::wstring read;  // as the console's UTF-16 read gives it
    std::string taken;  // the code page 936 bytes taken
    bool exact;
  };
  const std::wstring spaces(2045, L' ');
  for (const Case& c : {
           Case{L"md\u6587\r\n", "md\xCE\xC4", true},  // 文
           Case{L"a\rb\n", "a", true},                  // only what stands before the line end
           Case{std::wstring(L"md\0x\r\n", 6), "mdx", false},  // a NUL (Ctrl+@)
           Case{L"a\tb\r\n", "ab", false},
           Case{L"\xD55C", "", false},         // 한 is outside code page 936
           Case{L"a\xD83D\xDE00", "a", false},  // so is an emoji, a surrogate pair
           // The cut keeps whole characters: 淺 would end at byte 2049.
           Case{L"zz" + spaces + L"\u6DFA", "zz" + std::string(2045, ' '), true},
           Case{L"z" + spaces + L"\u6DFA", "z" + std::string(2045, ' ') + "\x9C\x5C", true},
           // What lies past the cut is not looked at.
           Case{std::wstring(2048, L'a') + L"\xD55C\x01", std::string(2048, 'a'), true},
       }) {
    const TypedLine line = TypedLineFromUnits(c.read);
    EXPECT_EQ(std::string(line.text.Bytes()), c.taken);
    EXPECT_EQ(line.exact, c.exact) << c.taken;
  }
}

}  // namespace
}  // namespace varneth
