#include "cleanup/registry/registry_open.h"

#include <algorithm>
#include <string>

namespace varneth {
namespace {

RegistryCalls g_calls;

// The next backslash at or after `from`. An ANSI path is read character by
// character, as the platform reads it once converted: the trail byte of a
// two-byte character is no separator.
size_t NextSeparator(std::wstring_view path, size_t from) {
  const size_t at = path.find(L'\\', from);
  return at == std::wstring_view::npos ? path.size() : at;
}
size_t NextSeparator(std::string_view path, size_t from) {
  for (size_t at = from; at < path.size(); ++at) {
    if (path[at] == '\\') return at;
    if (IsDBCSLeadByte(static_cast<BYTE>(path[at])) && at + 1 < path.size()) ++at;
  }
  return path.size();
}

template <typename Char>
size_t ParentLengthOf(std::basic_string_view<Char> path) {
  size_t parent = 0;
  for (size_t at = NextSeparator(path, 0); at < path.size(); at = NextSeparator(path, at + 1)) {
    // A separator at the end names no key of its own.
    if (at + 1 < path.size()) parent = at;
  }
  return parent;
}

// The open function of either width.
LONG OpenName(HKEY parent, const std::wstring& name, DWORD options, REGSAM access,
              RegistryKey& key) {
  return OpenKeyW(parent, name.c_str(), options, access, key);
}
LONG OpenName(HKEY parent, const std::string& name, DWORD options, REGSAM access,
              RegistryKey& key) {
  return OpenKeyA(parent, name.c_str(), options, access, key);
}

// The one link of the platform's own that paths pass through: a user's
// Software\Classes is their classes hive (<SID>_Classes). Its length in the
// path (HKEY_CURRENT_USER\Software\Classes, HKEY_USERS\<SID>\Software\Classes),
// or 0: every other key on the way is opened as itself, so a link that a
// user's program made above a place leads nowhere either.
template <typename Char>
size_t PlatformLinkLength(HKEY root, std::basic_string_view<Char> path) {
  size_t start = 0;
  if (root == HKEY_USERS) {
    start = NextSeparator(path, 0);
    if (start == path.size()) return 0;
    ++start;
  } else if (root != HKEY_CURRENT_USER) {
    return 0;
  }
  constexpr char kClasses[] = "software\\classes";
  constexpr size_t kLength = sizeof kClasses - 1;
  if (path.size() - start < kLength) return 0;
  for (size_t i = 0; i < kLength; ++i) {
    const Char c = path[start + i];
    const Char lower = c >= Char('A') && c <= Char('Z') ? Char(c - 'A' + 'a') : c;
    if (lower != Char(kClasses[i])) return 0;
  }
  const size_t end = start + kLength;
  return end == path.size() || path[end] == Char('\\') ? end : 0;
}

template <typename Char>
LONG OpenWithoutLinksOf(HKEY root, std::basic_string_view<Char> path, size_t followedLength,
                        REGSAM access, RegistryKey& key, RegistryKey* keptParent) {
  using String = std::basic_string<Char>;
  followedLength = std::min({followedLength, path.size(), PlatformLinkLength(root, path)});
  // The part as named: the place's parent. An empty part is the root itself,
  // which is opened again so that the handle can be owned.
  LONG status = OpenName(root, String(path.substr(0, followedLength)), 0,
                         followedLength == path.size() ? access : KEY_READ, key);
  if (status != ERROR_SUCCESS) return status;
  RegistryKey parent;
  size_t at = followedLength;
  while (at < path.size()) {
    if (path[at] == Char('\\')) {
      ++at;
      continue;
    }
    const size_t end = NextSeparator(path, at);
    const bool last = path.find_first_not_of(Char('\\'), end) == std::basic_string_view<Char>::npos;
    parent = std::move(key);
    // KEY_QUERY_VALUE as well, to tell a link by its value.
    status = OpenName(parent.Get(), String(path.substr(at, end - at)), REG_OPTION_OPEN_LINK,
                      (last ? access : KEY_READ) | KEY_QUERY_VALUE, key);
    if (status != ERROR_SUCCESS) return status;
    if (IsRegistryLink(key.Get())) {
      key.Close();
      return kMetRegistryLink;
    }
    at = end;
  }
  if (keptParent != nullptr) *keptParent = std::move(parent);
  return ERROR_SUCCESS;
}

}  // namespace

void SetRegistryCalls(const RegistryCalls& calls) { g_calls = calls; }
const RegistryCalls& CurrentRegistryCalls() { return g_calls; }

LONG OpenKeyA(HKEY parent, const char* path, DWORD options, REGSAM access, RegistryKey& key) {
  const LONG status = g_calls.openA(parent, path, options, access | kRegistryView, key.Put());
  if (status != ERROR_SUCCESS) *key.Put() = nullptr;
  return status;
}

LONG OpenKeyW(HKEY parent, const wchar_t* path, DWORD options, REGSAM access, RegistryKey& key) {
  const LONG status = g_calls.openW(parent, path, options, access | kRegistryView, key.Put());
  if (status != ERROR_SUCCESS) *key.Put() = nullptr;
  return status;
}

LONG DeleteKeyA(HKEY parent, const char* name) {
  return g_calls.deleteKeyA(parent, name, kRegistryView, 0);
}

bool IsRegistryLink(HKEY key) {
  DWORD type = REG_NONE;
  return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         type == REG_LINK;
}

LONG OpenWithoutLinks(HKEY root, std::wstring_view path, size_t followedLength, REGSAM access,
                      RegistryKey& key, RegistryKey* parent) {
  return OpenWithoutLinksOf(root, path, followedLength, access, key, parent);
}

LONG OpenWithoutLinksA(HKEY root, std::string_view path, size_t followedLength, REGSAM access,
                       RegistryKey& key, RegistryKey* parent) {
  return OpenWithoutLinksOf(root, path, followedLength, access, key, parent);
}

size_t ParentLength(std::wstring_view path) { return ParentLengthOf(path); }
size_t ParentLengthA(std::string_view path) { return ParentLengthOf(path); }

}  // namespace varneth
