#include "registry/registry_walker.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "registry/registry_key.h"
#include "registry/registry_open.h"

namespace varneth {
namespace {

// Room of the value name and data buffers at first: what does not fit is
// read again with more room.
constexpr std::int32_t kBufferRoom = 255;
// The registry's longest value name, 16,383 UTF-16 units, each of up to
// three bytes in the ANSI code page (65001), and the NUL.
constexpr std::int32_t kValueNameRoom = 3 * 16383 + 1;
// Room of a subkey name: the registry's longest name, 255 UTF-16 units, each
// of up to three bytes, and the NUL.
constexpr std::int32_t kSubkeyNameRoom = 3 * 255 + 1;
// How often a name or value is read again with more room before its listing
// takes the platform's ERROR_MORE_DATA as its end: data that another program
// keeps growing must not hold the run up.
constexpr int kReadAttempts = 4;

// An opened key whose subkeys are still to be listed. Its handle served
// first for its values and is closed once the key has been expanded.
struct PendingKey {
  RegistryKey handle;
  Text path;
};

struct WalkState {
  HKEY root;
  RegistryRecordList& records;
  const ProgressRoutine& progressRoutine;
  bool reportProgress;
  Text name;               // the subkey name being read
  RegistryValueInfo info;  // the value being read
  std::vector<PendingKey> pending;  // used as a stack: the last key is expanded next
};

void ReportProgress(WalkState& walk) {
  if (walk.reportProgress && walk.progressRoutine) {
    walk.progressRoutine(static_cast<std::int32_t>(walk.records.size()));
  }
}

void AppendKeyRecord(WalkState& walk, const Text& keyPath) {
  walk.records.push_back(RegistryKeyRecord{kKeyRecord, keyPath, RegistryValueInfo{}});
  ReportProgress(walk);
}

// Opens a child relative to its parent's handle and as itself: a registry
// link is never followed, and is passed over like a key that does not open.
// Relative openings also reach keys whose full path the ANSI calls cannot
// take.
bool OpenChild(HKEY parent, TextRef name, RegistryKey& key) {
  if (OpenKeyA(parent, name.Bytes(), REG_OPTION_OPEN_LINK, KEY_READ, key) != ERROR_SUCCESS) {
    return false;
  }
  if (!IsRegistryLink(key.Get())) return true;
  key.Close();
  return false;
}

// Lists the key's values; false when one tells that the key is a registry
// link (opened as itself, a link holds its target as a value).
bool ListValues(WalkState& walk, HKEY key, const Text& keyPath) {
  for (DWORD index = 0; EnumValueInfo(key, index, walk.info) == ERROR_SUCCESS; ++index) {
    if (IsLinkTargetValue(walk.info.name.Bytes(), walk.info.type)) return false;
    walk.records.push_back(RegistryKeyRecord{kValueRecord, keyPath, walk.info});
    ReportProgress(walk);
    PumpWindowMessages();
  }
  return true;
}

// The key's last write time; with `subkeys`, also how many subkeys it has
// (left as it is when the key cannot be asked).
FILETIME LastWritten(HKEY key, DWORD* subkeys = nullptr) {
  FILETIME time{};
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, &time);
  return time;
}

// How often a key's subkeys are listed while they keep changing, before the
// last listing is taken as it is: a program that writes below the key without
// pause must not hold the run up (a key such a listing misses is not saved,
// so it is not deleted either).
constexpr int kListingAttempts = 4;

void Expand(WalkState& walk) {
  while (!walk.pending.empty()) {
    const PendingKey parent = std::move(walk.pending.back());
    walk.pending.pop_back();
    for (const Text& name : ListSubkeyNames(parent.handle.Get(), walk.name)) {
      Text childPath = ConcatTexts({parent.path, "\\", name});
      // Opened as itself; a link is told by the values listed anyway, and
      // passed over like a key that does not open.
      RegistryKey child;
      if (OpenKeyA(parent.handle.Get(), name.Bytes(), REG_OPTION_OPEN_LINK, KEY_READ, child) ==
          ERROR_SUCCESS) {
        const HKEY childHandle = child.Get();
        const size_t mark = walk.records.size();
        walk.pending.push_back(PendingKey{std::move(child), childPath});
        AppendKeyRecord(walk, childPath);
        if (!ListValues(walk, childHandle, childPath)) {
          walk.records.resize(mark);
          walk.pending.pop_back();
        }
      }
      PumpWindowMessages();
    }
  }
}

// The start key: its parent as named, from its first `followedLength` bytes
// on each name as itself.
bool OpenStart(HKEY root, TextRef path, size_t followedLength, RegistryKey& key) {
  return OpenWithoutLinksA(root, path.Bytes(), followedLength, KEY_READ, key) == ERROR_SUCCESS;
}

void WalkStartKey(WalkState& walk, TextRef startPath, std::int32_t mode, size_t followedLength) {
  const Text path = CopyText(startPath);
  RegistryKey start;
  if (!OpenStart(walk.root, path, followedLength, start)) return;
  if (mode == kOneLevel) {
    for (DWORD index = 0; EnumSubkeyName(start.Get(), index, walk.name) == ERROR_SUCCESS;
         ++index) {
      AppendKeyRecord(walk, ConcatTexts({path, "\\", walk.name}));
      PumpWindowMessages();
    }
    RegistryKey again;
    if (OpenStart(walk.root, path, followedLength, again)) ListValues(walk, again.Get(), path);
  } else if (mode == kSubtree) {
    if (!ListValues(walk, start.Get(), path)) return;  // opened as itself: no link
    walk.pending.push_back(PendingKey{std::move(start), path});
    Expand(walk);
  }
}

void WalkRoot(WalkState& walk, std::int32_t mode) {
  for (DWORD index = 0; EnumSubkeyName(walk.root, index, walk.name) == ERROR_SUCCESS; ++index) {
    RegistryKey child;
    if (!OpenChild(walk.root, walk.name, child)) {
      PumpWindowMessages();
      continue;
    }
    // A name of spaces alone ends the listing of the root.
    if (!RemoveSpaces(walk.name).HasBlock()) break;
    walk.pending.push_back(PendingKey{std::move(child), walk.name});
    AppendKeyRecord(walk, walk.name);
    PumpWindowMessages();
  }
  if (mode == kOneLevel) {
    ListValues(walk, walk.root, Text());
  } else if (mode == kSubtree) {
    Expand(walk);
  }
}

}  // namespace

HKEY WalkRootKey(WalkRootCode code) {
  const auto handle = static_cast<std::uint32_t>(0x80000000u + static_cast<std::uint32_t>(code) - 1u);
  // Predefined keys are sign-extended on 64-bit Windows, as the SDK's own
  // constants are.
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
}

void WalkRegistryTree(WalkRootCode rootCode, TextRef startPath, std::int32_t mode,
                      RegistryRecordList& records, const ProgressRoutine& progressRoutine,
                      bool reportProgress, std::int32_t followedLength) {
  records.clear();
  WalkState walk{WalkRootKey(rootCode), records, progressRoutine, reportProgress, {}, {}, {}};
  if (CompareText(startPath, "") != 0) {
    const size_t followed = followedLength >= 0 ? static_cast<size_t>(followedLength)
                                                : ParentLengthA(startPath.Bytes());
    WalkStartKey(walk, startPath, mode, followed);
  } else {
    WalkRoot(walk, mode);
  }
  walk.pending.clear();
  // The root is a predefined key, which is never closed: the process's own.
}

std::vector<Text> ListSubkeyNames(HKEY key, Text& name) {
  std::vector<Text> names;
  for (int attempt = 0; attempt < kListingAttempts; ++attempt) {
    names.clear();
    DWORD subkeys = MAXDWORD;
    const FILETIME before = LastWritten(key, &subkeys);
    // A key without subkeys, as most are, takes no listing.
    if (subkeys == 0) break;
    for (DWORD index = 0; EnumSubkeyName(key, index, name) == ERROR_SUCCESS; ++index) {
      names.push_back(name);
    }
    const FILETIME after = LastWritten(key);
    if (CompareFileTime(&before, &after) == 0) break;
  }
  return names;
}

LONG EnumSubkeyName(HKEY key, DWORD index, Text& name) {
  std::int32_t room = kSubkeyNameRoom;
  for (int attempt = 1;; ++attempt, room *= 2) {
    name = BlankText(room);
    const LONG status = RegEnumKeyA(key, index, name.Data(), static_cast<DWORD>(room));
    if (status != ERROR_MORE_DATA || attempt == kReadAttempts) return status;
  }
}

LONG EnumValueInfo(HKEY key, DWORD index, RegistryValueInfo& info) {
  std::int32_t nameRoom = kBufferRoom;
  std::int32_t dataRoom = kBufferRoom;
  for (int attempt = 1;; ++attempt) {
    info.index = static_cast<std::int32_t>(index);
    info.type = 0;
    info.name = BlankText(nameRoom);
    info.nameLength = nameRoom;
    info.data = BlankBytes(dataRoom);
    info.dataSize = dataRoom;
    DWORD nameLength = static_cast<DWORD>(nameRoom);
    DWORD type = 0;
    DWORD dataSize = static_cast<DWORD>(dataRoom);
    const LONG status = RegEnumValueA(key, index, info.name.Data(), &nameLength, nullptr, &type,
                                      info.data.Data(), &dataSize);
    // A longer name or larger data than the buffers hold: read again with
    // room for the registry's longest value name and the data's size.
    if (status == ERROR_MORE_DATA && attempt < kReadAttempts) {
      nameRoom = kValueNameRoom;
      dataRoom = std::max(dataRoom, static_cast<std::int32_t>(dataSize));
      continue;
    }
    info.type = static_cast<std::int32_t>(type);
    info.nameLength = static_cast<std::int32_t>(nameLength);
    info.dataSize = static_cast<std::int32_t>(dataSize);
    if (type == REG_DWORD || type == REG_MULTI_SZ) info.data = LeftBytes(info.data, info.dataSize);
    return status;
  }
}

void PumpWindowMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
    GetMessageA(&message, nullptr, 0, 0);
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace varneth
