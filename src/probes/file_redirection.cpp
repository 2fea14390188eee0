#include "probes/file_redirection.h"

#include <windows.h>

namespace varneth {
namespace {

using Disable = BOOL(WINAPI*)(PVOID*);
using Revert = BOOL(WINAPI*)(PVOID);

struct RedirectionFunctions {
  Disable disable = nullptr;
  Revert revert = nullptr;
};

// kernel32 is in every process; Windows before Vista x64 and 32-bit Windows
// may lack the functions, and then there is no redirection to turn off.
const RedirectionFunctions& Functions() {
  static const RedirectionFunctions functions = [] {
    RedirectionFunctions found;
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
      found.disable = reinterpret_cast<Disable>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
      found.revert = reinterpret_cast<Revert>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    }
    if (found.disable == nullptr || found.revert == nullptr) found = {};
    return found;
  }();
  return functions;
}

}  // namespace

FileRedirectionOff::FileRedirectionOff() {
  // Fails with ERROR_INVALID_FUNCTION in a process that WOW64 does not run.
  if (Functions().disable != nullptr) off_ = Functions().disable(&previous_) != FALSE;
}

FileRedirectionOff::~FileRedirectionOff() {
  if (off_) Functions().revert(previous_);
}

}  // namespace varneth
