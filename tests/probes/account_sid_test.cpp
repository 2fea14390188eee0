#include "probes/account_sid.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it relies on.
#include <sddl.h>

#include <string>

namespace varneth {
namespace {

// The platform's own string form of the process token's user SID.
std::string TokenUserSidText() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  char buffer[256];
  DWORD size = 0;
  std::string text;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    char* sidText = nullptr;
    if (ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sidText)) {
      text = sidText;
      LocalFree(sidText);
    }
  }
  CloseHandle(token);
  return text;
}

TEST(GetAccountSidText, GivesTheLoggedOnUsersSidText) {
  char name[256];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetUserNameA(name, &size));
  const Text sid = GetAccountSidText(name);
  const std::string expected = TokenUserSidText();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(std::string(sid.Bytes()), expected);
  EXPECT_EQ(TextLength(sid), static_cast<std::int32_t>(expected.size()));
}

TEST(GetAccountSidText, AnUnknownAccountGivesTheEmptyText) {
  EXPECT_FALSE(GetAccountSidText("varneth-no-such-account-4711").HasBlock());
  // What the dialogue passes when GetUserNameA failed: 255 spaces.
  EXPECT_FALSE(GetAccountSidText(BlankText(255)).HasBlock());
}

ByteBuffer WideBytes(const wchar_t* text, std::int32_t byteCount) {
  return ByteBuffer::FromBytes(text, byteCount);
}

TEST(WideBytesToText, EmptyBuffersGiveTheEmptyText) {
  EXPECT_FALSE(WideBytesToText(ByteBuffer()).HasBlock());
  EXPECT_FALSE(WideBytesToText(WideBytes(L"a", 1)).HasBlock());  // half a unit
}

TEST(WideBytesToText, AnOddLastByteIsIgnored) {
  EXPECT_EQ(std::string(WideBytesToText(WideBytes(L"S-1", 5)).Bytes()), "S-");
}

TEST(WideBytesToText, ConvertsToCodePage936WhateverTheAnsiCodePage) {
  // 关联 is B9 D8 C1 AA in code page 936. This test also runs under a
  // Western ANSI code page (see tests/CMakeLists.txt).
  RecordProperty("AnsiCodePage", static_cast<int>(GetACP()));
  const Text text = WideBytesToText(WideBytes(L"\x5173\x8054.S-1-5", 16));
  EXPECT_EQ(std::string(text.Bytes()), "\xB9\xD8\xC1\xAA.S-1-5");
}

}  // namespace
}  // namespace varneth
