#include "registry/registry_export.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "registry/registry_enum.h"
#include "registry/registry_key.h"
#include "registry/registry_open.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

// The registry editor keeps its hex lines within 80 columns.
constexpr size_t kHexLineWidth = 77;
constexpr wchar_t kHexDigits[] = L"0123456789abcdef";

void AppendHex(std::wstring& out, unsigned long value, int minimumDigits) {
  wchar_t digits[8];
  int count = 0;
  do {
    digits[count++] = kHexDigits[value & 0xF];
    value >>= 4;
  } while (value != 0 || count < minimumDigits);
  while (count > 0) out += digits[--count];
}

void AppendEscaped(std::wstring& out, const std::wstring& text) {
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') out += L'\\';
    out += c;
  }
}

// A string "..." carries it exactly: whole UTF-16 units ending in the one NUL,
// and no CR or LF, which not every importer reads back from a quoted string.
bool IsCleanString(const BYTE* data, DWORD size) {
  if (size < sizeof(wchar_t) || size % sizeof(wchar_t) != 0) return false;
  const size_t units = size / sizeof(wchar_t);
  for (size_t i = 0; i < units; ++i) {
    wchar_t unit;
    std::memcpy(&unit, data + i * sizeof unit, sizeof unit);
    if (unit == L'\0') return i + 1 == units;
    if (unit == L'\r' || unit == L'\n') return false;
  }
  return false;
}

void AppendHexBytes(std::wstring& out, size_t lineStart, const BYTE* data, DWORD size) {
  for (DWORD i = 0; i < size; ++i) {
    AppendHex(out, data[i], 2);
    if (i + 1 == size) break;
    out += L',';
    if (out.size() - lineStart >= kHexLineWidth) {
      out += L"\\\r\n  ";
      lineStart = out.size() - 2;
    }
  }
}

ExportStatus RegistryFailure(LONG error) { return {ExportProblem::kRegistryError, error}; }

// The enumeration buffers and the visitor a whole export shares.
struct ExportBuffers {
  EnumBuffers enumeration;
  const ExportVisitor* visitor = nullptr;
  // A name holding CR or LF was met: the export cannot be complete, yet it
  // reads on, so that what the tree holds is counted whole.
  bool lineBreak = false;
};

// How often a key's subkeys are listed while they keep changing, before the
// last listing is taken as it is: a program that writes below the key without
// pause must not hold the run up (a key such a listing misses is not saved,
// so it is not deleted either).
constexpr int kListingAttempts = 4;

// The key's last write time; with `subkeys`, also how many subkeys it has
// (left as it is when the key cannot be asked).
FILETIME LastWritten(HKEY key, DWORD* subkeys = nullptr) {
  FILETIME time{};
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, &time);
  return time;
}

// The key's subkey names, listed whole; listed again when the key changed
// while it was listed (the platform numbers subkeys anew after every change).
LONG ListSubkeys(HKEY key, EnumBuffers& buffers, std::vector<std::wstring>& names) {
  for (int attempt = 0;; ++attempt) {
    names.clear();
    DWORD subkeys = MAXDWORD;
    const FILETIME before = LastWritten(key, &subkeys);
    // A key without subkeys, as most are, takes no listing.
    if (subkeys == 0) return ERROR_SUCCESS;
    std::wstring name;
    LONG status = ERROR_SUCCESS;
    for (DWORD index = 0; (status = EnumSubkeyWide(key, index, buffers, name)) == ERROR_SUCCESS;
         ++index) {
      names.push_back(name);
    }
    if (status == ERROR_KEY_DELETED) {
      names.clear();  // deleted by another program: nothing below it to save
      return ERROR_SUCCESS;
    }
    if (status != ERROR_NO_MORE_ITEMS) return status;
    const FILETIME after = LastWritten(key);
    if (CompareFileTime(&before, &after) == 0 || attempt + 1 == kListingAttempts) {
      return ERROR_SUCCESS;
    }
  }
}

void Drain(ExportBuffers& buffers, std::wstring& out) {
  if (buffers.visitor != nullptr && buffers.visitor->drain) buffers.visitor->drain(out);
}

void CountUnreachable(const std::wstring& name, ExportCounts& counts) {
  if (!NarrowExactly(name)) ++counts.unreachableNames;
}

ExportStatus ExportValues(HKEY key, const std::wstring& fullPath, ExportBuffers& buffers,
                          std::wstring& out, ExportCounts& counts) {
  std::wstring valueName;
  for (DWORD index = 0;; ++index) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    const LONG status = EnumValueWide(key, index, buffers.enumeration, valueName, type, size);
    // Past the last value, or the key was deleted by another program while it
    // was read: it holds nothing more to save.
    if (status == ERROR_NO_MORE_ITEMS || status == ERROR_KEY_DELETED) return {};
    if (status != ERROR_SUCCESS) return RegistryFailure(status);
    if (!CanCarryName(valueName)) {
      buffers.lineBreak = true;
      ++counts.values;
      continue;
    }
    if (!CanWriteName(valueName)) {
      ++counts.uncarriedValues;
      if (buffers.visitor != nullptr && buffers.visitor->uncarried) {
        buffers.visitor->uncarried(fullPath, &valueName);
      }
      continue;
    }
    const BYTE* data = buffers.enumeration.data.data();
    AppendValueLine(out, valueName, type, data, size);
    if (buffers.visitor != nullptr && buffers.visitor->value) {
      buffers.visitor->value(fullPath, valueName, type, data, size);
    }
    Drain(buffers, out);
    CountUnreachable(valueName, counts);
    ++counts.values;
  }
}

ExportStatus ExportTree(HKEY key, const std::wstring& fullPath, ExportBuffers& buffers,
                        std::wstring& out, ExportCounts& counts) {
  AppendKeyHeader(out, fullPath);
  if (buffers.visitor != nullptr && buffers.visitor->key) buffers.visitor->key(fullPath);
  Drain(buffers, out);
  ++counts.keys;
  ExportStatus status = ExportValues(key, fullPath, buffers, out, counts);
  if (!status.Complete()) return status;

  std::vector<std::wstring> children;
  const LONG listed = ListSubkeys(key, buffers.enumeration, children);
  if (listed != ERROR_SUCCESS) return RegistryFailure(listed);
  for (const std::wstring& childName : children) {
    if (!CanCarryName(childName)) buffers.lineBreak = true;
    const std::wstring childPath = fullPath + L"\\" + childName;
    if (!CanWriteName(childName)) {
      ++counts.uncarriedKeys;
      if (buffers.visitor != nullptr && buffers.visitor->uncarried) {
        buffers.visitor->uncarried(childPath, nullptr);
      }
      continue;
    }
    RegistryKey child;
    const LONG opened =
        OpenKeyW(key, childName.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | KEY_QUERY_VALUE, child);
    // Deleted by another program since it was listed: nothing to save.
    if (opened == ERROR_FILE_NOT_FOUND) continue;
    if (opened != ERROR_SUCCESS) return RegistryFailure(opened);
    if (IsRegistryLink(child.Get())) {
      if (buffers.visitor != nullptr && buffers.visitor->link) buffers.visitor->link(childPath);
      continue;
    }
    CountUnreachable(childName, counts);
    status = ExportTree(child.Get(), childPath, buffers, out, counts);
    if (!status.Complete()) return status;
  }
  return {};
}

}  // namespace

bool CanCarryName(const std::wstring& name) {
  return name.find_first_of(L"\r\n") == std::wstring::npos;
}

bool CanWriteName(const std::wstring& name) { return name.find(L'\0') == std::wstring::npos; }

void AppendKeyHeader(std::wstring& out, const std::wstring& fullPath) {
  out += L"\r\n[";
  out += fullPath;
  out += L"]\r\n";
}

void AppendValueLine(std::wstring& out, const std::wstring& name, DWORD type, const BYTE* data,
                     DWORD size) {
  const size_t lineStart = out.size();
  if (name.empty()) {
    out += L'@';
  } else {
    out += L'"';
    AppendEscaped(out, name);
    out += L'"';
  }
  out += L'=';
  if (type == REG_SZ && IsCleanString(data, size)) {
    std::wstring text(size / sizeof(wchar_t) - 1, L'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    out += L'"';
    AppendEscaped(out, text);
    out += L"\"\r\n";
    return;
  }
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD value;
    std::memcpy(&value, data, sizeof value);
    out += L"dword:";
    AppendHex(out, value, 8);
    out += L"\r\n";
    return;
  }
  if (type == REG_BINARY) {
    out += L"hex:";
  } else {
    out += L"hex(";
    AppendHex(out, type, 1);
    out += L"):";
  }
  AppendHexBytes(out, lineStart, data, size);
  out += L"\r\n";
}

ExportStatus ExportKeyTree(HKEY key, const std::wstring& fullPath, std::wstring& out,
                           ExportCounts& counts, const ExportVisitor* visitor) {
  ExportBuffers buffers;
  buffers.visitor = visitor;
  const ExportStatus status = ExportTree(key, fullPath, buffers, out, counts);
  if (status.Complete() && buffers.lineBreak) {
    return {ExportProblem::kNameWithLineBreak, ERROR_SUCCESS};
  }
  return status;
}

ExportStatus ExportOneValue(HKEY key, const std::wstring& keyFullPath, const std::wstring& name,
                            std::wstring& out, const ExportVisitor* visitor) {
  if (!CanCarryName(name)) return {ExportProblem::kNameWithLineBreak, ERROR_SUCCESS};
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  const LONG status = QueryValueWide(key, name, type, data);
  if (status != ERROR_SUCCESS) return RegistryFailure(status);
  const DWORD size = static_cast<DWORD>(data.size());
  AppendKeyHeader(out, keyFullPath);
  AppendValueLine(out, name, type, data.data(), size);
  if (visitor != nullptr && visitor->value) visitor->value(keyFullPath, name, type, data.data(), size);
  return {};
}

}  // namespace varneth
