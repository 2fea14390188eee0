// The fixed plan that removes what Windows keeps about one extension.
#pragma once

#include <cstdint>

#include "cleanup/class_use/class_use.h"
#include "cleanup/paths/plan_paths.h"
#include "registry/registry_delete.h"
#include "registry/registry_walker.h"
#include "probes/key_owner.h"
#include "runtime/text.h"

namespace varneth {

// Removes, in this order: the machine-wide class keys (HKLM) of the class
// names the user's OpenWithProgids list holds (reached under HKEY_USERS
// through their SID text), that list's values and the user's Explorer record
// there; then the user's Explorer record FileExts\.E, the class keys .E and
// E_auto_file, and RecentDocs\.E, under HKEY_CURRENT_USER when they are the
// process's user and in their hives under HKEY_USERS otherwise; last it
// tells the shell that associations changed. Reports nothing: whatever is missing, protected
// or still has subkeys simply stays. The class names are the values of
// OpenWithProgids itself. With a check, each deletion is made only when it
// allows it; the calls and their order stay the same. Only the extension's
// own classes are walked and deleted: those `classes` judged so, or when it
// is null those the plan's own judgement of the list finds.
void CleanExtension(TextRef extension, const KeyOwner& owner, const DeletionCheck* check = nullptr,
                    const ClassUse* classes = nullptr);

// Deletes the tree at startPath (DeleteRegistryTree): every key below it
// that is no registry link, children before their parents, then the start
// key itself and a value of its name in the key above, each key opened once
// relative to its parent. The two codes name the same root in the walker's
// and the deletion's numbering; the observer is told "walk" with the
// walker's. The start path's first `followedLength` bytes (by default, all
// but its last name) name the place's parent.
void DeleteWalkedTree(WalkRootCode walkRoot, DeleteRootCode deleteRoot, TextRef startPath,
                      const DeletionCheck* check = nullptr, std::int32_t followedLength = -1);

// Tests follow the plan's steps through this observer: "walk" (a tree's
// deletion) and "delete" (one item) with their root codes and paths, "sid"
// (with the SID text decided at start-up, just before it is read anew) and
// "notify".
using CleanupPlanObserver = void (*)(const char* call, std::int32_t rootCode, const char* path);
void SetCleanupPlanObserver(CleanupPlanObserver observer);

}  // namespace varneth
