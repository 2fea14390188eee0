#include "frontend/line_end.h"

#include <cstring>
#include <cwchar>

namespace varneth {

void CutLineEnd(char* bytes, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) {
    if (bytes[i] == '\0') return;
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      bytes[i] = '\0';
      return;
    }
  }
}

bool LineGoesOn(const char* bytes, std::int32_t count, std::int32_t capacity) {
  return count >= capacity && std::memchr(bytes, '\n', static_cast<size_t>(count)) == nullptr;
}

bool LineGoesOn(const wchar_t* units, std::int32_t count, std::int32_t capacity) {
  return count >= capacity && std::wmemchr(units, L'\n', static_cast<size_t>(count)) == nullptr;
}

}  // namespace varneth
