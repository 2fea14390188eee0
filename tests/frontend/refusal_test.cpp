#include <gtest/gtest.h>

#include "frontend/dialogue.h"

namespace varneth {
namespace {

TEST(IsRefusedExtension, RefusesProgramAndBatchNamesInAnySpelling) {
  for (const wchar_t* name : {L"exe", L"bat", L"cmd", L"EXE", L"Bat", L"cMD", L".exe", L"e.x.e",
                              L"exe.", L"..CMD", L".b.a.t."}) {
    EXPECT_TRUE(IsRefusedExtension(name)) << name;
  }
}

TEST(IsRefusedExtension, RefusesWhatNamesNoExtension) {
  for (const wchar_t* name : {L"", L"\n", L".", L"...", L"\\", L".\\\\."}) {
    EXPECT_TRUE(IsRefusedExtension(name)) << name;
  }
}

// A backslash would carry the cleanup's paths into another extension's keys,
// or below them. It is seen as a character whatever stands before it: in
// UTF-8 中 ends in AD, in code page 1252 é is E9, and code page 936 would
// read either with the backslash after it as one character.
TEST(IsRefusedExtension, RefusesAnyBackslash) {
  for (const wchar_t* name : {L"exe\\", L"EXE\\", L"bat\\\\", L"xyz\\sub", L"txt\\UserChoice",
                              L"\\txt", L"a\\b", L"\u4E2D\\", L"\u6DFA\\", L"acc\u4E2D\\x",
                              L"acc\u00E9\\x", L"\u20AC\\UserChoice"}) {
    EXPECT_TRUE(IsRefusedExtension(name)) << name;
  }
}

// Control characters, which no typed extension holds.
TEST(IsRefusedExtension, RefusesControlCharacters) {
  for (const wchar_t* name : {L"vnt\tx", L"vnt\x01", L"\x1B[2J", L"\r\n", L"\n\n", L"txt\x7F"}) {
    EXPECT_TRUE(IsRefusedExtension(name)) << name;
  }
}

TEST(IsRefusedExtension, AcceptsEverythingElse) {
  // Ｅxe and eＸe are full-width letters; U+6DFA is 9C 5C in code page 936.
  for (const wchar_t* name : {L"txt", L".txt", L"tar.gz", L"exe2", L"exex", L"ex", L"\uFF25xe",
                              L"e\uFF38e", L"\u6DFA", L"md\u6587~!"}) {
    EXPECT_FALSE(IsRefusedExtension(name)) << name;
  }
}

}  // namespace
}  // namespace varneth
