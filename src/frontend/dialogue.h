// Start-up and the dialogue loop: the whole top level of Varneth.
#pragma once

#include <optional>

#include "probes/key_owner.h"
#include "runtime/text.h"

namespace varneth {

// True when an input, after space removal, is refused without a word: the
// lone line feed, the empty text, and any spelling that names no extension or
// the program and batch extensions once dots are removed and A to Z are
// folded ("", "exe", "bat", "cmd": so ".exe", "EXE", "e.x.e" and "..." too),
// and any that holds a backslash. The dialogue and the command line both
// judge by this one rule.
bool IsRefusedExtension(TextRef extension);

// True when the text holds a backslash character, judged character by
// character in the ANSI code page: a two-byte character whose second byte is
// 0x5C holds none.
bool HoldsBackslash(TextRef text);

// An input as the cleanup takes it: spaces removed, refused (nothing) as
// IsRefusedExtension says, then dots removed.
std::optional<Text> ExtensionFromInput(TextRef input);

// One turn of the dialogue: banner, prompt, one extension, the cleanup and the
// exit question. Ends the program on the answer "y" or "Y".
void RunDialogueTurn(const KeyOwner& owner);

// Gate, whose keys (named in a line when another user's; with nobody at the
// console of the system account, that line and exit code 1), then the
// dialogue for the rest of the process's life.
[[noreturn]] void RunStartup();

}  // namespace varneth
