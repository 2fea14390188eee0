#include "cleanup/registry/registry_delete.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "cleanup/registry/registry_key.h"
#include "cleanup/registry/registry_open.h"

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

namespace {

// How much of `path` names the place's parent, opened as named: the caller's
// part when it lies before the path's last name, else the path's parent.
size_t FollowedPart(TextRef path, std::int32_t followedLength) {
  const size_t parent = ParentLengthA(path.Bytes());
  if (followedLength < 0) return parent;
  return std::min(static_cast<size_t>(followedLength), parent);
}

}  // namespace

bool DeleteRegistryItem(DeleteRootCode rootCode, TextRef path, const DeletionCheck* check,
                        std::int32_t followedLength) {
  const HKEY root = DeleteRootKey(rootCode);
  if (root == nullptr || TextLength(path) == 0) return false;

  const ItemPathParts item = SplitItemPath(path);
  {
    // Full access, as the key is opened to delete from it; no lesser access
    // is tried when this is refused. Below the place each name is opened as
    // itself, so no value of a link's target is ever reached.
    RegistryKey key;
    const char* valueName = item.hasValueName ? item.valueName.Bytes() : nullptr;
    const size_t followed =
        followedLength < 0 ? ParentLengthA(item.keyPath.Bytes())
                           : std::min(static_cast<size_t>(followedLength),
                                      static_cast<size_t>(TextLength(item.keyPath)));
    if (OpenWithoutLinksA(root, item.keyPath.Bytes(), followed, KEY_ALL_ACCESS, key) ==
            ERROR_SUCCESS &&
        (check == nullptr || check->mayDeleteValue(root, item.keyPath, key.Get(), valueName)) &&
        RegDeleteValueA(key.Get(), valueName) == ERROR_SUCCESS) {
      return true;
    }
  }
  // The key itself, opened as itself: a link, or a key reached through one,
  // is never deleted. It is deleted through that very handle, so the key
  // checked is the key deleted, whatever is renamed meanwhile.
  RegistryKey key;
  if (OpenWithoutLinksA(root, path.Bytes(), FollowedPart(path, followedLength), KEY_READ, key) !=
      ERROR_SUCCESS) {
    return false;
  }
  if (check != nullptr && !check->mayDeleteKey(root, path, key.Get())) return false;
  const LONG status = DeleteKeyA(key.Get(), "");
  if (check != nullptr && check->keyDeletion) check->keyDeletion(root, path, status);
  return status == ERROR_SUCCESS;
}

}  // namespace varneth
