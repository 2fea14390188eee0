// Makes, finds and removes registry links for the end-to-end tests (reg.exe
// knows none):
//
//   varneth_test_link make KEY TARGET   KEY becomes a link to TARGET
//   varneth_test_link is KEY            exit code 0 when KEY is a link
//   varneth_test_link remove KEY        removes the link itself
//   varneth_test_link classes-hive TARGET
//       lays HKCU\Software\Classes out as Windows does: its keys move to the
//       hive HKEY_USERS\<SID>_Classes, and it becomes a link naming TARGET
//       ("\REGISTRY\USER\<SID>_Classes", the SID put in for "<SID>"); when
//       laid out so already, only the link is made anew
//   varneth_test_link classes-key       back as Wine has it: a plain key
//
// KEY and TARGET are "HKCU\..." or "HKLM\..." (or the roots' full names; in
// the 64-bit view); a link holds its target as the native path
// "\Registry\User\<SID>\..." or "\Registry\Machine\...".
#include <windows.h>
#include <sddl.h>

#include <string>

namespace {

HKEY RootOf(const std::wstring& path, std::wstring& rest) {
  const size_t separator = path.find(L'\\');
  rest = path.substr(separator + 1);
  const std::wstring root = path.substr(0, separator);
  return root == L"HKLM" || root == L"HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring UserSid() {
  HANDLE token;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  BYTE buffer[256];
  DWORD size = sizeof buffer;
  GetTokenInformation(token, TokenUser, buffer, size, &size);
  CloseHandle(token);
  wchar_t* sid = nullptr;
  ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid);
  const std::wstring text = sid;
  LocalFree(sid);
  return text;
}

std::wstring NativePath(const std::wstring& path) {
  std::wstring rest;
  if (RootOf(path, rest) == HKEY_LOCAL_MACHINE) return L"\\Registry\\Machine\\" + rest;
  return L"\\Registry\\User\\" + UserSid() + L"\\" + rest;
}

bool MakeLink(HKEY root, const wchar_t* path, const std::wstring& target) {
  HKEY key;
  if (RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_CREATE_LINK,
                      KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG set = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                                  reinterpret_cast<const BYTE*>(target.c_str()),
                                  static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

bool OpenLink(const std::wstring& path, REGSAM access, HKEY& key) {
  std::wstring rest;
  const HKEY root = RootOf(path, rest);
  if (RegOpenKeyExW(root, rest.c_str(), REG_OPTION_OPEN_LINK, access | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
          ERROR_SUCCESS &&
      type == REG_LINK) {
    return true;
  }
  RegCloseKey(key);
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring verb = argv[1];
  const std::wstring path = argc > 2 ? argv[2] : L"";
  HKEY key;
  if (verb == L"make" && argc == 4) {
    std::wstring rest;
    const HKEY root = RootOf(path, rest);
    return MakeLink(root, rest.c_str(), NativePath(argv[3])) ? 0 : 1;
  }
  const std::wstring hive = UserSid() + L"_Classes";
  if (verb == L"classes-hive" && path.find(L"<SID>") != std::wstring::npos) {
    std::wstring target = path;
    target.replace(target.find(L"<SID>"), 5, UserSid());
    if (OpenLink(L"HKCU\\Software\\Classes", KEY_ALL_ACCESS, key)) {
      // Laid out already: the link alone is made anew.
      RegDeleteKeyExW(key, L"", KEY_WOW64_64KEY, 0);
      RegCloseKey(key);
    } else {
      HKEY classes;
      if (RegCreateKeyExW(HKEY_USERS, hive.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &classes, nullptr) != ERROR_SUCCESS) {
        return 1;
      }
      // A fresh prefix has no such key yet.
      LONG moved = RegCopyTreeW(HKEY_CURRENT_USER, L"Software\\Classes", classes);
      if (moved == ERROR_SUCCESS) moved = RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes");
      RegCloseKey(classes);
      if (moved != ERROR_SUCCESS && moved != ERROR_FILE_NOT_FOUND) return 1;
    }
    return MakeLink(HKEY_CURRENT_USER, L"Software\\Classes", target) ? 0 : 1;
  }
  if (verb == L"classes-key") {
    // Also after a layout made only in part.
    if (OpenLink(L"HKCU\\Software\\Classes", KEY_ALL_ACCESS, key)) {
      RegDeleteKeyExW(key, L"", KEY_WOW64_64KEY, 0);
      RegCloseKey(key);
    }
    HKEY classes;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &classes, nullptr) != ERROR_SUCCESS) {
      return 1;
    }
    const LONG copied = RegCopyTreeW(HKEY_USERS, hive.c_str(), classes);
    RegCloseKey(classes);
    return copied == ERROR_SUCCESS && RegDeleteTreeW(HKEY_USERS, hive.c_str()) == ERROR_SUCCESS
               ? 0
               : 1;
  }
  if (verb == L"is" && argc == 3) {
    if (!OpenLink(path, KEY_READ, key)) return 1;
    RegCloseKey(key);
    return 0;
  }
  if (verb == L"remove" && argc == 3) {
    if (!OpenLink(path, KEY_ALL_ACCESS, key)) return 1;
    // An empty name deletes the key the handle holds: the link itself.
    const LONG deleted = RegDeleteKeyExW(key, L"", KEY_WOW64_64KEY, 0);
    RegCloseKey(key);
    return deleted == ERROR_SUCCESS ? 0 : 1;
  }
  return 2;
}
