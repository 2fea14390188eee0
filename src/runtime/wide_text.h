// Texts in the ANSI code page and the platform's UTF-16 strings.
#pragma once

#include <string>

#include "runtime/text.h"

namespace varneth {

// The text in UTF-16, read in the ANSI code page (as the ANSI registry and
// file functions read it).
std::wstring WidenText(TextRef text);

// The UTF-16 string in the ANSI code page; characters it lacks become the
// code page's default character.
Text NarrowText(const std::wstring& wide);

}  // namespace varneth
