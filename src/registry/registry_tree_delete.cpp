#include "registry/registry_tree_delete.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/ansi_path.h"
#include "registry/registry_key.h"
#include "registry/registry_open.h"
#include "registry/registry_walker.h"

namespace varneth {
namespace {

// What deleting a key and its values needs; a key that grants less is
// opened with less, and what it grants is done. Windows' UserChoice denies
// value writes but grants DELETE: deleting the key takes its values along.
constexpr REGSAM kReadAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
constexpr REGSAM kAccessTries[] = {kReadAccess | KEY_SET_VALUE | DELETE, kReadAccess | DELETE,
                                   kReadAccess | KEY_SET_VALUE, kReadAccess};

// A key being worked below: its handle, path, subkeys listed, and the next
// of them to handle.
struct OpenKeyFrame {
  RegistryKey key;
  Text path;
  REGSAM access = 0;
  // Every value listed was deleted one by one: the key is to hold none when
  // it goes.
  bool emptied = false;
  std::vector<Text> children;
  size_t next = 0;
};

struct TreeDeletion {
  HKEY root;
  const DeletionCheck* check;
  Text name;                   // the subkey name being read
  std::vector<char> valueName; // the value name being read
  std::vector<OpenKeyFrame> stack;
};

LONG OpenAsItself(HKEY parent, const char* name, OpenKeyFrame& frame) {
  LONG status = ERROR_ACCESS_DENIED;
  for (const REGSAM access : kAccessTries) {
    status = OpenKeyA(parent, name, REG_OPTION_OPEN_LINK, access, frame.key);
    frame.access = access;
    if (status != ERROR_ACCESS_DENIED) break;
  }
  return status;
}

// The key's value names, listed whole before any goes (a deletion numbers
// the rest anew); false when one is the link's SymbolicLinkValue.
bool ListValueNames(TreeDeletion& work, HKEY key, std::vector<Text>& names) {
  if (work.valueName.empty()) work.valueName.resize(256);
  for (DWORD index = 0;;) {
    DWORD length = static_cast<DWORD>(work.valueName.size());
    DWORD type = REG_NONE;
    const LONG status =
        RegEnumValueA(key, index, work.valueName.data(), &length, nullptr, &type, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) {
      work.valueName.resize(work.valueName.size() * 2);
      continue;
    }
    if (status != ERROR_SUCCESS) return true;
    if (IsLinkTargetValue(work.valueName.data(), type)) {
      return false;
    }
    names.push_back(TextFromBytes(work.valueName.data(), static_cast<std::int32_t>(length)));
    ++index;
  }
}

// Opens the key below `parent`, deletes its values and lists its subkeys:
// it is then worked below. A link, or a key that does not open, is left.
bool Enter(TreeDeletion& work, HKEY parent, TextRef name, Text path) {
  OpenKeyFrame frame;
  if (OpenAsItself(parent, name.Bytes(), frame) != ERROR_SUCCESS) return false;
  std::vector<Text> values;
  if (!ListValueNames(work, frame.key.Get(), values)) return false;
  frame.emptied = (frame.access & KEY_SET_VALUE) != 0;
  if (frame.emptied) {
    for (const Text& value : values) {
      const bool deleted =
          (work.check == nullptr ||
           work.check->mayDeleteValue(work.root, path, frame.key.Get(), value.Bytes())) &&
          RegDeleteValueA(frame.key.Get(), value.Bytes()) == ERROR_SUCCESS;
      if (!deleted) frame.emptied = false;
    }
  }
  frame.children = ListSubkeyNames(frame.key.Get(), work.name);
  frame.path = std::move(path);
  work.stack.push_back(std::move(frame));
  return true;
}

// The key on top, its subkeys handled: checked and deleted through its
// handle.
bool Leave(TreeDeletion& work) {
  OpenKeyFrame frame = std::move(work.stack.back());
  work.stack.pop_back();
  const DeletionCheck* check = work.check;
  if ((frame.access & DELETE) == 0) {
    if (check != nullptr && check->keyDeletion) {
      check->keyDeletion(work.root, frame.path, ERROR_ACCESS_DENIED);
    }
    return false;
  }
  // A key some of whose values stayed (refused, or named so that the ANSI
  // calls cannot reach them) is checked as one that grants no value
  // deletion: every value it holds is compared.
  return DeleteCheckedKey(work.root, frame.path, frame.key.Get(), frame.emptied, check);
}

}  // namespace

bool DeleteRegistryTree(DeleteRootCode rootCode, TextRef path, const DeletionCheck* check,
                        std::int32_t followedLength) {
  const HKEY root = DeleteRootKey(rootCode);
  const std::string_view full = path.Bytes();
  if (root == nullptr || full.empty()) return false;
  const size_t parentLength = ParentLengthA(full);
  size_t nameStart = parentLength == 0 ? 0 : parentLength + 1;
  while (nameStart < full.size() && full[nameStart] == '\\') ++nameStart;
  const size_t nameEnd = std::max(nameStart, TrimmedLengthA(full));
  const Text parentPath = TextFromBytes(full.data(), static_cast<std::int32_t>(parentLength));
  const Text name =
      TextFromBytes(full.data() + nameStart, static_cast<std::int32_t>(nameEnd - nameStart));
  const size_t followed =
      followedLength < 0 ? parentLength : std::min<size_t>(followedLength, parentLength);
  RegistryKey parent;
  if (OpenWithoutLinksA(root, parentPath.Bytes(), followed, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        parent) != ERROR_SUCCESS ||
      TextLength(name) == 0) {
    return false;
  }

  TreeDeletion work{root, check, {}, {}, {}};
  bool deleted = false;
  if (Enter(work, parent.Get(), name, CopyText(path))) {
    while (!work.stack.empty()) {
      OpenKeyFrame& top = work.stack.back();
      if (top.next < top.children.size()) {
        // Copies: entering the child grows the stack, which moves `top`.
        const Text child = top.children[top.next++];
        const HKEY parentKey = top.key.Get();
        Enter(work, parentKey, child, ConcatTexts({top.path, "\\", child}));
        continue;
      }
      const bool last = work.stack.size() == 1;
      const bool gone = Leave(work);
      if (last) deleted = gone;
    }
  }
  // The value of the place's name in the key above, through that key.
  if (check == nullptr ||
      check->mayDeleteValue(root, parentPath, parent.Get(), name.Bytes())) {
    RegDeleteValueA(parent.Get(), name.Bytes());
  }
  return deleted;
}

}  // namespace varneth
