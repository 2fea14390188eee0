#include <gtest/gtest.h>

#include "frontend/dialogue.h"

namespace varneth {
namespace {

TEST(IsRefusedExtension, RefusesProgramAndBatchNamesInAnySpelling) {
  for (const char* name : {"exe", "bat", "cmd", "EXE", "Bat", "cMD", ".exe", "e.x.e", "exe.",
                           "..CMD", ".b.a.t."}) {
    EXPECT_TRUE(IsRefusedExtension(name)) << name;
  }
}

TEST(IsRefusedExtension, RefusesWhatNamesNoExtension) {
  EXPECT_TRUE(IsRefusedExtension(Text()));
  EXPECT_TRUE(IsRefusedExtension(""));
  EXPECT_TRUE(IsRefusedExtension("\n"));
  EXPECT_TRUE(IsRefusedExtension("."));
  EXPECT_TRUE(IsRefusedExtension("..."));
  EXPECT_TRUE(IsRefusedExtension("\\"));
  EXPECT_TRUE(IsRefusedExtension(".\\\\."));
}

// A backslash would carry the cleanup's paths into another extension's keys,
// or below them.
TEST(IsRefusedExtension, RefusesAnyBackslash) {
  for (const char* name : {"exe\\", "EXE\\", "bat\\\\", "xyz\\sub", "txt\\UserChoice", "\\txt",
                           "a\\b", "\xD6\xD0\\", "\x9C\x5C\\"}) {
    EXPECT_TRUE(IsRefusedExtension(name)) << name;
  }
}

// Control characters, which no typed extension holds; a space-free name of
// printable bytes and two-byte characters passes.
TEST(IsRefusedExtension, RefusesControlCharacters) {
  for (const char* name : {"vnt\tx", "vnt\x01", "\x1B[2J", "\r\n", "\n\n", "txt\x7F"}) {
    EXPECT_TRUE(IsRefusedExtension(name)) << name;
  }
  EXPECT_FALSE(IsRefusedExtension("md\xCE\xC4~!"));
}

// 0x5C as the second byte of a two-byte character is part of it.
TEST(HoldsBackslash, JudgesCharacterByCharacter) {
  EXPECT_FALSE(HoldsBackslash("\x9C\x5C"));          // U+6DFA
  EXPECT_FALSE(HoldsBackslash("a\x81\x5C\xFE\x5C"));  // two such characters
  EXPECT_TRUE(HoldsBackslash("\x9C\x5C\x5C"));
  EXPECT_TRUE(HoldsBackslash("a\x5C\x9C\x5C"));
  EXPECT_FALSE(HoldsBackslash(""));
  EXPECT_FALSE(HoldsBackslash("\x9C"));  // a lone lead byte at the end reads no further
  // 0x80 (the euro sign) is one character: the backslash after it is one.
  EXPECT_TRUE(HoldsBackslash("\x80\\UserChoice"));
  EXPECT_TRUE(IsRefusedExtension("\x80\\UserChoice"));
  EXPECT_TRUE(HoldsBackslash("\xFF\\"));
}

TEST(IsRefusedExtension, AcceptsEverythingElse) {
  for (const char* name : {"txt", ".txt", "tar.gz", "exe2", "exex", "ex", "\xA3\xC5" "xe",
                           "e\xA3\xD8" "e", "\x81\x5C", "\x9C\x5C"}) {
    EXPECT_FALSE(IsRefusedExtension(name)) << name;
  }
}

}  // namespace
}  // namespace varneth
