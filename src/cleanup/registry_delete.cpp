#include "cleanup/registry_delete.h"

#include <windows.h>

#include <cstring>

#include "cleanup/registry_key.h"

namespace varneth {
namespace {

HKEY DeleteRootKey(DeleteRootCode code) {
  switch (code) {
    case 1: return HKEY_CLASSES_ROOT;
    case 2: return HKEY_CURRENT_CONFIG;
    case 3: return HKEY_CURRENT_USER;
    case 4: return HKEY_LOCAL_MACHINE;
    case 5: return HKEY_USERS;
    default: return nullptr;
  }
}

}  // namespace

bool DeleteRegistryItem(DeleteRootCode rootCode, TextRef path) {
  const HKEY root = DeleteRootKey(rootCode);
  if (root == nullptr || TextLength(path) == 0) return false;

  Text keyPath = CopyText(path);
  const char* valueName = nullptr;  // null: the key's default value
  if (char* separator = std::strrchr(keyPath.Data(), '\\')) {
    *separator = '\0';
    valueName = separator + 1;
  }
  {
    // Full access, as the key is opened to delete from it; no lesser access
    // is tried when this is refused.
    RegistryKey key;
    if (RegOpenKeyExA(root, keyPath.Bytes(), 0, KEY_ALL_ACCESS, key.Put()) == ERROR_SUCCESS &&
        RegDeleteValueA(key.Get(), valueName) == ERROR_SUCCESS) {
      return true;
    }
  }
  return RegDeleteKeyA(root, path.Bytes()) == ERROR_SUCCESS;
}

}  // namespace varneth
