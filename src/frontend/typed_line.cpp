#include "frontend/typed_line.h"

#include <windows.h>

#include <optional>

#include "runtime/wide_text.h"

namespace varneth {

TypedLine TypedLineFromUnits(const std::wstring& units) {
  TypedLine line;
  std::string bytes;
  for (size_t i = 0; i < units.size();) {
    const wchar_t unit = units[i];
    if (unit == L'\r' || unit == L'\n') break;
    // A surrogate pair is one character; the code page holds none of them.
    const size_t width =
        IS_HIGH_SURROGATE(unit) && i + 1 < units.size() && IS_LOW_SURROGATE(units[i + 1]) ? 2 : 1;
    const std::optional<Text> character = NarrowExactly(units.substr(i, width));
    const std::int32_t size = character ? TextLength(*character) : 1;
    if (static_cast<std::int32_t>(bytes.size()) + size > kTypedLineLimit) break;
    // The console passes control characters through (Ctrl+@ gives a NUL);
    // none belongs in an extension, and a NUL would end the text early.
    if (unit < 0x20 || !character) {
      line.exact = false;
    } else {
      bytes += character->Bytes();
    }
    i += width;
  }
  line.text = TextFromBytes(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  return line;
}

}  // namespace varneth
