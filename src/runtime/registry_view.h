// The one registry view every call that names a key works in.
#pragma once

#include <windows.h>

namespace varneth {

// The 64-bit view: a 32-bit process on 64-bit Windows is otherwise
// redirected to the Wow6432Node copies of some keys, which 64-bit Explorer
// does not read (on Vista all of SOFTWARE\Classes). 32-bit Windows ignores
// the flag.
inline constexpr REGSAM kRegistryView = KEY_WOW64_64KEY;

}  // namespace varneth
