// The line-end cut of console reading, kept apart from the console calls so
// the native checks can exercise it.
#pragma once

#include <cstdint>

namespace varneth {

// Scans the first `count` bytes: stops unchanged at the first NUL, and at the
// first CR or LF writes a NUL there and stops. Every read is cut, whatever its
// length, so Enter alone reads as the empty text.
void CutLineEnd(char* bytes, std::int32_t count);

}  // namespace varneth
