// Key paths in the ANSI code page, read character by character as the
// platform reads them once it has converted them: in a double-byte code page
// (932, 936, 950) many characters end in the byte 0x5C (表 95 5C, 淺 9C 5C,
// 許 B3 5C), and that trail byte is no separator. Every search for a
// separator in an ANSI path goes through here.
#pragma once

#include <windows.h>

#include <string_view>

namespace varneth {

// The first separator at or after `from` (a character boundary), or the
// path's size. Lead bytes are those of `codePage` (IsDBCSLeadByteEx); a lead
// byte that is the path's last byte stands alone.
size_t NextSeparatorA(std::string_view path, size_t from, UINT codePage = CP_ACP);

// The last separator, or npos.
size_t LastSeparatorA(std::string_view path, UINT codePage = CP_ACP);

// The path's size without the separators it ends in.
size_t TrimmedLengthA(std::string_view path, UINT codePage = CP_ACP);

}  // namespace varneth
