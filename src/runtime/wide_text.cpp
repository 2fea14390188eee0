#include "runtime/wide_text.h"

#include <windows.h>

#include <utility>

namespace varneth {
namespace {

// The code page of the program's own texts, and so of everything it writes.
constexpr UINT kShownCodePage = 936;

std::wstring Widen(UINT codePage, TextRef text) {
  const int length = TextLength(text);
  if (length == 0) return {};
  const int units = MultiByteToWideChar(codePage, 0, text.Bytes(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(codePage, 0, text.Bytes(), length, wide.data(), units);
  return wide;
}

Text Narrow(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) return Text();
  const int units = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(codePage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  Text text = BlankText(size);
  if (size > 0) {
    WideCharToMultiByte(codePage, 0, wide.data(), units, text.Data(), size, nullptr, nullptr);
  }
  return text;
}

std::optional<Text> NarrowExactlyIn(UINT codePage, const std::wstring& wide) {
  Text text = Narrow(codePage, wide);
  if (Widen(codePage, text) != wide) return std::nullopt;
  return text;
}

}  // namespace

std::wstring WidenText(TextRef text) { return Widen(CP_ACP, text); }

Text NarrowText(const std::wstring& wide) { return Narrow(CP_ACP, wide); }

std::optional<Text> NarrowExactly(const std::wstring& wide) {
  return NarrowExactlyIn(CP_ACP, wide);
}

Text EscapedText(const std::wstring& wide) {
  // Most names convert whole; only the others are looked at character by
  // character.
  if (std::optional<Text> whole = NarrowExactlyIn(kShownCodePage, wide)) return std::move(*whole);
  std::wstring shown;
  for (size_t i = 0; i < wide.size();) {
    // A surrogate pair is one character.
    const size_t length =
        IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1]) ? 2 : 1;
    const std::wstring character = wide.substr(i, length);
    if (NarrowExactlyIn(kShownCodePage, character)) {
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
  return Narrow(kShownCodePage, shown);
}

Text EscapedAnsiText(TextRef text) { return EscapedText(WidenText(text)); }

}  // namespace varneth
