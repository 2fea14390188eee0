// The line-end cut of console reading, kept apart from the console calls so
// the native checks can exercise it.
#pragma once

#include <cstdint>

namespace varneth {

// Scans the first `count` bytes: stops unchanged at the first NUL, and at the
// first CR or LF writes a NUL there and stops. Every read is cut, whatever its
// length, so Enter alone reads as the empty text.
void CutLineEnd(char* bytes, std::int32_t count);

// True when a console read of `count` bytes into a buffer of `capacity` bytes
// stopped short of the line's end: the buffer is full and holds no LF. The
// console keeps the rest of that line for the next read.
bool LineGoesOn(const char* bytes, std::int32_t count, std::int32_t capacity);
// The same for a read of UTF-16 units.
bool LineGoesOn(const wchar_t* units, std::int32_t count, std::int32_t capacity);

}  // namespace varneth
