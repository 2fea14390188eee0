#include "cleanup/class_use/class_use_values.h"

#include <algorithm>
#include <cstring>

namespace varneth {

std::vector<std::wstring> ClassNamesInData(DWORD type, const BYTE* data, size_t size) {
  std::vector<std::wstring> names;
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return names;
  // The data need not be aligned, nor of an even length.
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find(L'\0', at), text.size());
    if (end > at) names.push_back(text.substr(at, end - at));
    if (type != REG_MULTI_SZ) break;
    at = end + 1;
  }
  return names;
}

std::wstring_view UpToFirstNul(std::wstring_view name) {
  return name.substr(0, std::min(name.find(L'\0'), name.size()));
}

bool HoldsControlCharacter(std::wstring_view name) {
  return std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x20; });
}

}  // namespace varneth
