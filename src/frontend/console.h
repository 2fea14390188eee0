// The two console primitives behind every exchange with the user.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "runtime/text.h"

namespace varneth {

// Output direction that selects standard error; every other value, or none,
// selects standard output.
inline constexpr std::int32_t kStandardError = 2;

// Writes the texts in order through the C runtime's buffered stream in text
// mode, so each LF reaches a file as CR LF. Texts are never used as a format.
// On a console what one call wrote is flushed before it returns, so a prompt
// is visible before the next read waits; redirected output stays buffered
// until the program ends.
void ConsoleWriteText(std::initializer_list<TextRef> texts);
void ConsoleWriteText(std::int32_t direction, std::initializer_list<TextRef> texts);

// Reads one line of at most 2048 bytes from the console input with
// ReadConsoleA, in the console's own line mode. With echo, the bytes read are
// written back to the console output with WriteConsoleA. The line end is cut.
// Gives nothing when standard input is missing, is not a console, or the read
// fails or ends.
std::optional<Text> ReadConsoleLine(bool echo);

// ReadConsoleLine for the dialogue: input that cannot be read ends the
// program with EndProgram(0), since no answer can ever come from it.
Text ConsoleReadLine(bool echo = false);

}  // namespace varneth
