// Start-up and the dialogue loop: the whole top level of Varneth.
#pragma once

#include <optional>
#include <string_view>

#include "probes/key_owner.h"
#include "runtime/text.h"

namespace varneth {

// True when an input, after space removal, is refused without a word: the
// lone line feed, the empty text, and any spelling that names no extension or
// the program and batch extensions once dots are removed and A to Z are
// folded ("", "exe", "bat", "cmd": so ".exe", "EXE", "e.x.e" and "..." too),
// and any that holds a backslash or a control character. It is judged on the
// characters as typed or given (UTF-16), before any conversion, so no code
// page's way of splitting bytes can hide a backslash. The dialogue and the
// command line both judge by this one rule.
bool IsRefusedExtension(std::wstring_view extension);

// An input as the cleanup takes it: half- and full-width spaces removed,
// refused (nothing) as IsRefusedExtension says, then dots removed, and only
// then converted, once, to the ANSI code page; nothing as well when that
// code page cannot hold it.
std::optional<Text> ExtensionFromInput(std::wstring_view input);

// One turn of the dialogue: banner, prompt, one extension, the cleanup and the
// exit question. Ends the program on the answer "y" or "Y".
void RunDialogueTurn(const KeyOwner& owner);

// Gate, whose keys (named in a line when another user's; with nobody at the
// console of the system account, that line and exit code 1), then the
// dialogue for the rest of the process's life.
[[noreturn]] void RunStartup();

}  // namespace varneth
