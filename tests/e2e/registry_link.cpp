// Makes, finds and removes registry links for the end-to-end tests (reg.exe
// knows none):
//
//   varneth_test_link make KEY TARGET   KEY becomes a link to TARGET
//   varneth_test_link is KEY            exit code 0 when KEY is a link
//   varneth_test_link remove KEY        removes the link itself
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

std::wstring NativePath(const std::wstring& path) {
  std::wstring rest;
  if (RootOf(path, rest) == HKEY_LOCAL_MACHINE) return L"\\Registry\\Machine\\" + rest;
  HANDLE token;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  BYTE buffer[256];
  DWORD size = sizeof buffer;
  GetTokenInformation(token, TokenUser, buffer, size, &size);
  CloseHandle(token);
  wchar_t* sid = nullptr;
  ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid);
  std::wstring native = L"\\Registry\\User\\" + std::wstring(sid) + L"\\" + rest;
  LocalFree(sid);
  return native;
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
  if (argc < 3) return 2;
  const std::wstring verb = argv[1];
  const std::wstring path = argv[2];
  HKEY key;
  if (verb == L"make" && argc == 4) {
    std::wstring rest;
    const HKEY root = RootOf(path, rest);
    if (RegCreateKeyExW(root, rest.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      return 1;
    }
    const std::wstring target = NativePath(argv[3]);
    const LONG set = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                                    reinterpret_cast<const BYTE*>(target.c_str()),
                                    static_cast<DWORD>(target.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    return set == ERROR_SUCCESS ? 0 : 1;
  }
  if (verb == L"is") {
    if (!OpenLink(path, KEY_READ, key)) return 1;
    RegCloseKey(key);
    return 0;
  }
  if (verb == L"remove") {
    if (!OpenLink(path, KEY_ALL_ACCESS, key)) return 1;
    // An empty name deletes the key the handle holds: the link itself.
    const LONG deleted = RegDeleteKeyExW(key, L"", KEY_WOW64_64KEY, 0);
    RegCloseKey(key);
    return deleted == ERROR_SUCCESS ? 0 : 1;
  }
  return 2;
}
