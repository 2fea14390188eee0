#include "cleanup/registry/registry_walker.h"

#include <utility>
#include <vector>

#include "cleanup/registry/registry_key.h"

namespace varneth {
namespace {

// Room of the name and data buffers: what does not fit ends the enumeration.
constexpr std::int32_t kBufferRoom = 255;

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

// Opens from the root with the full path and a trailing backslash, which
// names the same key: every key of a walk is reached this way, never relative
// to its parent's handle.
bool OpenFromRoot(HKEY root, TextRef path, RegistryKey& key) {
  const Text withSeparator = ConcatTexts({path, "\\"});
  return RegOpenKeyA(root, withSeparator.Bytes(), key.Put()) == ERROR_SUCCESS;
}

void ListValues(WalkState& walk, HKEY key, const Text& keyPath) {
  for (DWORD index = 0; EnumValueInfo(key, index, walk.info) == ERROR_SUCCESS; ++index) {
    walk.records.push_back(RegistryKeyRecord{kValueRecord, keyPath, walk.info});
    ReportProgress(walk);
    PumpWindowMessages();
  }
}

void Expand(WalkState& walk) {
  while (!walk.pending.empty()) {
    const PendingKey parent = std::move(walk.pending.back());
    walk.pending.pop_back();
    for (DWORD index = 0; EnumSubkeyName(parent.handle.Get(), index, walk.name) == ERROR_SUCCESS;
         ++index) {
      Text childPath = ConcatTexts({parent.path, "\\", walk.name});
      RegistryKey child;
      if (OpenFromRoot(walk.root, childPath, child)) {
        const HKEY childHandle = child.Get();
        walk.pending.push_back(PendingKey{std::move(child), childPath});
        AppendKeyRecord(walk, childPath);
        ListValues(walk, childHandle, childPath);
      }
      PumpWindowMessages();
    }
  }
}

void WalkStartKey(WalkState& walk, TextRef startPath, std::int32_t mode) {
  const Text path = CopyText(startPath);
  RegistryKey start;
  if (!OpenFromRoot(walk.root, path, start)) return;
  if (mode == kOneLevel) {
    for (DWORD index = 0; EnumSubkeyName(start.Get(), index, walk.name) == ERROR_SUCCESS;
         ++index) {
      AppendKeyRecord(walk, ConcatTexts({path, "\\", walk.name}));
      PumpWindowMessages();
    }
    RegistryKey again;
    if (OpenFromRoot(walk.root, path, again)) ListValues(walk, again.Get(), path);
  } else if (mode == kSubtree) {
    ListValues(walk, start.Get(), path);
    walk.pending.push_back(PendingKey{std::move(start), path});
    Expand(walk);
  }
}

void WalkRoot(WalkState& walk, std::int32_t mode) {
  for (DWORD index = 0; EnumSubkeyName(walk.root, index, walk.name) == ERROR_SUCCESS; ++index) {
    RegistryKey child;
    if (!OpenFromRoot(walk.root, walk.name, child)) {
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
                      bool reportProgress) {
  records.clear();
  WalkState walk{WalkRootKey(rootCode), records, progressRoutine, reportProgress, {}, {}, {}};
  if (CompareText(startPath, "") != 0) {
    WalkStartKey(walk, startPath, mode);
  } else {
    WalkRoot(walk, mode);
  }
  walk.pending.clear();
  RegCloseKey(walk.root);
}

LONG EnumSubkeyName(HKEY key, DWORD index, Text& name) {
  name = BlankText(kBufferRoom);
  return RegEnumKeyA(key, index, name.Data(), kBufferRoom);
}

LONG EnumValueInfo(HKEY key, DWORD index, RegistryValueInfo& info) {
  info.index = static_cast<std::int32_t>(index);
  info.type = 0;
  info.name = BlankText(kBufferRoom);
  info.nameLength = kBufferRoom;
  info.data = BlankBytes(kBufferRoom);
  info.dataSize = kBufferRoom;
  DWORD nameLength = kBufferRoom;
  DWORD type = 0;
  DWORD dataSize = kBufferRoom;
  const LONG status = RegEnumValueA(key, index, info.name.Data(), &nameLength, nullptr, &type,
                                    info.data.Data(), &dataSize);
  info.type = static_cast<std::int32_t>(type);
  info.nameLength = static_cast<std::int32_t>(nameLength);
  info.dataSize = static_cast<std::int32_t>(dataSize);
  if (type == REG_DWORD || type == REG_MULTI_SZ) info.data = LeftBytes(info.data, info.dataSize);
  return status;
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
