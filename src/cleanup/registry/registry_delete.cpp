#include "cleanup/registry/registry_delete.h"

#include <windows.h>

#include <cstring>

#include "cleanup/registry/registry_key.h"

namespace varneth {

HKEY DeleteRootKey(DeleteRootCode code) {
  switch (code) {
    case 1:
      return HKEY_CLASSES_ROOT;
    case 2:
      return HKEY_CURRENT_CONFIG;
    case 3:
      return HKEY_CURRENT_USER;
    case 4:
      return HKEY_LOCAL_MACHINE;
    case 5:
      return HKEY_USERS;
    default:
      return nullptr;
  }
}

ItemPathParts SplitItemPath(TextRef path) {
  ItemPathParts parts;
  const char* bytes = path.Bytes();
  const char* separator = std::strrchr(bytes, '\\');
  if (separator == nullptr) {
    parts.keyPath = CopyText(path);
    return parts;
  }
  parts.keyPath = TextFromBytes(bytes, static_cast<std::int32_t>(separator - bytes));
  parts.valueName = CopyText(separator + 1);
  parts.hasValueName = true;
  return parts;
}

bool DeleteRegistryItem(DeleteRootCode rootCode, TextRef path, const DeletionCheck* check) {
  const HKEY root = DeleteRootKey(rootCode);
  if (root == nullptr || TextLength(path) == 0) return false;

  const ItemPathParts item = SplitItemPath(path);
  {
    // Full access, as the key is opened to delete from it; no lesser access
    // is tried when this is refused.
    RegistryKey key;
    const char* valueName = item.hasValueName ? item.valueName.Bytes() : nullptr;
    if (RegOpenKeyExA(root, item.keyPath.Bytes(), 0, KEY_ALL_ACCESS, key.Put()) == ERROR_SUCCESS &&
        (check == nullptr || check->mayDeleteValue(root, item.keyPath, key.Get(), valueName)) &&
        RegDeleteValueA(key.Get(), valueName) == ERROR_SUCCESS) {
      return true;
    }
  }
  if (check != nullptr && !check->mayDeleteKey(root, path)) return false;
  const LONG status = RegDeleteKeyA(root, path.Bytes());
  if (check != nullptr && check->keyDeletion) check->keyDeletion(root, path, status);
  return status == ERROR_SUCCESS;
}

}  // namespace varneth
