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

TEST(ParseCommandLine, AScanNeedsNoExtensionAndTakesNoOptionOfARun) {
  EXPECT_TRUE(Parse({"/S"}).scan);
  EXPECT_EQ(Parse({"--scan"}).error, UsageError::kNone);
  EXPECT_EQ(Extensions(Parse({"txt", "-s", ".log"})), (std::vector<std::string>{"txt", "log"}));
  EXPECT_EQ(Parse({"/s", "exe"}).error, UsageError::kRefusedExtension);
  const struct {
    std::vector<const char*> arguments;
    const char* named;  // the first option of a run
  } cases[] = {{{"/s", "/n"}, "/n"},
               {{"txt", "-B", "x", "/n", "/s"}, "-B"},
               {{"--backup-dir=x", "--scan"}, "--backup-dir=x"}};
  for (const auto& c : cases) {
    const CommandLine line = Parse(c.arguments);
    EXPECT_EQ(line.error, UsageError::kNotWithScan) << c.named;
    EXPECT_STREQ(line.errorArgument.Bytes(), c.named);
  }
}

TEST(ParseCommandLine, RefusesWhatTheDialogueRefuses) {
  for (const char* refused : {"exe", "BAT", ".cmd", "...", "\\", " ", "\xA1\xA1", ".\\."}) {
    const CommandLine line = Parse({refused});
    EXPECT_EQ(line.error, UsageError::kRefusedExtension) << refused;
  }
  EXPECT_EQ(Extensions(Parse({"\xD6\xD0\xCE\xC4"})),
            (std::vector<std::string>{"\xD6\xD0\xCE\xC4"}));
}

TEST(ParseCommandLine, AnEmptyDirectoryIsAMissingOne) {
  for (const char* option : {"/b", "-b", "--backup-dir", "--BACKUP-DIR"}) {
    const CommandLine line = Parse({"txt", option, ""});
    EXPECT_EQ(line.error, UsageError::kMissingDirectory) << option;
    EXPECT_STREQ(line.errorArgument.Bytes(), option);
  }
}

// Arguments as the wide entry point gives them.
CommandLine ParseWide(std::vector<const wchar_t*> arguments) {
  arguments.insert(arguments.begin(), L"varneth.exe");
  return ParseCommandLine(NarrowArguments(static_cast<int>(arguments.size()), arguments.data()));
}

TEST(ParseCommandLine, AnArgumentTheCodePageCannotHoldIsAnErrorByItsPosition) {
  // Hangul: not in code page 936. The first error is kept, with its kind of argument.
  CommandLine line = ParseWide({L"-n", L"txt", L"\uD55C", L"/b", L"C:\\\uD55C"});
  EXPECT_EQ(line.error, UsageError::kUnrepresentable);
  EXPECT_EQ(line.errorPosition, 3);
  EXPECT_TRUE(line.errorIsExtension);

  line = ParseWide({L"a\U0001F600"});  // an emoji, two UTF-16 units
  EXPECT_EQ(line.error, UsageError::kUnrepresentable);
  EXPECT_EQ(line.errorPosition, 1);

  // Options and their directories are read the same way.
  line = ParseWide({L"txt", L"/b", L"C:\\\uD55C"});
  EXPECT_EQ(line.error, UsageError::kUnrepresentable);
  EXPECT_EQ(line.errorPosition, 3);
  EXPECT_FALSE(line.errorIsExtension);
  EXPECT_EQ(ParseWide({L"txt", L"--backup-dir=\uD55C"}).errorPosition, 2);
  EXPECT_EQ(ParseWide({L"txt", L"-\uD55C"}).error, UsageError::kUnrepresentable);
}

TEST(ParseCommandLine, WideArgumentsTheCodePageHoldsAreReadAsTyped) {
  // A question mark typed as such, and Chinese (U+4E2D U+6587, U+6DFA whose
  // second byte is 0x5C), convert exactly.
  const CommandLine line = ParseWide({L"?", L"\u4E2D\u6587", L"\u6DFA", L"/b", L"D:\\\u5907\u4EFD"});
  EXPECT_EQ(line.error, UsageError::kNone);
  EXPECT_EQ(Extensions(line),
            (std::vector<std::string>{"?", "\xD6\xD0\xCE\xC4", "\x9C\x5C"}));
  EXPECT_STREQ(line.backupFolder.Bytes(), "D:\\\xB1\xB8\xB7\xDD");
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
