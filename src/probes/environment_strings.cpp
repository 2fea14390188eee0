#include "probes/environment_strings.h"

namespace varneth {

LONG ExpandEnvironmentText(const std::wstring& text, std::wstring& expanded) {
  expanded.assign(MAX_PATH, L'\0');
  for (;;) {
    // The length it gives counts the terminating NUL.
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), expanded.data(),
                                                   static_cast<DWORD>(expanded.size()));
    if (length == 0) return static_cast<LONG>(GetLastError());
    if (length <= expanded.size()) {
      expanded.resize(length - 1);
      return ERROR_SUCCESS;
    }
    expanded.resize(length);
  }
}

}  // namespace varneth
