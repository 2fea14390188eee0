// Deletes a key with everything below it, each key opened once.
#pragma once

#include <cstdint>

#include "registry/registry_delete.h"
#include "runtime/text.h"

namespace varneth {

// Deletes the key at `path` below the root, everything below it, and a value
// of its name in the key above it, each item put to the check (when there
// is one) just before it goes. The key above is opened as OpenWithoutLinksA
// opens (the path's first `followedLength` bytes, by default all but its
// last name, may pass the platform's own link); every key from the place on
// is opened once, relative to its parent's handle, which is kept open while
// the work goes on below it (a stack), as itself and with no more access
// than its deletion needs (KEY_QUERY_VALUE | KEY_SET_VALUE |
// KEY_ENUMERATE_SUB_KEYS | DELETE). A key whose values hold a
// SymbolicLinkValue of type REG_LINK is a registry link: it is neither
// followed nor deleted, and the keys above it stay. A key's values are
// listed first and deleted through its handle; its subkeys are handled
// next; then the key is checked and deleted through that same handle.
// A key that may not be deleted is still emptied where it may be, and its
// refusal is told to the check. True when the place's key was deleted.
bool DeleteRegistryTree(DeleteRootCode rootCode, TextRef path, const DeletionCheck* check = nullptr,
                        std::int32_t followedLength = -1);

}  // namespace varneth
