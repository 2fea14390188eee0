// A second program writing the registry while Varneth runs, as Explorer or an
// installer may: until the stop file appears, it creates new subkeys below
// given keys (every other one empty, the rest with a value), and adds given
// names to a list key, one at a time. Each place it has written is logged as
// a line of UTF-8 before the next write, so the log always names everything
// that existed.
//
//   varneth_test_writer LOG STOP LIST_KEY NAMES KEY [KEY ...]
//
// Keys are full paths below HKEY_CURRENT_USER ("HKCU\...") or
// HKEY_LOCAL_MACHINE ("HKLM\..."); NAMES is comma-separated. Log lines:
// "key <full path>", "value <full key path>|<name>".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

HKEY RootOf(const std::wstring& path, std::wstring& rest) {
  const size_t separator = path.find(L'\\');
  rest = path.substr(separator + 1);
  return path.compare(0, separator, L"HKLM") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

void Log(FILE* log, const std::wstring& line) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, bytes.data(), size, nullptr, nullptr);
  std::fprintf(log, "%s\n", bytes.c_str());
  std::fflush(log);
}

bool CreateWithValue(const std::wstring& fullPath, const wchar_t* valueName) {
  std::wstring rest;
  const HKEY root = RootOf(fullPath, rest);
  HKEY key;
  if (RegCreateKeyExW(root, rest.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const wchar_t data[] = L"written during the run";
  const bool set = valueName == nullptr ||
                   RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                  sizeof data) == ERROR_SUCCESS;
  RegCloseKey(key);
  return set;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 6) return 2;
  FILE* log = _wfopen(argv[1], L"w");
  if (log == nullptr) return 2;
  const std::wstring stop = argv[2];
  const std::wstring list = argv[3];
  std::vector<std::wstring> names;
  for (std::wstring all = argv[4]; !all.empty();) {
    const size_t comma = all.find(L',');
    names.push_back(all.substr(0, comma));
    all = comma == std::wstring::npos ? L"" : all.substr(comma + 1);
  }
  // Bounded, so a test that never stops it still ends.
  for (int round = 0; round < 20000; ++round) {
    if (GetFileAttributesW(stop.c_str()) != INVALID_FILE_ATTRIBUTES) break;
    for (int i = 5; i < argc; ++i) {
      const std::wstring key = std::wstring(argv[i]) + L"\\w" + std::to_wstring(round);
      const bool empty = round % 2 == 1;
      Log(log, L"key " + key);
      if (!empty) Log(log, L"value " + key + L"|v");
      CreateWithValue(key, empty ? nullptr : L"v");
    }
    if (static_cast<size_t>(round) < names.size()) {
      Log(log, L"value " + list + L"|" + names[round]);
      std::wstring rest;
      const HKEY root = RootOf(list, rest);
      HKEY key;
      if (RegCreateKeyExW(root, rest.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, names[round].c_str(), 0, REG_NONE, nullptr, 0);
        RegCloseKey(key);
      }
    }
    Sleep(2);
  }
  std::fclose(log);
  return 0;
}
