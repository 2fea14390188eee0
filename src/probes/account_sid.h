// The textual SID of an account, the key of its hive under HKEY_USERS.
#pragma once

#include "runtime/text.h"

namespace varneth {

// "S-1-..." for the account, in code page 936; the empty text when the
// account is unknown or its SID cannot be read.
Text GetAccountSidText(TextRef accountName);

// The logged-on account's name, read with GetUserNameA into a text of 255
// spaces (which it stays when the name does not fit), and its SID text.
struct LoggedOnAccount {
  Text name;
  Text sidText;
};
LoggedOnAccount ReadLoggedOnAccount();

// Converts UTF-16 text held in a byte buffer (an odd last byte ignored) to
// code page 936, whatever the system's ANSI code page.
Text WideBytesToText(const ByteBuffer& wideBytes);

}  // namespace varneth
