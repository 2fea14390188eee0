// Reads varneth.exe's resources the way Windows does: the manifest through
// the resource functions of a module loaded as data, the version strings
// through the version API. VARNETH_EXE names the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "runtime/program_texts.h"
#include "varneth_version.h"

namespace varneth {
namespace {

// Wine maps the Unix root to drive Z:, so a Unix path is made a Windows one.
std::string ProgramPath() {
  const char* path = std::getenv("VARNETH_EXE");
  if (path == nullptr) return "";
  std::string windows = path;
  if (!windows.empty() && windows[0] == '/') windows = "Z:" + windows;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

class ProgramResources : public testing::Test {
 protected:
  void SetUp() override {
    path_ = ProgramPath();
    ASSERT_FALSE(path_.empty()) << "VARNETH_EXE is not set";
  }
  std::string path_;
};

TEST_F(ProgramResources, ManifestRunsAsInvokerOnEverySupportedWindows) {
  HMODULE module = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << path_ << " error " << GetLastError();
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
  const std::string manifest(bytes, SizeofResource(module, found));
  FreeLibrary(module);

  EXPECT_NE(manifest.find(R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)"),
            std::string::npos);
  const char* supported[] = {
      "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
  };
  for (const char* id : supported) {
    EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + id + "\"/>"), std::string::npos)
        << id;
  }
  // The program keeps the system's ANSI code page.
  EXPECT_EQ(manifest.find("<activeCodePage"), std::string::npos);
}

std::wstring VersionString(const std::string& data, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring query = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
  if (!VerQueryValueW(data.data(), query.c_str(), &value, &length) || length == 0) return L"";
  return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST_F(ProgramResources, VersionResourceNamesTheProgramInSimplifiedChinese) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string data(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(path_.c_str(), 0, size, data.data()));

  struct Translation {
    WORD language;
    WORD codePage;
  };
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, sizeof(Translation));
  EXPECT_EQ(static_cast<Translation*>(value)->language, 0x0804);
  EXPECT_EQ(static_cast<Translation*>(value)->codePage, 1200);

  const std::wstring version = L"" VARNETH_VERSION_TEXT_WIDE;
  EXPECT_EQ(VersionString(data, L"ProductName"), L"Varneth");
  EXPECT_EQ(VersionString(data, L"FileVersion"), version);
  EXPECT_EQ(VersionString(data, L"ProductVersion"), version);
  EXPECT_EQ(VersionString(data, L"OriginalFilename"), L"varneth.exe");
  EXPECT_EQ(VersionString(data, L"InternalName"), L"varneth.exe");
  EXPECT_EQ(VersionString(data, L"FileDescription"), L"Varneth 文件关联清除工具");
  EXPECT_EQ(VersionString(data, L"CompanyName"), L"Varneth 项目");
  EXPECT_EQ(VersionString(data, L"LegalCopyright"), L"Copyright (C) 2026 Varneth 项目");

  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", &value, &length));
  const auto* fixed = static_cast<VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwFileVersionMS,
            static_cast<DWORD>(MAKELONG(VARNETH_VERSION_MINOR, VARNETH_VERSION_MAJOR)));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, VARNETH_VERSION_PATCH)));
}

TEST(ProgramVersion, TheBannerNamesTheMajorAndMinorVersion) {
  const std::string banner = texts::kBanner;
  const std::string named = "Varneth " + std::to_string(VARNETH_VERSION_MAJOR) + "." +
                            std::to_string(VARNETH_VERSION_MINOR) + " By ";
  EXPECT_EQ(banner.substr(0, named.size()), named);
}

}  // namespace
}  // namespace varneth
