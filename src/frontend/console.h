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

// Writes the texts in order, never using one as a format. On a console each
// text's bytes go to it whole with WriteConsoleA, unconverted, so code page
// 936 texts read right (the C runtime's formatted output converts byte by
// byte there). Redirected, they go through the C runtime's buffered stream in
// text mode, so each LF reaches a file as CR LF, and stay buffered until the
// program ends (or a console write flushes them first).
void ConsoleWriteText(std::initializer_list<TextRef> texts);
void ConsoleWriteText(std::int32_t direction, std::initializer_list<TextRef> texts);

// Older consoles refuse a single write of more than about 64 KiB, so a text
// goes to the console in pieces of at most this many bytes.
inline constexpr std::int32_t kConsoleWriteLimit = 8192;

// How many of the first `count` bytes make one console write: whole
// characters only, a two-byte character never split between two writes.
std::int32_t ConsoleWritePiece(const char* bytes, std::int32_t count);

// Reads one line of at most 2048 bytes from the console input with
// ReadConsoleA, in the console's own line mode. With echo, the bytes read are
// written back to the console output with WriteConsoleA. The line end is cut.
// Of a longer line the first 2048 bytes are taken and the rest, line end
// included, is read and dropped: one line is always one input.
// Gives nothing when standard input is missing, is not a console, or the read
// fails or ends.
std::optional<Text> ReadConsoleLine(bool echo);

// ReadConsoleLine for the dialogue: input that cannot be read ends the
// program with EndProgram(0), since no answer can ever come from it.
Text ConsoleReadLine(bool echo = false);

}  // namespace varneth
