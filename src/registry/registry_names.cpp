#include "registry/registry_names.h"

namespace varneth {

std::wstring FoldName(std::wstring_view name) {
  std::wstring folded(name);
  // The platform's own upper-case table, the one the registry's comparison
  // uses; a character without an upper case stays as it is.
  if (!folded.empty()) CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  return folded;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsWithinKey(std::wstring_view path, std::wstring_view parent) {
  if (path.size() < parent.size()) return false;
  if (path.size() > parent.size() && path[parent.size()] != L'\\') return false;
  return SameName(path.substr(0, parent.size()), parent);
}

std::wstring TidyKeyPath(std::wstring_view path) {
  std::wstring tidy;
  tidy.reserve(path.size());
  for (wchar_t c : path) {
    if (c == L'\\' && (tidy.empty() || tidy.back() == L'\\')) continue;
    tidy += c;
  }
  if (!tidy.empty() && tidy.back() == L'\\') tidy.pop_back();
  return tidy;
}

const wchar_t* RootNameW(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
  if (root == HKEY_USERS) return L"HKEY_USERS";
  if (root == HKEY_CURRENT_CONFIG) return L"HKEY_CURRENT_CONFIG";
  return L"";
}

}  // namespace varneth
