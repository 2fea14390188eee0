#include "frontend/console.h"

#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
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

// The program's texts are code page 936 whatever the ANSI code page.
constexpr UINT kTextCodePage = 936;

// Set when a write did not arrive; ConsoleOutputDelivered reports it.
bool g_outputLost = false;

// Writes all `count` UTF-16 units; false when the console takes no more.
bool WriteUnits(HANDLE console, const wchar_t* units, DWORD count) {
  while (count > 0) {
    DWORD written = 0;
    if (!WriteConsoleW(console, units, count, &written, nullptr) || written == 0) return false;
    units += written;
    count -= written;
  }
  return true;
}

bool WriteBytes(HANDLE console, const char* bytes, DWORD count) {
  DWORD written = 0;
  return WriteConsoleA(console, bytes, count, &written, nullptr) && written == count;
}

// Each piece is converted from code page 936 to UTF-16, so the console shows
// the characters meant whatever its own code page is.
void WriteToConsole(HANDLE console, TextRef text) {
  const char* bytes = text.Bytes();
  std::int32_t left = TextLength(text);
  wchar_t units[kConsoleWriteLimit];
  while (left > 0) {
    const std::int32_t piece = ConsoleWritePiece(bytes, left);
    const int count =
        MultiByteToWideChar(kTextCodePage, 0, bytes, piece, units, kConsoleWriteLimit);
    // Without the code page's table the bytes go as they are, as they always did.
    const bool ok = count > 0 ? WriteUnits(console, units, static_cast<DWORD>(count))
                              : WriteBytes(console, bytes, static_cast<DWORD>(piece));
    if (!ok) {
      g_outputLost = true;
      return;
    }
    bytes += piece;
    left -= piece;
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
    if (text.Bytes()[0] != '\0' && std::fprintf(stream, "%s", text.Bytes()) < 0) {
      g_outputLost = true;
    }
  }
  if (_isatty(_fileno(stream))) std::fflush(stream);
}

// Reads and drops what the console still holds of a line longer than the
// buffer, up to and including its line end, so that none of it is taken as
// the answer to the next question.
void DropRestOfLine(HANDLE input) {
  wchar_t rest[kInputBufferSize];
  DWORD read = 0;
  do {
    if (!ReadConsoleW(input, rest, kInputBufferSize, &read, nullptr) || read == 0) return;
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

bool ConsoleOutputDelivered() {
  // fflush reports a write the stream's buffer held back until now.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) g_outputLost = true;
  if (std::fflush(stderr) != 0 || std::ferror(stderr)) g_outputLost = true;
  return !g_outputLost;
}

std::optional<TypedLine> ReadConsoleLine(bool echo) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return std::nullopt;
  // Every UTF-16 unit takes at least one byte in any code page, so a buffer
  // of 2048 units holds at least the 2048 bytes that are taken of a line.
  wchar_t buffer[kInputBufferSize];
  DWORD read = 0;
  if (!ReadConsoleW(input, buffer, kInputBufferSize, &read, nullptr)) return std::nullopt;
  // A console line read always delivers at least its line end; nothing at all
  // means the input has ended, or Ctrl+C cut the read short.
  if (read == 0) return std::nullopt;
  if (LineGoesOn(buffer, static_cast<std::int32_t>(read), kInputBufferSize)) DropRestOfLine(input);
  if (echo) {
    // Older consoles fault on a null count pointer, so one is given though
    // the count is not used.
    DWORD written = 0;
    WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), buffer, read, &written, nullptr);
  }
  return TypedLineFromUnits(std::wstring(buffer, read));
}

TypedLine ConsoleReadLine(bool echo) {
  std::optional<TypedLine> line = ReadConsoleLine(echo);
  if (!line) EndProgram(0);
  return std::move(*line);
}

}  // namespace varneth
