#include "cleanup/registry_delete.h"

#include <windows.h>

#include <cstring>

#include "cleanup/registry_key.h"

namespace varneth {
namespace {

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

}  // namespace

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

bool DeleteRegistryItem(DeleteRootCode rootCode, TextRef path) {
  const HKEY root = DeleteRootKey(rootCode);
  if (root == nullptr || TextLength(path) == 0) return false;

  const ItemPathParts item = SplitItemPath(path);
  {
    // Full access, as the key is opened to delete from it; no lesser access
    // is tried when this is refused.
    RegistryKey key;
    if (RegOpenKeyExA(root, item.keyPath.Bytes(), 0, KEY_ALL_ACCESS, key.Put()) == ERROR_SUCCESS &&
        RegDeleteValueA(key.Get(), item.hasValueName ? item.valueName.Bytes() : nullptr) ==
            ERROR_SUCCESS) {
      return true;
    }
  }
  return RegDeleteKeyA(root, path.Bytes()) == ERROR_SUCCESS;
}

}  // namespace varneth
