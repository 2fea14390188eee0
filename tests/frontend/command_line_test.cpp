#include "frontend/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varneth {
namespace {

CommandLine Parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "varneth.exe");
  return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

std::vector<std::string> Extensions(const CommandLine& line) {
  std::vector<std::string> names;
  for (const Text& extension : line.extensions) names.push_back(extension.Bytes());
  return names;
}

TEST(ParseCommandLine, OptionsMayStandAnywhereInAnyForm) {
  const CommandLine line = Parse({"/N", "t x t", "-b", "C:\\backups", ".tar.gz", "--dry-run"});
  EXPECT_EQ(line.error, UsageError::kNone);
  EXPECT_TRUE(line.dryRun);
  EXPECT_FALSE(line.help);
  EXPECT_STREQ(line.backupFolder.Bytes(), "C:\\backups");
  EXPECT_EQ(Extensions(line), (std::vector<std::string>{"txt", "targz"}));

  const CommandLine joined = Parse({"--Backup-Dir=D:\\b", "txt", "/B", "E:\\last"});
  EXPECT_STREQ(joined.backupFolder.Bytes(), "E:\\last");  // the last one counts
  EXPECT_FALSE(joined.dryRun);
}

TEST(ParseCommandLine, DoubleDashEndsTheOptions) {
  const CommandLine line = Parse({"-n", "--", "-x", "/n"});
  EXPECT_EQ(line.error, UsageError::kNone);
  EXPECT_TRUE(line.dryRun);
  EXPECT_EQ(Extensions(line), (std::vector<std::string>{"-x", "/n"}));
}

TEST(ParseCommandLine, TheFirstErrorIsKeptWithItsArgument) {
  CommandLine line = Parse({"txt", "/q", "exe"});
  EXPECT_EQ(line.error, UsageError::kUnknownOption);
  EXPECT_STREQ(line.errorArgument.Bytes(), "/q");
  line = Parse({"e x e", "/q"});
  EXPECT_EQ(line.error, UsageError::kRefusedExtension);
  EXPECT_STREQ(line.errorArgument.Bytes(), "e x e");
  line = Parse({"txt", "--backup-dir"});
  EXPECT_EQ(line.error, UsageError::kMissingDirectory);
  EXPECT_STREQ(line.errorArgument.Bytes(), "--backup-dir");
  EXPECT_EQ(Parse({"txt", "--backup-dir="}).error, UsageError::kMissingDirectory);
  EXPECT_EQ(Parse({}).error, UsageError::kNoExtension);
  EXPECT_EQ(Parse({"-n", "--"}).error, UsageError::kNoExtension);
  EXPECT_EQ(Parse({"-"}).error, UsageError::kUnknownOption);
}

TEST(ParseCommandLine, RefusesWhatTheDialogueRefuses) {
  for (const char* refused : {"exe", "BAT", ".cmd", "...", "\\", " ", "\xA1\xA1", ".\\."}) {
    const CommandLine line = Parse({refused});
    EXPECT_EQ(line.error, UsageError::kRefusedExtension) << refused;
  }
  EXPECT_EQ(Extensions(Parse({"\xD6\xD0\xCE\xC4"})),
            (std::vector<std::string>{"\xD6\xD0\xCE\xC4"}));
}

TEST(ParseCommandLine, HelpIsSeenWhateverElseStandsBesideIt) {
  for (const char* help : {"/?", "-?", "/H", "-h", "--help", "--HELP"}) {
    const CommandLine line = Parse({"/q", help, "exe"});
    EXPECT_TRUE(line.help) << help;
  }
  EXPECT_FALSE(Parse({"--", "/?"}).help);
}

}  // namespace
}  // namespace varneth
