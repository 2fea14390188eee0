// Whose keys the cleanup works on, decided once at start-up: the user whose
// desktop the process runs on, who is not always the user it runs as.
#pragma once

#include "probes/desktop_user.h"
#include "runtime/text.h"

namespace varneth {

enum class KeyOwnerCase {
  kProcessUser,    // the desktop's user runs the process: the usual case
  kDesktopUser,    // another account runs it on this user's desktop (or, as the
                   // system account, while this user is logged on at the console)
  kUnsureOwnKeys,  // whose desktop cannot be told, or that user's hive is not
                   // loaded: the process's own keys
  kNoConsoleUser,  // the system account, and nobody is logged on at the console
};

struct KeyOwner {
  KeyOwnerCase whose = KeyOwnerCase::kProcessUser;
  Text sidText;      // "S-1-..."; their hive is HKEY_USERS\<SID text>
  Text accountName;  // DOMAIN\name, for the line that names them; empty when not shown
};

// True when their hive is the process's HKEY_CURRENT_USER.
bool IsProcessUser(const KeyOwner& owner);

// The process's token decides who it runs as, the desktop user finder whose
// desktop it is; another user's keys are taken only when their hive is
// loaded (HKEY_USERS\<SID> opens).
KeyOwner DecideKeyOwner();

// DOMAIN\name of the SID as the platform names it, in code page 936 as the
// program writes it, characters 936 cannot hold written as \uXXXX; the SID
// text itself when it has no name.
Text AccountNameOfSid(TextRef sidText);

// Tests name another desktop user through this (Wine has one user);
// FindDesktopUser otherwise.
using DesktopUserFinder = DesktopUser (*)();
void SetDesktopUserFinder(DesktopUserFinder finder);

}  // namespace varneth
