#include "registry/registry_delete.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

#include "registry/ansi_path.h"
#include "registry/registry_key.h"
#include "registry/registry_open.h"

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
  const size_t separator = LastSeparatorA(bytes);
  if (separator == std::string_view::npos) {
    parts.keyPath = CopyText(path);
    return parts;
  }
  parts.keyPath = TextFromBytes(bytes, static_cast<std::int32_t>(separator));
  parts.valueName = CopyText(bytes + separator + 1);
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

// The value `valueName` (nullptr: the default value) of the key at
// `keyPath`, through a handle with no more access than that needs.
bool DeleteValue(HKEY root, TextRef keyPath, const char* valueName, size_t followed,
                 const DeletionCheck* check) {
  RegistryKey key;
  return OpenWithoutLinksA(root, keyPath.Bytes(), followed, KEY_QUERY_VALUE | KEY_SET_VALUE,
                           key) == ERROR_SUCCESS &&
         (check == nullptr || check->mayDeleteValue(root, keyPath, key.Get(), valueName)) &&
         RegDeleteValueA(key.Get(), valueName) == ERROR_SUCCESS;
}

// The key at `path`, opened as itself with DELETE and what its check reads
// (its counts and values), checked and deleted through that very handle: the
// key checked is the key deleted, whatever is renamed meanwhile, and a link,
// or a key reached through one, is never deleted.
bool DeleteKey(HKEY root, TextRef path, size_t followed, const DeletionCheck* check) {
  RegistryKey key;
  const LONG opened =
      OpenWithoutLinksA(root, path.Bytes(), followed, DELETE | KEY_QUERY_VALUE, key);
  // A key that may not be deleted is told as such (a protected choice).
  if (opened == ERROR_ACCESS_DENIED && check != nullptr && check->keyDeletion) {
    check->keyDeletion(root, path, opened);
  }
  if (opened != ERROR_SUCCESS) return false;
  // A root is no key to delete.
  if (IsPredefinedKey(key.Get())) return false;
  return DeleteCheckedKey(root, path, key.Get(), false, check);
}

// What a key holds: subkeys, values and its last write time.
struct KeyState {
  bool read = false;
  DWORD subkeys = 0;
  DWORD values = 0;
  FILETIME written{};
};

KeyState ReadKeyState(HKEY key) {
  KeyState state;
  state.read = CurrentRegistryCalls().queryInfo(key, nullptr, nullptr, nullptr, &state.subkeys,
                                                nullptr, nullptr, &state.values, nullptr, nullptr,
                                                nullptr, &state.written) == ERROR_SUCCESS;
  return state;
}

}  // namespace

bool DeleteCheckedKey(HKEY root, TextRef path, HKEY key, bool emptied,
                      const DeletionCheck* check) {
  const KeyState seen = emptied ? KeyState{} : ReadKeyState(key);
  if (check != nullptr && !check->mayDeleteKey(root, path, key, emptied)) return false;
  const KeyState now = ReadKeyState(key);
  if (!now.read || now.subkeys > 0) return false;
  const bool unchanged = emptied ? now.values == 0
                                 : seen.read && now.values == seen.values &&
                                       CompareFileTime(&now.written, &seen.written) == 0;
  const LONG status = unchanged ? DeleteOpenKey(key) : kChangedSinceCheck;
  if (check != nullptr && check->keyDeletion) check->keyDeletion(root, path, status);
  return status == ERROR_SUCCESS;
}

bool DeleteRegistryItem(DeleteRootCode rootCode, TextRef path, const DeletionCheck* check,
                        std::int32_t followedLength, ItemDeletion how) {
  const HKEY root = DeleteRootKey(rootCode);
  if (root == nullptr || TextLength(path) == 0) return false;

  const ItemPathParts item = SplitItemPath(path);
  const char* valueName = item.hasValueName ? item.valueName.Bytes() : nullptr;
  const size_t followed = followedLength < 0
                              ? ParentLengthA(item.keyPath.Bytes())
                              : std::min(static_cast<size_t>(followedLength),
                                         static_cast<size_t>(TextLength(item.keyPath)));
  const bool valueDeleted = DeleteValue(root, item.keyPath, valueName, followed, check);
  if (valueDeleted && how == ItemDeletion::kValueOrKey) return true;
  return DeleteKey(root, path, FollowedPart(path, followedLength), check) || valueDeleted;
}

}  // namespace varneth
