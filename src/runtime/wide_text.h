// Texts in the ANSI code page and the platform's UTF-16 strings.
#pragma once

#include <optional>
#include <string>

#include "runtime/text.h"

namespace varneth {

// The text in UTF-16, read in the ANSI code page (as the ANSI registry and
// file functions read it).
std::wstring WidenText(TextRef text);

// The UTF-16 string in the ANSI code page; characters it lacks become the
// code page's default character.
Text NarrowText(const std::wstring& wide);

// The UTF-16 string in the ANSI code page, or nothing when that text does
// not read back as the same string: a character the code page lacks becomes
// the default character or, in some code pages, a look-alike.
std::optional<Text> NarrowExactly(const std::wstring& wide);

// The UTF-16 string as the program writes it, in code page 936 whatever the
// ANSI code page, each UTF-16 unit of a character code page 936 cannot hold
// written as "\u" and four hex digits: a name that reads unambiguously
// beside the program's own texts.
Text EscapedText(const std::wstring& wide);

// The same for a text in the ANSI code page (what the user gave, or what
// an ANSI platform function wrote).
Text EscapedAnsiText(TextRef text);

}  // namespace varneth
