#include "frontend/console.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "frontend/line_end.h"

namespace varneth {
namespace {

std::string ReadWholeFile(const std::string& path) {
  std::string content;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char chunk[256];
    size_t read;
    while ((read = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, read);
    std::fclose(file);
  }
  return content;
}

// Runs `write` in a child process whose standard output and error go to
// files, and gives back what reached each file.
template <typename Write>
std::pair<std::string, std::string> CaptureOutput(Write write) {
  const std::string out = testing::TempDir() + "varneth_console_out.txt";
  const std::string err = testing::TempDir() + "varneth_console_err.txt";
  std::remove(out.c_str());
  std::remove(err.c_str());
  EXPECT_EXIT(
      {
        std::freopen(out.c_str(), "w", stdout);
        std::freopen(err.c_str(), "w", stderr);
        write();
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
  return {ReadWholeFile(out), ReadWholeFile(err)};
}

TEST(ConsoleWriteTextDeathTest, WritesTextsInOrderInTextMode) {
  const auto [out, err] = CaptureOutput([] {
    ConsoleWriteText({"Varneth\r\n", Text(), "", "a\nb"});
  });
  // Text mode turns every LF into CR LF, so the program's own CR LF arrives
  // as CR CR LF.
  EXPECT_EQ(out, "Varneth\r\r\na\r\nb");
  EXPECT_EQ(err, "");
}

TEST(ConsoleWriteTextDeathTest, NeverTreatsATextAsAFormat) {
  const auto [out, err] = CaptureOutput([] { ConsoleWriteText({"100%s %d %n%%"}); });
  EXPECT_EQ(out, "100%s %d %n%%");
}

TEST(ConsoleWriteTextDeathTest, DirectionTwoSelectsStandardError) {
  const auto [out, err] = CaptureOutput([] {
    ConsoleWriteText(kStandardError, {"to error"});
    ConsoleWriteText(1, {"one "});
    ConsoleWriteText(0, {"zero"});
  });
  EXPECT_EQ(out, "one zero");
  EXPECT_EQ(err, "to error");
}

TEST(ConsoleWriteTextDeathTest, OnlyEmptyTextsWriteNothing) {
  const auto [out, err] = CaptureOutput([] { ConsoleWriteText({"", Text(), ""}); });
  EXPECT_EQ(out, "");
}

TEST(ConsoleWritePiece, TakesWholeCharactersUpToTheLimit) {
  std::string text(kConsoleWriteLimit + 10, 'a');
  EXPECT_EQ(ConsoleWritePiece(text.data(), 5), 5);
  EXPECT_EQ(ConsoleWritePiece(text.data(), static_cast<std::int32_t>(text.size())),
            kConsoleWriteLimit);
  // A two-byte character across the limit waits for the next write.
  text[kConsoleWriteLimit - 1] = '\xB9';
  text[kConsoleWriteLimit] = '\xD8';
  EXPECT_EQ(ConsoleWritePiece(text.data(), static_cast<std::int32_t>(text.size())),
            kConsoleWriteLimit - 1);
  // A lead byte that ends the text is written alone.
  EXPECT_EQ(ConsoleWritePiece("ab\xB9", 3), 3);
}

std::string Cut(std::string bytes, int count) {
  CutLineEnd(bytes.data(), count);
  return bytes.c_str();
}

TEST(CutLineEnd, CutsAtTheFirstLineEndWhateverTheLength) {
  EXPECT_EQ(Cut("\r\n", 2), "");
  EXPECT_EQ(Cut("\n", 1), "");
  EXPECT_EQ(Cut("a\r\n", 3), "a");
  EXPECT_EQ(Cut("txt\r\n", 5), "txt");
  EXPECT_EQ(Cut("a\rb\n", 4), "a");
  EXPECT_EQ(Cut("a\nb\r", 4), "a");
}

TEST(CutLineEnd, StopsAtANulOrTheCount) {
  std::string withNul("a\0b\r\n", 5);
  CutLineEnd(withNul.data(), 5);
  EXPECT_EQ(withNul, std::string("a\0b\r\n", 5));  // untouched past the NUL
  EXPECT_EQ(Cut("abc\r\n", 3), "abc\r\n");         // the line end is past the count
}

// The console keeps the rest of a line longer than the buffer; only a full
// buffer without a line feed leaves some behind.
TEST(LineGoesOn, OnlyAFullBufferWithoutLineFeed) {
  std::string line(2048, 'a');
  EXPECT_TRUE(LineGoesOn(line.data(), 2048, 2048));  // 2,048 bytes: its CR LF is still unread
  line[2047] = '\r';
  EXPECT_TRUE(LineGoesOn(line.data(), 2048, 2048));  // 2,047 bytes and CR: the LF is unread
  line[2046] = '\r';
  line[2047] = '\n';
  EXPECT_FALSE(LineGoesOn(line.data(), 2048, 2048));  // the whole line fits
  EXPECT_FALSE(LineGoesOn("ab\r\n", 4, 2048));
  EXPECT_FALSE(LineGoesOn("\n", 1, 2048));
  EXPECT_FALSE(LineGoesOn("abc", 3, 2048));  // a short read is a whole read
}

class StandardInput : public testing::Test {
 protected:
  void SetUp() override { saved_ = GetStdHandle(STD_INPUT_HANDLE); }
  void TearDown() override { SetStdHandle(STD_INPUT_HANDLE, saved_); }
  HANDLE saved_ = nullptr;
};

TEST_F(StandardInput, NoHandleGivesNothing) {
  SetStdHandle(STD_INPUT_HANDLE, nullptr);
  EXPECT_FALSE(ReadConsoleLine(false).has_value());
}

TEST_F(StandardInput, AFileIsNotAConsoleAndGivesNothing) {
  const std::string path = testing::TempDir() + "varneth_console_in.txt";
  FILE* file = std::fopen(path.c_str(), "wb");
  std::fputs("txt\r\n", file);
  std::fclose(file);
  HANDLE input = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
  ASSERT_NE(input, INVALID_HANDLE_VALUE);
  SetStdHandle(STD_INPUT_HANDLE, input);
  EXPECT_FALSE(ReadConsoleLine(true).has_value());
  CloseHandle(input);
  std::remove(path.c_str());
}

TEST_F(StandardInput, ConsoleReadLineEndsTheProgramWhenNothingCanBeRead) {
  SetStdHandle(STD_INPUT_HANDLE, nullptr);
  EXPECT_EXIT(
      {
        ConsoleReadLine(true);
        std::fprintf(stderr, "still running");
        std::exit(3);
      },
      testing::ExitedWithCode(0), "^$");
}

}  // namespace
}  // namespace varneth
