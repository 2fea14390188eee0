#include "probes/system_binding.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "box_capture.h"
#include "runtime/platform.h"
#include "runtime/program_texts.h"

namespace varneth {
namespace {

using namespace testing_support;

std::string Formatted(const char* format, const char* first, const char* second = "") {
  char text[1024];
  std::snprintf(text, sizeof text, format, first, second);
  return text;
}

TEST(SystemBinding, BindsOnceThenCallsStraightThroughTheSlot) {
  const int before = BindingCount();
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  EXPECT_TRUE(BoundGetVersionExA(&version));
  EXPECT_GE(version.dwMajorVersion, 5u);
  const int afterFirst = BindingCount();
  EXPECT_LE(afterFirst - before, 1);  // none if an earlier test bound it
  EXPECT_TRUE(BoundGetVersionExA(&version));
  EXPECT_EQ(BoundLstrlenW(L"abc"), 3);
  EXPECT_EQ(BoundLstrlenW(L"abcd"), 4);
  char destination[4] = {};
  BoundRtlMoveMemory(destination, "xyz", 3);
  BoundRtlMoveMemory(destination, "XY", 2);
  EXPECT_STREQ(destination, "XYz");
  EXPECT_LE(BindingCount() - afterFirst, 2);  // lstrlenW and RtlMoveMemory, once each
  const int settled = BindingCount();
  BoundLstrlenW(L"a");
  BoundRtlMoveMemory(destination, "a", 1);
  BoundGetVersionExA(&version);
  EXPECT_EQ(BindingCount(), settled);
}

TEST(SystemBinding, ASlotStartsUnboundAndIsFilledByTheFirstCall) {
  BindingSlot slot{"kernel32", "GetCurrentProcessId", nullptr};
  using Function = DWORD(WINAPI*)();
  const int before = BindingCount();
  EXPECT_EQ(ThroughSlot<Function>(slot)(), GetCurrentProcessId());
  EXPECT_EQ(BindingCount(), before + 1);
  EXPECT_EQ(slot.address, GetProcAddress(GetModuleHandleA("kernel32"), "GetCurrentProcessId"));
  ThroughSlot<Function>(slot)();
  EXPECT_EQ(BindingCount(), before + 1);
}

TEST(SystemBinding, Kernel32IsNeverLoadedOrListed) {
  const int before = LoadedLibraryCount();
  FARPROC slot = nullptr;
  BindSystemFunction("kernel32", "GetTickCount", &slot);
  EXPECT_NE(slot, nullptr);
  EXPECT_EQ(LoadedLibraryCount(), before);
}

TEST(SystemBinding, OrdinalsAndDoubleAtNames) {
  HMODULE kernel32 = GetModuleHandleA("kernel32");
  FARPROC slot = nullptr;
  EXPECT_EQ(BindSystemFunction("kernel32", "#5", &slot), GetProcAddress(kernel32, MAKEINTRESOURCEA(5)));
  EXPECT_EQ(slot, GetProcAddress(kernel32, MAKEINTRESOURCEA(5)));
  EXPECT_EQ(BindSystemFunction("kernel32", "# +5x", &slot), GetProcAddress(kernel32, MAKEINTRESOURCEA(5)));
  EXPECT_EQ(BindSystemFunction("kernel32", "GetTickCount@@8", &slot),
            GetProcAddress(kernel32, "GetTickCount"));
}

TEST(SystemBinding, AModuleNotInTheProcessIsLoadedListedAndReleased) {
  ASSERT_EQ(GetModuleHandleA("msimg32"), nullptr) << "the test needs msimg32.dll unloaded";
  const int before = LoadedLibraryCount();
  FARPROC slot = nullptr;
  BindSystemFunction("msimg32", "AlphaBlend", &slot);
  HMODULE module = GetModuleHandleA("msimg32");
  ASSERT_NE(module, nullptr);
  ASSERT_EQ(LoadedLibraryCount(), before + 1);
  EXPECT_EQ(LoadedLibrary(before), module);
  ReleaseLoadedLibraries();
  EXPECT_EQ(LoadedLibraryCount(), 0);
  EXPECT_EQ(GetModuleHandleA("msimg32"), nullptr);
}

TEST(SystemBindingDeathTest, AMissingModuleShowsItsBoxAndEndsTheProgram) {
  SetErrorBoxObserver(PrintBoxInHex);
  EXPECT_EXIT(
      {
        FARPROC slot = nullptr;
        BindSystemFunction("varneth_no_such_module", "Anything", &slot);
        std::fprintf(stderr, "went on");
      },
      testing::ExitedWithCode(0),
      ExpectedBox("DLL ERROR", Formatted(texts::kMissingModuleFormat, "varneth_no_such_module")));
}

TEST(SystemBindingDeathTest, AMissingFunctionNamesTheFunctionAsPassed) {
  SetErrorBoxObserver(PrintBoxInHex);
  EXPECT_EXIT(
      {
        FARPROC slot = nullptr;
        BindSystemFunction("kernel32", "NoSuchFunction@@4", &slot);
        std::fprintf(stderr, "went on");
      },
      testing::ExitedWithCode(0),
      ExpectedBox("DLL ERROR",
                  Formatted(texts::kMissingFunctionFormat, "kernel32", "NoSuchFunction@@4")));
  EXPECT_EXIT(
      {
        FARPROC slot = nullptr;
        BindSystemFunction("kernel32", "#70000", &slot);
      },
      testing::ExitedWithCode(0),
      ExpectedBox("DLL ERROR", Formatted(texts::kMissingFunctionFormat, "kernel32", "#70000")));
}

}  // namespace
}  // namespace varneth
