// The textual SID of an account, the key of its hive under HKEY_USERS.
#pragma once

#include "runtime/text.h"

namespace varneth {

// "S-1-..." for the account, in code page 936; the empty text when the
// account is unknown or its SID cannot be read.
Text GetAccountSidText(TextRef accountName);

// Converts UTF-16 text held in a byte buffer (an odd last byte ignored) to
// code page 936, whatever the system's ANSI code page.
Text WideBytesToText(const ByteBuffer& wideBytes);

}  // namespace varneth
