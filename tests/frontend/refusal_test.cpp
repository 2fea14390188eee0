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

TEST(IsRefusedExtension, AcceptsEverythingElse) {
  for (const char* name : {"txt", ".txt", "tar.gz", "exe2", "exex", "ex", "\xA3\xC5" "xe",
                           "e\xA3\xD8" "e", "\r\n", "\n\n", "a\\b", "\\txt", "bat\\", "\x81\x5C"}) {
    EXPECT_FALSE(IsRefusedExtension(name)) << name;
  }
}

}  // namespace
}  // namespace varneth
