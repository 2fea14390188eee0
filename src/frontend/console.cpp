#include "frontend/console.h"

#include <io.h>
#include <windows.h>

#include <cstdio>
#include <utility>

#include "frontend/line_end.h"
#include "runtime/program_end.h"

namespace varneth {
namespace {

constexpr std::int32_t kInputBufferSize = 2048;

// The console behind a C stream, or nullptr when the stream is redirected to
// a file, a pipe or a device.
HANDLE ConsoleBehind(FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    return nullptr;
  }
  return handle;
}

// WriteConsoleA shows the bytes in the console's own code page, unconverted;
// the C runtime's formatted output would convert each byte on its own first.
void WriteToConsole(HANDLE console, TextRef text) {
  const char* bytes = text.Bytes();
  std::int32_t left = TextLength(text);
  while (left > 0) {
    const std::int32_t piece = ConsoleWritePiece(bytes, left);
    DWORD written = 0;
    if (!WriteConsoleA(console, bytes, static_cast<DWORD>(piece), &written, nullptr) ||
        written == 0) {
      return;
    }
    bytes += written;
    left -= static_cast<std::int32_t>(written);
  }
}

void WriteTexts(FILE* stream, std::initializer_list<TextRef> texts) {
  if (HANDLE console = ConsoleBehind(stream)) {
    // What the stream still holds goes first, so everything keeps its order.
    std::fflush(stream);
    for (TextRef text : texts) WriteToConsole(console, text);
    return;
  }
  for (TextRef text : texts) {
    if (text.Bytes()[0] != '\0') std::fprintf(stream, "%s", text.Bytes());
  }
  if (_isatty(_fileno(stream))) std::fflush(stream);
}

// Reads and drops what the console still holds of a line longer than the
// buffer, up to and including its line end, so that none of it is taken as
// the answer to the next question.
void DropRestOfLine(HANDLE input) {
  char rest[kInputBufferSize];
  DWORD read = 0;
  do {
    if (!ReadConsoleA(input, rest, kInputBufferSize, &read, nullptr) || read == 0) return;
  } while (LineGoesOn(rest, static_cast<std::int32_t>(read), kInputBufferSize));
}

}  // namespace

std::int32_t ConsoleWritePiece(const char* bytes, std::int32_t count) {
  std::int32_t taken = 0;
  while (taken < count) {
    const std::int32_t step =
        (IsLeadByte(static_cast<unsigned char>(bytes[taken])) && taken + 1 < count) ? 2 : 1;
    if (taken + step > kConsoleWriteLimit) break;
    taken += step;
  }
  return taken;
}

void ConsoleWriteText(std::initializer_list<TextRef> texts) { WriteTexts(stdout, texts); }

void ConsoleWriteText(std::int32_t direction, std::initializer_list<TextRef> texts) {
  WriteTexts(direction == kStandardError ? stderr : stdout, texts);
}

std::optional<Text> ReadConsoleLine(bool echo) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return std::nullopt;
  char buffer[kInputBufferSize];
  DWORD read = 0;
  if (!ReadConsoleA(input, buffer, kInputBufferSize, &read, nullptr)) return std::nullopt;
  // A console line read always delivers at least its line end; nothing at all
  // means the input has ended.
  if (read == 0) return std::nullopt;
  if (LineGoesOn(buffer, static_cast<std::int32_t>(read), kInputBufferSize)) DropRestOfLine(input);
  if (echo) {
    // Older consoles fault on a null count pointer, so one is given though
    // the count is not used.
    DWORD written = 0;
    WriteConsoleA(GetStdHandle(STD_OUTPUT_HANDLE), buffer, read, &written, nullptr);
  }
  CutLineEnd(buffer, static_cast<std::int32_t>(read));
  return TextFromBytes(buffer, static_cast<std::int32_t>(read));
}

Text ConsoleReadLine(bool echo) {
  std::optional<Text> line = ReadConsoleLine(echo);
  if (!line) EndProgram(0);
  return std::move(*line);
}

}  // namespace varneth
