// A line read from the console as UTF-16, taken as the characters the
// dialogue judges.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varneth {

// At most this many bytes of a typed line are taken, counted in the ANSI
// code page the line is converted to.
inline constexpr std::int32_t kTypedLineLimit = 2048;

// The spaces an input loses (U+0020 and the full-width U+3000), whatever the
// code page: what is judged is the extension left without them.
bool IsInputSpace(wchar_t c);
std::wstring WithoutSpaces(std::wstring_view input);

struct TypedLine {
  std::wstring units;  // the characters taken, as typed
  bool exact = true;   // false: the line held a NUL, a control character or a
                       // character the code page cannot hold, and names nothing typed
};

// The line up to its first CR or LF, whole characters only up to
// kTypedLineLimit bytes of the ANSI code page (one to four a character in
// UTF-8, one or two in code page 936); what lies past that is dropped
// without a look.
TypedLine TypedLineFromUnits(const std::wstring& units);

}  // namespace varneth
