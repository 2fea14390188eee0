#include "frontend/key_owner_line.h"

#include "runtime/program_texts.h"

namespace varneth {

std::optional<Text> KeyOwnerLine(const KeyOwner& owner, bool scan) {
  switch (owner.whose) {
    case KeyOwnerCase::kDesktopUser:
      return ConcatTexts({scan ? texts::kScanDesktopUserKeysLead : texts::kDesktopUserKeysLead,
                          owner.accountName, texts::kUserKeysTail});
    case KeyOwnerCase::kUnsureOwnKeys:
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
