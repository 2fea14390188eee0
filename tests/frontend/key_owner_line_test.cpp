#include "frontend/key_owner_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "runtime/program_texts.h"

namespace varneth {
namespace {

// The dialogue and the command line write the same line. The usual case
// says nothing, so its output is what it always was.
TEST(KeyOwnerLine, NamesWhoseKeysWhereItMatters) {
  const std::string name = std::string("CORP\\alice") + texts::kUserKeysTail;
  const std::string none = "(none)";
  const std::pair<KeyOwnerCase, std::string> cases[] = {
      {KeyOwnerCase::kProcessUser, none},
      {KeyOwnerCase::kDesktopUser, texts::kDesktopUserKeysLead + name},
      {KeyOwnerCase::kUnsureOwnKeys, texts::kOwnKeysLead + name},
      {KeyOwnerCase::kNoConsoleUser, texts::kNoConsoleUser},
  };
  for (const auto& [whose, expected] : cases) {
    const KeyOwner owner{whose, CopyText("S-1-5-21-1-2-3-1001"), CopyText("CORP\\alice")};
    const std::optional<Text> line = KeyOwnerLine(owner);
    EXPECT_EQ(line ? std::string(line->Bytes()) : none, expected);
  }
}

}  // namespace
}  // namespace varneth
