// Telling the shell that file associations changed, so that Explorer reads
// them again rather than going on with what it has cached.
#pragma once

#include <windows.h>
// After windows.h, which it relies on.
#include <shlobj.h>

namespace varneth {

// The shell's call, made through here. Tests watch its arguments; nothing
// else changes it.
struct ShellCalls {
  void(WINAPI* changeNotify)(LONG, UINT, LPCVOID, LPCVOID) = SHChangeNotify;
};
void SetShellCalls(const ShellCalls& calls);

// SHCNE_ASSOCCHANGED is the event the shell rereads associations on; it
// names no item, so it carries none (SHCNF_IDLIST with two null items).
void NotifyAssociationsChanged();

}  // namespace varneth
