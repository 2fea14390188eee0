// The two console primitives behind every exchange with the user.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "frontend/typed_line.h"
#include "runtime/text.h"

namespace varneth {

// Output direction that selects standard error; every other value, or none,
// selects standard output.
inline constexpr std::int32_t kStandardError = 2;

// Writes the texts in order, never using one as a format. On a console each
// text is converted from code page 936 and written with WriteConsoleW, so it
// reads right whatever the console's code page (936, 65001, ...). Redirected,
// the code page 936 bytes go through the C runtime's buffered stream in text
// mode, so each LF reaches a file as CR LF, and stay buffered until the
// program ends (or a console write flushes them first).
void ConsoleWriteText(std::initializer_list<TextRef> texts);
void ConsoleWriteText(std::int32_t direction, std::initializer_list<TextRef> texts);

// Older consoles refuse a single write of more than about 64 KiB, so a text
// goes to the console in pieces of at most this many bytes.
inline constexpr std::int32_t kConsoleWriteLimit = 8192;

// How many of the first `count` bytes make one console write: whole
// characters only, a two-byte character never split between two writes.
std::int32_t ConsoleWritePiece(const char* bytes, std::int32_t count);

// True when everything written so far reached its console, file or pipe:
// the C streams are flushed first, so a full disk or a closed pipe shows.
bool ConsoleOutputDelivered();

// Reads one line from the console input with ReadConsoleW, in the console's
// own line mode, so what was typed arrives whatever the console's code page
// (the ANSI read gives a NUL for each non-ASCII character on Windows 10 at
// code page 65001). With echo, the characters read are written back to the
// console output. The line is taken as TypedLineFromUnits says: cut at its
// line end and at 2048 bytes; the rest of a longer line, line end included,
// is read and dropped, so one line is always one input.
// Gives nothing when standard input is missing, is not a console, or the read
// fails or ends (Ctrl+C ends a read with nothing read, too).
std::optional<TypedLine> ReadConsoleLine(bool echo);

// ReadConsoleLine for the dialogue: input that cannot be read ends the
// program with EndProgram(0), since no answer can ever come from it.
TypedLine ConsoleReadLine(bool echo = false);

}  // namespace varneth
