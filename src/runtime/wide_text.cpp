#include "runtime/wide_text.h"

#include <windows.h>

namespace varneth {

std::wstring WidenText(TextRef text) {
  const int length = TextLength(text);
  if (length == 0) return {};
  const int units = MultiByteToWideChar(CP_ACP, 0, text.Bytes(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.Bytes(), length, wide.data(), units);
  return wide;
}

Text NarrowText(const std::wstring& wide) {
  if (wide.empty()) return Text();
  const int units = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  Text text = BlankText(size);
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), units, text.Data(), size, nullptr, nullptr);
  }
  return text;
}

std::optional<Text> NarrowExactly(const std::wstring& wide) {
  Text text = NarrowText(wide);
  if (WidenText(text) != wide) return std::nullopt;
  return text;
}

Text EscapedText(const std::wstring& wide) {
  std::wstring shown;
  for (size_t i = 0; i < wide.size();) {
    // A surrogate pair is one character.
    const size_t length =
        IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1]) ? 2 : 1;
    const std::wstring character = wide.substr(i, length);
    if (NarrowExactly(character)) {
      shown += character;
    } else {
      for (wchar_t unit : character) {
        shown += L"\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
          shown += L"0123456789ABCDEF"[(unit >> shift) & 0xF];
      }
    }
    i += length;
  }
  return NarrowText(shown);
}

}  // namespace varneth
