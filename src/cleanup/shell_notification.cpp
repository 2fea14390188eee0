#include "cleanup/shell_notification.h"

namespace varneth {
namespace {

ShellCalls g_calls;

}  // namespace

void SetShellCalls(const ShellCalls& calls) { g_calls = calls; }

void NotifyAssociationsChanged() {
  g_calls.changeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace varneth
