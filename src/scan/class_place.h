// A key of the class stores as the shell reads it: the user's classes over
// the machine's. A key exists where either store has it; its values are
// those of the user's key when the user has one, else the machine's; its
// subkeys are those of both.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "registry/registry_key.h"

namespace varneth {

// One store's top key, held open for the whole scan, and its full path as a
// report names it.
struct StoreKey {
  RegistryKey key;
  std::wstring path;
  bool link = false;  // the top key itself is a registry link: nothing below it is read
};

// The two class stores and the folded names of their top-level keys, read
// in one pass each, so that a class's existence costs no opening.
struct ClassStores {
  StoreKey user;
  StoreKey machine;
  std::unordered_set<std::wstring> userNames;
  std::unordered_set<std::wstring> machineNames;
  std::vector<std::wstring> userExtensions;  // top-level ".E" names, as stored
  std::vector<std::wstring> machineExtensions;
};

// Reads both stores' top-level names.
void ReadClassStoreNames(ClassStores& stores);

struct ClassPlace {
  RegistryKey user;
  RegistryKey machine;
  std::wstring path;  // below the class store

  bool Exists() const { return user.Get() != nullptr || machine.Get() != nullptr; }
  // The key whose values the shell reads.
  HKEY ValueKey() const { return user.Get() != nullptr ? user.Get() : machine.Get(); }
};

// How opening a place ended: it is there, neither store has it, or a
// registry link stood in the way (its full path in `link`).
enum class PlaceOpening { kOpened, kAbsent, kLink };

// Opens `name` below the store (parent null) or below `parent`, in each store
// that has the parent. Names with backslashes (Applications\x.exe) are
// opened a name at a time. A top-level name that neither store listed is
// not opened at all.
PlaceOpening OpenClassPlace(const ClassStores& stores, const ClassPlace* parent,
                            std::wstring_view name, ClassPlace& place, std::wstring& link);

// The full path of the place's key that is a registry link (the user's, then
// the machine's), or "": asked where something looked for is missing.
std::wstring LinkAt(const ClassStores& stores, const ClassPlace& place);

// True when a class of that name exists in either store: from the names read
// for a plain name, by opening for one with a backslash (a link counts as
// there).
bool ClassExists(const ClassStores& stores, std::wstring_view name);

// The place's subkey names, the user's first, each name once.
std::vector<std::wstring> SubkeyNames(const ClassPlace& place);

}  // namespace varneth
