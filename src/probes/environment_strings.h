// Paths the registry keeps with %NAME% environment strings in them.
#pragma once

#include <windows.h>

#include <string>

namespace varneth {

// The text with each %NAME% of the process's environment replaced, as
// ExpandEnvironmentStringsW does (an unknown name stays as written); the
// platform's error when it cannot.
LONG ExpandEnvironmentText(const std::wstring& text, std::wstring& expanded);

}  // namespace varneth
