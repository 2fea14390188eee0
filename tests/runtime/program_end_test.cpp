// The ways out of the program. Each runs in a child process (a death test):
// the child shows its box through the test observer, which writes the box's
// bytes to standard error in hex so the parent can compare them exactly.
#include "runtime/program_end.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "box_capture.h"
#include "runtime/memory.h"
#include "runtime/platform.h"
#include "runtime/program_texts.h"

namespace varneth {
namespace {

using namespace testing_support;

int g_hookRuns = 0;
void CountingHook() {
  ++g_hookRuns;
  std::fprintf(stderr, "hook%d ", g_hookRuns);
}
void ReleaseStep() { std::fprintf(stderr, "release(after %d hooks)", g_hookRuns); }

TEST(EndProgramDeathTest, RunsHooksInOrderThenTheModuleReleaseAndExitsWithItsCode) {
  EXPECT_EXIT(
      {
        StartRuntime();
        SetEndHook(2, CountingHook);
        SetEndHook(3, CountingHook);
        SetModuleRelease(ReleaseStep);
        EndProgram(0);
      },
      testing::ExitedWithCode(0), "hook1 hook2 release\\(after 2 hooks\\)");
}

TEST(EndProgramDeathTest, FlushesBufferedStandardOutput) {
  // The child's stdout is a pipe, so it is fully buffered: the text reaches
  // the file only if the exit flushes it.
  const std::string path = testing::TempDir() + "varneth_end_flush.txt";
  std::remove(path.c_str());
  EXPECT_EXIT(
      {
        std::freopen(path.c_str(), "w", stdout);
        std::printf("before the end\n");
        EndProgram(0);
      },
      testing::ExitedWithCode(0), "");
  FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  char content[64] = {};
  const size_t read = std::fread(content, 1, sizeof content - 1, file);
  std::fclose(file);
  std::remove(path.c_str());
  EXPECT_EQ(std::string(content, read), "before the end\r\n");
}

TEST(ReportFatalErrorDeathTest, Error6ShowsTwoLinesAndExitsWithZero) {
  SetErrorBoxObserver(PrintBoxInHex);
  const std::string text =
      std::string("program internal error number is 6. \r\n") + texts::kRuntimeErrorMessages[5];
  EXPECT_EXIT(ReportFatalError(6), testing::ExitedWithCode(0), ExpectedBox("error", text));
}

TEST(ReportFatalErrorDeathTest, UnknownCodeShowsTheFirstLineOnly) {
  SetErrorBoxObserver(PrintBoxInHex);
  EXPECT_EXIT(ReportFatalError(42), testing::ExitedWithCode(0),
              ExpectedBox("error", "program internal error number is 42. \r\n"));
}

TEST(AllocateBlockDeathTest, ExhaustedHeapShowsOutOfMemoryAndExitsWithZero) {
  SetErrorBoxObserver(PrintBoxInHex);
  EXPECT_EXIT(
      {
        // More than any address space holds, 32-bit or 64-bit.
        AllocateBlock(static_cast<std::size_t>(-1) - 0xFFFF);
        std::fprintf(stderr, "allocation returned");
      },
      testing::ExitedWithCode(0), ExpectedBox("error", texts::kOutOfMemory));
}

TEST(StartRuntimeDeathTest, AFailedNewShowsOutOfMemoryInsteadOfThrowing) {
  SetErrorBoxObserver(PrintBoxInHex);
  EXPECT_EXIT(
      {
        StartRuntime();
        // More than any address space holds, as the containers ask for it.
        volatile std::size_t huge = static_cast<std::size_t>(-1) - 0xFFFF;
        void* block = ::operator new(huge);
        std::fprintf(stderr, "allocation returned %p", block);
      },
      testing::ExitedWithCode(0), ExpectedBox("error", texts::kOutOfMemory));
}

TEST(StartRuntimeDeathTest, OnTheCommandLineAnExhaustedHeapEndsWithItsLineAndCode) {
  SetErrorBoxObserver(PrintBoxInHex);
  EXPECT_EXIT(
      {
        StartRuntime();
        SetOutOfMemoryEnd(texts::kOutOfMemoryLine, 1);
        volatile std::size_t huge = static_cast<std::size_t>(-1) - 0xFFFF;
        void* block = ::operator new(huge);
        std::fprintf(stderr, "allocation returned %p", block);
      },
      testing::ExitedWithCode(1), std::string("^") + texts::kOutOfMemoryLine + "\r\n$");
}

TEST(Memory, ResizeKeepsContentsAndReleaseToleratesNothing) {
  char* block = static_cast<char*>(AllocateBlock(4));
  EXPECT_EQ(block[0], 0);
  block[0] = 'k';
  block = static_cast<char*>(ResizeBlock(block, 100000));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[0], 'k');
  ReleaseBlock(block);
  ReleaseBlock(nullptr);
  char* fresh = static_cast<char*>(ResizeBlock(nullptr, 8));
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh[7], 0);
  ReleaseBlock(fresh);
}

}  // namespace
}  // namespace varneth
