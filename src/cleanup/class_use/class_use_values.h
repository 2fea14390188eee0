// Class names as the shell reads them from the registry's counted strings.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace varneth {

// The names a value's data gives the shell: a REG_SZ or REG_EXPAND_SZ read
// up to its first NUL (whatever follows it, with or without a terminator, an
// odd last byte left out), each string of a REG_MULTI_SZ (also past an empty
// one: naming too many only keeps more); none for any other type, and no
// empty name.
std::vector<std::wstring> ClassNamesInData(DWORD type, const BYTE* data, size_t size);

// A counted name as a program that reads it as a C string sees it: up to its
// first NUL.
std::wstring_view UpToFirstNul(std::wstring_view name);

// True when the name holds a NUL or another control character (below 0x20):
// no class name does, and calls that take a C string would name another key.
bool HoldsControlCharacter(std::wstring_view name);

}  // namespace varneth
