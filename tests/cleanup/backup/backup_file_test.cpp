#include "cleanup/backup/backup_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/program_end.h"

namespace varneth {
namespace {

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME time = {};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  return time;
}

const SYSTEMTIME kNoon = Time(2026, 3, 7, 12, 5, 9);

TEST(BackupFileStem, NamesTheExtensionAndTheLocalTime) {
  EXPECT_EQ(BackupFileStem("txt", kNoon), L"txt-20260307-120509");
  EXPECT_EQ(BackupFileStem("txt", Time(2026, 12, 31, 23, 59, 58)), L"txt-20261231-235958");
}

TEST(BackupFileStem, CharactersAFileNameCannotHoldBecomeUnderscores) {
  EXPECT_EQ(BackupFileStem("a\\b/c:d*e?f\"g<h>i|j", kNoon), L"a_b_c_d_e_f_g_h_i_j-20260307-120509");
  EXPECT_EQ(BackupFileStem("\x01x\x1F", kNoon), L"_x_-20260307-120509");
  // Judged by character: the second bytes of these two are 0x5C and 0x7C.
  EXPECT_EQ(BackupFileStem("\x81\x5C\x81\x7C", kNoon), L"乗亅-20260307-120509");
  EXPECT_EQ(BackupFileStem("\xD6\xD0\xCE\xC4", kNoon), L"中文-20260307-120509");
}

TEST(BackupFileStem, ALongExtensionIsCutOnACharacterBoundary) {
  std::string longName;
  for (int i = 0; i < 100; ++i) longName += "\xD6\xD0";  // 中
  EXPECT_EQ(BackupFileStem(longName.c_str(), kNoon), std::wstring(64, L'中') + L"-20260307-120509");
}

class BackupFolder : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::wstring(temp) + L"varneth-backup-test-" +
            std::wstring(info->name(), info->name() + std::strlen(info->name()));
    Remove(root_);
  }
  void TearDown() override { Remove(root_); }

  static void Remove(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        Remove(path + L"\\" + name);
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    if (!RemoveDirectoryW(path.c_str())) DeleteFileW(path.c_str());
  }

  static std::string Read(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  std::wstring root_;
};

TEST_F(BackupFolder, WritesUtf16WithAByteOrderMarkIntoANewFolder) {
  const std::wstring folder = root_ + L"\\Varneth\\Backups";
  const BackupFile file = WriteBackupFile(folder, L"txt-20260307-120509", L"Ab中");
  ASSERT_TRUE(file.Written()) << file.error;
  EXPECT_EQ(file.path, folder + L"\\txt-20260307-120509.reg");
  EXPECT_EQ(Read(file.path), std::string("\xFF\xFE"
                                         "A\0b\0\x2D\x4E",
                                         8));
}

TEST_F(BackupFolder, NeverOverwritesAFileTakesTheNextFreeNumber) {
  const BackupFile first = WriteBackupFile(root_, L"stem", L"first");
  const BackupFile second = WriteBackupFile(root_, L"stem", L"second");
  // A folder that ends in its separator, as a drive's root does, gets no second one.
  const BackupFile third = WriteBackupFile(root_ + L"\\", L"stem", L"third");
  ASSERT_TRUE(third.Written());
  EXPECT_EQ(first.path, root_ + L"\\stem.reg");
  EXPECT_EQ(second.path, root_ + L"\\stem-2.reg");
  EXPECT_EQ(third.path, root_ + L"\\stem-3.reg");
  EXPECT_EQ(Read(first.path).size(), 2 + 2 * 5u);
}

BOOL WINAPI EndDuringTheFlush(HANDLE) { ExitProcess(7); }

// A run killed while its backup is written leaves no file that looks like a
// backup; the next run passes what it left over.
TEST_F(BackupFolder, OnlyAWholeFlushedFileGetsABackupsName) {
  CreateDirectoryW(root_.c_str(), nullptr);
  EXPECT_EXIT(
      {
        SetBackupFileCalls({EndDuringTheFlush, CloseHandle});
        WriteBackupFile(root_, L"stem", L"whole content");
      },
      testing::ExitedWithCode(7), "");
  EXPECT_EQ(GetFileAttributesW((root_ + L"\\stem.reg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW((root_ + L"\\stem.partial").c_str()), INVALID_FILE_ATTRIBUTES);
  const BackupFile next = WriteBackupFile(root_, L"stem", L"next");
  EXPECT_EQ(next.path, root_ + L"\\stem.reg");
  EXPECT_EQ(Read(next.path).size(), 2 + 2 * 4u);
}

// An exhausted heap ends the program where it stands, without unwinding:
// the file being written goes all the same, through the program's end.
TEST_F(BackupFolder, AnExhaustedHeapLeavesNoPartialFile) {
  CreateDirectoryW(root_.c_str(), nullptr);
  EXPECT_EXIT(
      {
        StartRuntime();
        SetOutOfMemoryEnd("out of memory", 1);
        BackupWriter writer;
        writer.Start(root_, L"stem");
        writer.Append(L"some of it");
        volatile std::size_t huge = static_cast<std::size_t>(-1) - 0xFFFF;
        void* block = ::operator new(huge);
        ::operator delete(block);
      },
      testing::ExitedWithCode(1), "out of memory");
  EXPECT_EQ(GetFileAttributesW((root_ + L"\\stem.partial").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(BackupFolder, AFileWhereTheFolderShouldBeIsAnError) {
  CreateDirectoryW(root_.c_str(), nullptr);
  std::ofstream((root_ + L"\\Varneth").c_str()) << "in the way";
  const BackupFile file = WriteBackupFile(root_ + L"\\Varneth\\Backups", L"stem", L"x");
  EXPECT_FALSE(file.Written());
  EXPECT_EQ(file.path, root_ + L"\\Varneth\\Backups\\stem.partial");
  EXPECT_EQ(GetFileAttributesW(file.path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(BackupFolder, ARelativeFolderIsMadeFull) {
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring expected = current;
  if (expected.back() != L'\\') expected += L'\\';
  EXPECT_EQ(FullFolderPath(L"backups\\"), expected + L"backups");
}

}  // namespace
}  // namespace varneth
