#include "registry/registry_open.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "registry/ansi_path.h"
#include "registry/registry_enum.h"
#include "registry/registry_names.h"
#include "probes/process_token.h"
#include "probes/system_binding.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

RegistryCalls g_calls;

// The next backslash at or after `from`; an ANSI path is read by the
// characters of the ANSI code page.
size_t NextSeparator(std::wstring_view path, size_t from) {
  const size_t at = path.find(L'\\', from);
  return at == std::wstring_view::npos ? path.size() : at;
}
size_t NextSeparator(std::string_view path, size_t from) { return NextSeparatorA(path, from); }

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
// Software\Classes, which on Windows is a link to their classes hive. Where
// it ends in the path (HKEY_CURRENT_USER\Software\Classes,
// HKEY_USERS\<SID>\Software\Classes), or 0; `sidEnd` is where the SID ends
// (0 for HKEY_CURRENT_USER).
template <typename Char>
size_t PlatformLinkLength(HKEY root, std::basic_string_view<Char> path, size_t& sidEnd) {
  size_t start = 0;
  sidEnd = 0;
  if (root == HKEY_USERS) {
    sidEnd = NextSeparator(path, 0);
    if (sidEnd == path.size()) return 0;
    start = sidEnd + 1;
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

// The SID text of the user HKEY_CURRENT_USER belongs to: the process's.
const std::wstring& ProcessUserSid() {
  static const std::wstring sid = WidenText(GetProcessUserSidText());
  return sid;
}

// A SID as written in a path; a character beyond ASCII names no SID.
template <typename Char>
std::wstring SidOfPath(std::basic_string_view<Char> sid) {
  std::wstring wide;
  for (const Char c : sid) {
    const auto unit = static_cast<std::make_unsigned_t<Char>>(c);
    wide += unit < 0x80 ? static_cast<wchar_t>(unit) : L'\uFFFF';
  }
  return wide;
}

// The target a link names in its SymbolicLinkValue, or nothing.
std::wstring LinkTarget(HKEY link) {
  std::vector<BYTE> data;
  DWORD type = REG_NONE;
  if (QueryValueWide(link, L"SymbolicLinkValue", type, data) != ERROR_SUCCESS ||
      type != REG_LINK) {
    return std::wstring();
  }
  std::wstring target(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(target.data(), data.data(), target.size() * sizeof(wchar_t));
  while (!target.empty() && target.back() == L'\0') target.pop_back();
  return target;
}

// `key` holds the link at a user's Software\Classes, opened as itself. When
// it names exactly that user's classes hive (\REGISTRY\USER\<SID>_Classes,
// the platform's own link; letter case aside, as the registry compares), the
// hive is opened in its place, directly below HKEY_USERS and as itself, so
// what is reached is what was checked. Any other target is a link like any
// other: kMetRegistryLink.
// `linkPath`, when there is one, is left for the hive itself being a link.
LONG OpenUserClassesHive(const std::wstring& sid, DWORD access, RegistryKey& key,
                         std::wstring* linkPath) {
  const std::wstring hive = sid + L"_Classes";
  if (sid.empty() || !SameName(LinkTarget(key.Get()), L"\\REGISTRY\\USER\\" + hive)) {
    key.Close();
    return kMetRegistryLink;
  }
  const LONG status = OpenKeyW(HKEY_USERS, hive.c_str(), REG_OPTION_OPEN_LINK, access, key);
  if (status != ERROR_SUCCESS) return status;
  if (IsRegistryLink(key.Get())) {
    key.Close();
    if (linkPath != nullptr) *linkPath = std::wstring(RootNameW(HKEY_USERS)) + L"\\" + hive;
    return kMetRegistryLink;
  }
  return ERROR_SUCCESS;
}

template <typename Char>
LONG OpenWithoutLinksOf(HKEY root, std::basic_string_view<Char> path, size_t followedLength,
                        REGSAM access, RegistryKey& key, RegistryKey* keptParent,
                        std::wstring* linkPath) {
  using String = std::basic_string<Char>;
  // The platform's link is taken only within the part the caller names as
  // the place's parent: a place that is itself Software\Classes is a link.
  size_t sidEnd = 0;
  const size_t linkEnd = PlatformLinkLength(root, path, sidEnd);
  const bool mayTakePlatformLink = linkEnd != 0 && linkEnd <= followedLength;
  // From the root itself, which is held but never opened again nor closed.
  *key.Put() = root;
  RegistryKey parent;
  size_t at = 0;
  while (at < path.size()) {
    if (path[at] == Char('\\')) {
      ++at;
      continue;
    }
    const size_t end = NextSeparator(path, at);
    const bool last = path.find_first_not_of(Char('\\'), end) == std::basic_string_view<Char>::npos;
    parent = std::move(key);
    // KEY_QUERY_VALUE is what telling a link by its value needs; keys on the
    // way need nothing more.
    const REGSAM wanted = (last ? access : 0) | KEY_QUERY_VALUE;
    LONG status = OpenName(parent.Get(), String(path.substr(at, end - at)), REG_OPTION_OPEN_LINK,
                           wanted, key);
    if (status != ERROR_SUCCESS) return status;
    if (IsRegistryLink(key.Get())) {
      if (linkPath != nullptr) {
        // The key that is the link, by its path as named.
        *linkPath = RootNameW(root);
        *linkPath += L'\\';
        for (const Char c : path.substr(0, end)) *linkPath += static_cast<wchar_t>(c);
        *linkPath = TidyKeyPath(*linkPath);
      }
      if (!mayTakePlatformLink || end != linkEnd) {
        key.Close();
        return kMetRegistryLink;
      }
      const std::wstring sid =
          root == HKEY_USERS ? SidOfPath(path.substr(0, sidEnd)) : ProcessUserSid();
      status = OpenUserClassesHive(sid, wanted, key, linkPath);
      if (status != ERROR_SUCCESS) return status;
      if (linkPath != nullptr) linkPath->clear();
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

LONG WINAPI DeleteKeyByHandle(HKEY key) { return BoundDeleteKeyByHandle(key); }

LONG DeleteOpenKey(HKEY key) { return g_calls.deleteKey(key); }

bool IsLinkTargetValue(const char* name, DWORD type) {
  return type == REG_LINK && SameName(WidenText(name), L"SymbolicLinkValue");
}

bool IsRegistryLink(HKEY key) {
  DWORD type = REG_NONE;
  return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         type == REG_LINK;
}

LONG OpenWithoutLinks(HKEY root, std::wstring_view path, size_t followedLength, REGSAM access,
                      RegistryKey& key, RegistryKey* parent, std::wstring* linkPath) {
  return OpenWithoutLinksOf(root, path, followedLength, access, key, parent, linkPath);
}

LONG OpenWithoutLinksA(HKEY root, std::string_view path, size_t followedLength, REGSAM access,
                       RegistryKey& key, RegistryKey* parent) {
  return OpenWithoutLinksOf(root, path, followedLength, access, key, parent, nullptr);
}

size_t ParentLength(std::wstring_view path) { return ParentLengthOf(path); }
size_t ParentLengthA(std::string_view path) { return ParentLengthOf(path); }

}  // namespace varneth
