#include "frontend/key_owner_line.h"

#include "runtime/program_texts.h"

namespace varneth {

std::optional<Text> KeyOwnerLine(const KeyOwner& owner, bool commandLine, bool scan) {
  switch (owner.whose) {
    case KeyOwnerCase::kDesktopUser:
      return ConcatTexts({scan ? texts::kScanDesktopUserKeysLead : texts::kDesktopUserKeysLead,
                          owner.accountName, texts::kUserKeysTail});
    case KeyOwnerCase::kUnsureOwnKeys:
      if (!commandLine) break;
      return ConcatTexts({scan ? texts::kScanOwnKeysLead : texts::kOwnKeysLead, owner.accountName,
                          texts::kUserKeysTail});
    case KeyOwnerCase::kNoConsoleUser:
      return CopyText(texts::kNoConsoleUser);
    case KeyOwnerCase::kProcessUser:
      break;
  }
  return std::nullopt;
}

}  // namespace varneth
