#include "probes/key_owner.h"

#include <windows.h>
// After windows.h, which it relies on.
#include <sddl.h>

#include <string>

#include "probes/local_memory.h"
#include "probes/process_token.h"
#include "runtime/registry_view.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

constexpr DWORD kNameRoom = 512;
DesktopUserFinder g_finder = FindDesktopUser;

bool SameSid(TextRef a, TextRef b) {
  return TextLength(a) > 0 && CompareText(ToLowerCase(a), ToLowerCase(b)) == 0;
}

bool HiveIsLoaded(TextRef sidText) {
  HKEY hive = nullptr;
  if (RegOpenKeyExA(HKEY_USERS, sidText.Bytes(), 0, KEY_QUERY_VALUE | kRegistryView, &hive) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(hive);
  return true;
}

}  // namespace

bool IsProcessUser(const KeyOwner& owner) { return owner.whose != KeyOwnerCase::kDesktopUser; }

KeyOwner DecideKeyOwner() {
  KeyOwner owner;
  owner.sidText = GetProcessUserSidText();
  const DesktopUser desktop = g_finder();
  if (desktop.search == DesktopSearch::kNoConsoleUser) {
    owner.whose = KeyOwnerCase::kNoConsoleUser;
    return owner;
  }
  if (desktop.search == DesktopSearch::kFound) {
    if (SameSid(desktop.sidText, owner.sidText)) return owner;
    if (TextLength(desktop.sidText) > 0 && HiveIsLoaded(desktop.sidText)) {
      owner.whose = KeyOwnerCase::kDesktopUser;
      owner.sidText = desktop.sidText;
      owner.accountName = AccountNameOfSid(owner.sidText);
      return owner;
    }
  }
  owner.whose = KeyOwnerCase::kUnsureOwnKeys;
  owner.accountName = AccountNameOfSid(owner.sidText);
  return owner;
}

Text AccountNameOfSid(TextRef sidText) {
  LocalMemory<void> sid;
  if (!ConvertStringSidToSidA(sidText.Bytes(), sid.Put())) return CopyText(sidText);
  // Room for the longest account and domain names, with their NULs.
  wchar_t name[kNameRoom];
  wchar_t domain[kNameRoom];
  DWORD nameSize = kNameRoom;
  DWORD domainSize = kNameRoom;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid.Get(), name, &nameSize, domain, &domainSize, &use)) {
    return CopyText(sidText);
  }
  std::wstring account = domain;
  if (!account.empty()) account += L'\\';
  account += name;
  return EscapedText(account);
}

void SetDesktopUserFinder(DesktopUserFinder finder) {
  g_finder = finder != nullptr ? finder : FindDesktopUser;
}

}  // namespace varneth
