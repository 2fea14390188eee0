#include "frontend/typed_line.h"

#include <windows.h>

#include <optional>

#include "runtime/wide_text.h"

namespace varneth {

constexpr wchar_t kFullWidthSpace = L'\u3000';  // A1 A1 in code page 936

bool IsInputSpace(wchar_t c) { return c == L' ' || c == kFullWidthSpace; }

std::wstring WithoutSpaces(std::wstring_view input) {
  std::wstring extension;
  for (wchar_t c : input) {
    if (!IsInputSpace(c)) extension += c;
  }
  return extension;
}

TypedLine TypedLineFromUnits(const std::wstring& units) {
  TypedLine line;
  std::int32_t bytes = 0;
  for (size_t i = 0; i < units.size();) {
    const wchar_t unit = units[i];
    if (unit == L'\r' || unit == L'\n') break;
    // A surrogate pair is one character.
    const size_t width =
        IS_HIGH_SURROGATE(unit) && i + 1 < units.size() && IS_LOW_SURROGATE(units[i + 1]) ? 2 : 1;
    const std::wstring character = units.substr(i, width);
    // Its size in the code page it will be converted to, by the round trip
    // the command line's arguments pass.
    const std::optional<Text> converted = NarrowExactly(character);
    const std::int32_t size = converted ? TextLength(*converted) : 1;
    if (bytes + size > kTypedLineLimit) break;
    bytes += size;
    // The console passes control characters through (Ctrl+@ gives a NUL);
    // none belongs in an extension, and a NUL would end the text early.
    // A space is taken whatever the code page: the extension loses it.
    if (unit < 0x20 || (!converted && !IsInputSpace(unit))) {
      line.exact = false;
    } else {
      line.units += character;
    }
    i += width;
  }
  return line;
}

}  // namespace varneth
