#include "scan/scan_stores.h"

#include <string>

#include "registry/registry_names.h"
#include "registry/registry_open.h"
#include "runtime/wide_text.h"
#include "scan/read_only_key.h"

namespace varneth {
namespace {

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr wchar_t kMachineAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// `followed` is how much of the path may pass the platform's own link.
StoreKey OpenStore(HKEY root, const std::wstring& path, size_t followed) {
  StoreKey store;
  store.path = std::wstring(RootNameW(root)) + L'\\' + path;
  const LONG status = OpenWithoutLinks(root, path, followed, kScanAccess, store.key);
  if (status != ERROR_SUCCESS) store.key.Close();
  store.link = status == kMetRegistryLink;
  return store;
}

}  // namespace

ScanStores OpenScanStores(const KeyOwner& owner) {
  ScanStores stores;
  stores.ownEnvironment = IsProcessUser(owner);
  const HKEY userRoot = stores.ownEnvironment ? HKEY_CURRENT_USER : HKEY_USERS;
  const std::wstring sid = WidenText(owner.sidText);
  const std::wstring user = stores.ownEnvironment ? std::wstring() : sid + L'\\';
  stores.fileExts = OpenStore(userRoot, user + kFileExts, 0);
  const std::wstring classes = L"Software\\Classes";
  stores.classes.user = stores.ownEnvironment
                            ? OpenStore(HKEY_CURRENT_USER, classes, classes.size())
                            : OpenStore(HKEY_USERS, sid + L"_Classes", 0);
  stores.classes.machine = OpenStore(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", 0);
  stores.userAppPaths = OpenStore(userRoot, user + kAppPaths, 0);
  stores.machineAppPaths = OpenStore(HKEY_LOCAL_MACHINE, kMachineAppPaths, 0);
  return stores;
}

}  // namespace varneth
