// A line read from the console as UTF-16, taken as the text the cleanup and
// the dialogue work with.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/text.h"

namespace varneth {

// At most this many bytes of a typed line are taken.
inline constexpr std::int32_t kTypedLineLimit = 2048;

struct TypedLine {
  Text text;          // in the ANSI code page, as the command line's arguments
  bool exact = true;  // false: the line held a NUL, a control character or a
                      // character the code page cannot hold, and names nothing typed
};

// The line up to its first CR or LF, each character converted on its own
// with the command line's round trip, whole characters only up to
// kTypedLineLimit bytes; what lies past that is dropped without a look.
TypedLine TypedLineFromUnits(const std::wstring& units);

}  // namespace varneth
