#include "cleanup/class_use/default_associations.h"

#include <windows.h>

#include <cstring>

#include "probes/environment_strings.h"
#include "probes/file_redirection.h"
#include "probes/owned_handle.h"
#include "registry/registry_enum.h"
#include "registry/registry_open.h"

namespace varneth {
namespace {

constexpr size_t kMaxFileSize = size_t{16} << 20;

bool IsNotFound(LONG status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

// The bytes as UTF-16: after a UTF-16 LE byte order mark, or else as UTF-8
// (its mark skipped). A bad sequence or a NUL, which no XML holds, reads as
// nothing: UTF-16 without its mark is UTF-8 with NULs.
std::optional<std::wstring> DecodedText(std::string_view bytes) {
  if (bytes.size() > kMaxFileSize) return std::nullopt;
  std::wstring text;
  if (bytes.starts_with("\xFF\xFE")) {
    bytes.remove_prefix(2);
    if (bytes.size() % 2 != 0) return std::nullopt;
    text.resize(bytes.size() / 2);
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
  } else {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    const int size = static_cast<int>(bytes.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length == 0 && size != 0) return std::nullopt;
    text.resize(static_cast<size_t>(length));
    if (length != 0) {
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), length);
    }
  }
  if (text.find(L'\0') != std::wstring::npos) return std::nullopt;
  return text;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// ASCII letters compared without regard to case.
bool SameFolded(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](wchar_t c) {
      return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
    };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// "&#65;" or "&#x41;" without its & and ;: the character's code, or 0.
unsigned long CharacterReference(std::wstring_view digits) {
  const bool hex = digits.starts_with(L"x");
  if (hex) digits.remove_prefix(1);
  if (digits.empty()) return 0;
  unsigned long code = 0;
  for (const wchar_t c : digits) {
    int digit = -1;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    if (hex && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    if (hex && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    if (digit < 0) return 0;
    code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
    if (code > 0x10FFFF) return 0;
  }
  return code;
}

// An attribute's value with its entities decoded; false for an unknown or
// unended one, or a "<", which no value holds.
bool DecodeValue(std::wstring_view raw, std::wstring& value) {
  static constexpr struct {
    std::wstring_view name;
    wchar_t character;
  } kEntities[] = {{L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}};
  value.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == L'<') return false;
    if (raw[i] != L'&') {
      value += raw[i];
      continue;
    }
    const size_t end = raw.find(L';', i);
    if (end == std::wstring_view::npos) return false;
    const std::wstring_view name = raw.substr(i + 1, end - i - 1);
    i = end;
    bool known = false;
    for (const auto& entity : kEntities) {
      if (name == entity.name) {
        value += entity.character;
        known = true;
      }
    }
    if (known) continue;
    const unsigned long code = name.starts_with(L"#") ? CharacterReference(name.substr(1)) : 0;
    if (code == 0) return false;
    if (code < 0x10000) {
      value += static_cast<wchar_t>(code);
    } else {
      value += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      value += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return true;
}

// A name of a tag or attribute ends at white space, "=", "/" or ">"; it
// holds no "<" or quote.
std::wstring_view NameAt(std::wstring_view text, size_t& at) {
  const size_t start = at;
  while (at < text.size() && !IsSpace(text[at]) && text[at] != L'=' && text[at] != L'/' &&
         text[at] != L'>') {
    ++at;
  }
  const std::wstring_view name = text.substr(start, at - start);
  return name.find_first_of(L"<\"'") == std::wstring_view::npos ? name : std::wstring_view();
}

void SkipSpace(std::wstring_view text, size_t& at) {
  while (at < text.size() && IsSpace(text[at])) ++at;
}

// The start tag at `at` (just past its "<"), up to past its ">"; an
// <Association> element's attributes go to `found`. False when it is not
// well-formed: its name, "name=quoted value" pairs set apart by white space
// (no name twice), then ">" or "/>".
bool ReadStartTag(std::wstring_view text, size_t& at, std::vector<std::wstring_view>& open,
                  std::vector<DefaultAssociation>& found) {
  const std::wstring_view element = NameAt(text, at);
  if (element.empty()) return false;
  const bool association = SameFolded(element, L"Association");
  DefaultAssociation entry;
  std::vector<std::wstring_view> names;
  std::wstring value;
  for (;;) {
    const size_t before = at;
    SkipSpace(text, at);
    if (at >= text.size()) return false;
    if (text[at] == L'>' || text.substr(at).starts_with(L"/>")) {
      if (text[at] == L'>') open.push_back(element);
      at += text[at] == L'>' ? 1 : 2;
      break;
    }
    if (at == before) return false;
    const std::wstring_view name = NameAt(text, at);
    if (name.empty()) return false;
    for (const std::wstring_view seen : names) {
      if (SameFolded(seen, name)) return false;
    }
    names.push_back(name);
    SkipSpace(text, at);
    if (at >= text.size() || text[at] != L'=') return false;
    ++at;
    SkipSpace(text, at);
    if (at >= text.size() || (text[at] != L'"' && text[at] != L'\'')) return false;
    const size_t end = text.find(text[at], at + 1);
    if (end == std::wstring_view::npos) return false;
    if (!DecodeValue(text.substr(at + 1, end - at - 1), value)) return false;
    at = end + 1;
    if (association && SameFolded(name, L"Identifier")) entry.identifier = value;
    if (association && SameFolded(name, L"ProgId")) entry.progId = value;
  }
  if (association) found.push_back(std::move(entry));
  return true;
}

// Reads the whole file; ERROR_FILE_TOO_LARGE past kMaxFileSize.
DWORD ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return GetLastError();
  const OwnedHandle file(opened);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) return GetLastError();
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > kMaxFileSize) {
    return ERROR_FILE_TOO_LARGE;
  }
  bytes.resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read,
                  nullptr)) {
      return GetLastError();
    }
    if (read == 0) break;
    done += read;
  }
  // A file cut short meanwhile is parsed as it is: its tags do not close.
  bytes.resize(done);
  return ERROR_SUCCESS;
}

}  // namespace

std::optional<std::vector<DefaultAssociation>> ParseDefaultAssociations(std::string_view bytes) {
  const std::optional<std::wstring> decoded = DecodedText(bytes);
  if (!decoded) return std::nullopt;
  const std::wstring_view text = *decoded;
  // Markup that holds no element, skipped whole.
  static constexpr struct {
    std::wstring_view start, end;
  } kSkipped[] = {{L"<!--", L"-->"}, {L"<![CDATA[", L"]]>"}, {L"<?", L"?>"}};
  std::vector<DefaultAssociation> found;
  std::vector<std::wstring_view> open;
  bool sawElement = false;
  for (size_t at = text.find(L'<'); at != std::wstring_view::npos; at = text.find(L'<', at)) {
    const std::wstring_view rest = text.substr(at);
    bool skipped = false;
    for (const auto& markup : kSkipped) {
      if (skipped || !rest.starts_with(markup.start)) continue;
      const size_t end = text.find(markup.end, at + markup.start.size());
      if (end == std::wstring_view::npos) return std::nullopt;
      at = end + markup.end.size();
      skipped = true;
    }
    if (skipped) continue;
    // A document type declaration may define entities of its own.
    if (rest.starts_with(L"<!")) return std::nullopt;
    if (rest.starts_with(L"</")) {
      at += 2;
      const std::wstring_view name = NameAt(text, at);
      SkipSpace(text, at);
      if (open.empty() || name != open.back() || at >= text.size() || text[at] != L'>') {
        return std::nullopt;
      }
      open.pop_back();
      ++at;
      continue;
    }
    ++at;
    if (!ReadStartTag(text, at, open, found)) return std::nullopt;
    sawElement = true;
  }
  if (!sawElement || !open.empty()) return std::nullopt;
  return found;
}

void ReadDefaultAssociationsFile(const std::wstring& path, DefaultAssociations& into) {
  std::string bytes;
  DWORD error;
  {
    // A 32-bit process on 64-bit Windows would read SysWOW64 for System32.
    const FileRedirectionOff redirection;
    error = ReadWholeFile(path, bytes);
  }
  if (IsNotFound(static_cast<LONG>(error))) return;
  std::optional<std::vector<DefaultAssociation>> parsed;
  if (error == ERROR_SUCCESS) parsed = ParseDefaultAssociations(bytes);
  if (!parsed) {
    into.unreadable.push_back(path);
    return;
  }
  into.associations.insert(into.associations.end(), parsed->begin(), parsed->end());
}

DefaultAssociations ReadDefaultAssociations() {
  DefaultAssociations result;
  RegistryKey policy;
  LONG status =
      OpenKeyW(HKEY_LOCAL_MACHINE, kDefaultAssociationsPolicyPath, 0, KEY_QUERY_VALUE, policy);
  std::vector<BYTE> data;
  DWORD type = REG_NONE;
  if (status == ERROR_SUCCESS) {
    status = QueryValueWide(policy.Get(), kDefaultAssociationsPolicyValue, type, data);
  }
  if (status == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) {
    status = ERROR_INVALID_DATA;
  }
  std::wstring path;
  if (status == ERROR_SUCCESS) {
    std::wstring named(data.size() / sizeof(wchar_t), L'\0');
    if (!named.empty()) std::memcpy(named.data(), data.data(), named.size() * sizeof(wchar_t));
    named.resize(std::wcslen(named.c_str()));
    status = ExpandEnvironmentText(named, path);
  }
  if (status == ERROR_SUCCESS && !path.empty()) ReadDefaultAssociationsFile(path, result);
  if (status != ERROR_SUCCESS && !IsNotFound(status)) {
    result.unreadable.push_back(std::wstring(L"HKEY_LOCAL_MACHINE\\") +
                                kDefaultAssociationsPolicyPath + L"\\" +
                                kDefaultAssociationsPolicyValue);
  }
  wchar_t windows[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    result.unreadable.push_back(L"%SystemRoot%\\System32\\OEMDefaultAssociations.xml");
  } else {
    ReadDefaultAssociationsFile(
        std::wstring(windows, length) + L"\\System32\\OEMDefaultAssociations.xml", result);
  }
  return result;
}

}  // namespace varneth
