// Registry names and paths in UTF-16, compared as the registry compares them:
// without regard to letter case.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace varneth {

// The name with every letter in upper case, as the registry's comparison
// folds it; two names are the same name when their folded forms are equal.
std::wstring FoldName(std::wstring_view name);

// True when both name the same key or value.
bool SameName(std::wstring_view a, std::wstring_view b);

// True when `path` is `parent` or lies below it.
bool IsWithinKey(std::wstring_view path, std::wstring_view parent);

// A key path as the registry reads it: a run of backslashes is one separator,
// and separators at either end name nothing.
std::wstring TidyKeyPath(std::wstring_view path);

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS", ...
const wchar_t* RootNameW(HKEY root);

}  // namespace varneth
