// Deletes one registry value, or else one key, named by a single path.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "runtime/text.h"

namespace varneth {

// The deletion's numbering of the predefined roots (not the walker's):
// 1 HKEY_CLASSES_ROOT, 2 HKEY_CURRENT_CONFIG, 3 HKEY_CURRENT_USER,
// 4 HKEY_LOCAL_MACHINE, 5 HKEY_USERS; any other code names no root.
using DeleteRootCode = std::int32_t;

// An item path read as "key path\value name": split at its last separator,
// found by the characters of the ANSI code page (a trail byte 0x5C is none). A path
// without one is a key directly under the root and names its default value
// (hasValueName false); a path ending in "\" names it too (an empty name).
struct ItemPathParts {
  Text keyPath;
  Text valueName;
  bool hasValueName = false;
};
ItemPathParts SplitItemPath(TextRef path);

// What a caller may veto: each deletion DeleteRegistryItem is about to make
// is put to it just before it is made, and a refused one is not made. The key
// is told how each key deletion went.
struct DeletionCheck {
  // The value `valueName` (nullptr: the default value) of the key `keyPath`,
  // open as `key`.
  std::function<bool(HKEY root, TextRef keyPath, HKEY key, const char* valueName)> mayDeleteValue;
  // The key named by `path` (a trailing backslash names the key before it),
  // open as `key`, itself and not a link. `emptied`: its values were deleted
  // one by one, and the key goes only if it holds no value and no subkey the
  // instant before its deletion.
  std::function<bool(HKEY root, TextRef path, HKEY key, bool emptied)> mayDeleteKey;
  // What the key's deletion answered for `path`.
  std::function<void(HKEY root, TextRef path, LONG status)> keyDeletion;
};

// What a key's deletion is told when the key was not deleted because it
// changed between its check and the instant before its deletion.
inline constexpr LONG kChangedSinceCheck = ERROR_INVALID_STATE;

// Checks the open key and deletes it through that handle (NtDeleteKey, which
// takes the key's values along), the instant between the two closed as far
// as the platform lets it be: just before the deletion, a key `emptied` of
// its values one by one must hold no value, and any other key (one that
// grants no value deletion, as a protected UserChoice, or kept some of its
// values) the number of values
// and the last write time it had before its check; both must hold no
// subkey. A key that changed stays, and its deletion is told
// kChangedSinceCheck; one with subkeys is refused silently, as the platform
// refuses it. True when the key was deleted.
bool DeleteCheckedKey(HKEY root, TextRef path, HKEY key, bool emptied, const DeletionCheck* check);

// What one path names to delete.
enum class ItemDeletion {
  kValueOrKey,   // the value, or when that cannot go, the key
  kValueAndKey,  // the value and the key of that name both: a place whose
                 // name a value of its parent also has
};

// The predefined root of a deletion code, or nullptr.
HKEY DeleteRootKey(DeleteRootCode code);

// Reads the path as "key path\value name", split as SplitItemPath splits it,
// and deletes
// that value; a path ending in "\" names the key's default value, and one
// without "\" the default value of a key directly under the root. When that
// fails, deletes the key named by the whole path, which the platform refuses
// while the key has subkeys. The path's first `followedLength` bytes (by
// default, all but the last name of the key) name the place's parent and are
// opened as named; every name after them is opened relative to the one before
// and as itself, so a registry link is never followed nor deleted, and paths
// of any length are reached. Everything is done in the 64-bit view. The
// caller's text is not changed. True when something was deleted. With a
// check, only the deletions it allows are made. With kValueAndKey the key
// is deleted after the value too. The value goes through a handle with
// KEY_QUERY_VALUE | KEY_SET_VALUE, the key through its own handle with
// DELETE | KEY_QUERY_VALUE, the one its check read.
bool DeleteRegistryItem(DeleteRootCode rootCode, TextRef path,
                        const DeletionCheck* check = nullptr, std::int32_t followedLength = -1,
                        ItemDeletion how = ItemDeletion::kValueOrKey);

}  // namespace varneth
