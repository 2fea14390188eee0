#include "frontend/line_end.h"

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

}  // namespace varneth
