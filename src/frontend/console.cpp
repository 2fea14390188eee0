#include "frontend/console.h"

#include <io.h>
#include <windows.h>

#include <cstdio>
#include <utility>

#include "frontend/line_end.h"
#include "runtime/program_end.h"

namespace varneth {
namespace {

constexpr DWORD kInputBufferSize = 2048;

void WriteTexts(FILE* stream, std::initializer_list<TextRef> texts) {
  for (TextRef text : texts) {
    if (text.Bytes()[0] != '\0') std::fprintf(stream, "%s", text.Bytes());
  }
  if (_isatty(_fileno(stream))) std::fflush(stream);
}

}  // namespace

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
