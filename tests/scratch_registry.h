// Scratch keys for registry tests: each test works below a root of its own,
// removed before (a leftover of a crashed run must not change the result)
// and after the test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace varneth::testing_support {

inline void RemoveTree(HKEY root, const std::string& path) {
  RegDeleteTreeA(root, path.c_str());
  RegDeleteKeyA(root, path.c_str());
}

inline void AddKey(HKEY root, const std::string& path) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  RegCloseKey(key);
}

inline void AddValue(HKEY root, const std::string& path, const char* name, DWORD type,
                     const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(key);
}

inline void AddString(HKEY root, const std::string& path, const char* name, const std::string& text) {
  AddValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// Makes `path` below the root a registry link to `target` (a path such as
// \Registry\Machine\Software\X).
inline void MakeLink(const std::string& path, const std::wstring& target,
                     HKEY root = HKEY_CURRENT_USER) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                 reinterpret_cast<const BYTE*>(target.c_str()),
                 static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  RegCloseKey(key);
}

// Removes the link itself, never its target.
inline void RemoveLink(const std::string& path, HKEY root = HKEY_CURRENT_USER) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key) ==
      ERROR_SUCCESS) {
    RegDeleteKeyExA(key, "", 0, 0);
    RegCloseKey(key);
  }
}

// True while `path` is still a link (opened as itself, it holds its REG_LINK
// SymbolicLinkValue).
inline bool LinkExists(const std::string& path, HKEY root = HKEY_CURRENT_USER) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = REG_NONE;
  const LONG status = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_LINK;
}

inline bool KeyExists(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// nullptr names the default value.
inline bool ValueExists(HKEY root, const std::string& path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  const LONG status = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

// A test fixture owning HKCU\Software\VarnethTest\<test name>.
class ScratchKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    scratch_ = std::string("Software\\VarnethTest\\") + info->test_suite_name() + "." + info->name();
    RemoveTree(HKEY_CURRENT_USER, scratch_);
    AddKey(HKEY_CURRENT_USER, scratch_);
  }
  void TearDown() override { RemoveTree(HKEY_CURRENT_USER, scratch_); }

  // The full path of a place below the scratch root.
  std::string At(const std::string& relative) const {
    return relative.empty() ? scratch_ : scratch_ + "\\" + relative;
  }

  std::string scratch_;
};

}  // namespace varneth::testing_support
