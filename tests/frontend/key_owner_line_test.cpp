#include "frontend/key_owner_line.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/program_texts.h"

namespace varneth {
namespace {

TEST(KeyOwnerLine, NamesWhoseKeysWhereItMatters) {
  const std::string name = std::string("CORP\\alice") + texts::kUserKeysTail;
  const std::string other = texts::kDesktopUserKeysLead + name;
  const std::string own = texts::kOwnKeysLead + name;
  const std::string none = "(none)";
  // Per case: the dialogue's line, then the command line's. The usual case
  // says nothing, so its output is what it always was.
  const struct {
    KeyOwnerCase whose;
    std::string dialogue, commandLine;
  } cases[] = {
      {KeyOwnerCase::kProcessUser, none, none},
      {KeyOwnerCase::kDesktopUser, other, other},
      {KeyOwnerCase::kUnsureOwnKeys, none, own},
      {KeyOwnerCase::kNoConsoleUser, texts::kNoConsoleUser, texts::kNoConsoleUser},
  };
  for (const auto& each : cases) {
    const KeyOwner owner{each.whose, CopyText("S-1-5-21-1-2-3-1001"), CopyText("CORP\\alice")};
    for (const bool commandLine : {false, true}) {
      const std::optional<Text> line = KeyOwnerLine(owner, commandLine);
      EXPECT_EQ(line ? std::string(line->Bytes()) : none,
                commandLine ? each.commandLine : each.dialogue);
    }
  }
}

}  // namespace
}  // namespace varneth
