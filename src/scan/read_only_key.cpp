#include "scan/read_only_key.h"

#include <cstring>
#include <vector>

#include "registry/registry_enum.h"
#include "registry/registry_open.h"

namespace varneth {

LONG OpenForReading(HKEY parent, std::wstring_view path, RegistryKey& key) {
  key.Close();
  RegistryKey step;
  HKEY from = parent;
  size_t at = 0;
  while (at < path.size()) {
    size_t end = path.find(L'\\', at);
    if (end == std::wstring_view::npos) end = path.size();
    if (end == at) {
      ++at;
      continue;
    }
    RegistryKey next;
    const std::wstring name(path.substr(at, end - at));
    const LONG status = OpenKeyW(from, name.c_str(), REG_OPTION_OPEN_LINK, kScanAccess, next);
    if (status != ERROR_SUCCESS) {
      return step.Get() != nullptr && IsRegistryLink(step.Get()) ? kMetRegistryLink : status;
    }
    step = std::move(next);
    from = step.Get();
    at = end;
  }
  if (!step.Get()) return ERROR_FILE_NOT_FOUND;  // an empty path names no key below the parent
  key = std::move(step);
  return ERROR_SUCCESS;
}

std::optional<std::wstring> ReadString(HKEY key, const wchar_t* name, bool* expand) {
  std::vector<BYTE> data;
  DWORD type = REG_NONE;
  if (QueryValueWide(key, name, type, data) != ERROR_SUCCESS) return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  if (expand != nullptr) *expand = type == REG_EXPAND_SZ;
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  // The platform reads a string up to its first NUL.
  const size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return text;
}

bool HasValue(HKEY key, const wchar_t* name) {
  return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace varneth
