#include "scan/class_place.h"

#include "registry/registry_enum.h"
#include "registry/registry_names.h"
#include "registry/registry_open.h"
#include "scan/read_only_key.h"

namespace varneth {
namespace {

void ReadNames(const StoreKey& store, std::unordered_set<std::wstring>& names,
               std::vector<std::wstring>& extensions) {
  if (store.key.Get() == nullptr) return;
  EnumBuffers buffers;
  std::wstring name;
  for (DWORD index = 0; EnumSubkeyWide(store.key.Get(), index, buffers, name) == ERROR_SUCCESS;
       ++index) {
    if (!name.empty() && name.front() == L'.') extensions.push_back(name);
    names.insert(FoldName(name));
  }
}

// Opens the name in one store; false when a link stood in the way.
bool OpenInStore(HKEY parent, std::wstring_view name, RegistryKey& key) {
  if (parent == nullptr) return true;
  return OpenForReading(parent, name, key) != kMetRegistryLink;
}

}  // namespace

void ReadClassStoreNames(ClassStores& stores) {
  ReadNames(stores.user, stores.userNames, stores.userExtensions);
  ReadNames(stores.machine, stores.machineNames, stores.machineExtensions);
}

PlaceOpening OpenClassPlace(const ClassStores& stores, const ClassPlace* parent,
                            std::wstring_view name, ClassPlace& place, std::wstring& link) {
  place.path = parent != nullptr ? parent->path + L'\\' : std::wstring();
  place.path += name;
  HKEY userParent = parent != nullptr ? parent->user.Get() : stores.user.key.Get();
  HKEY machineParent = parent != nullptr ? parent->machine.Get() : stores.machine.key.Get();
  if (parent == nullptr && name.find(L'\\') == std::wstring_view::npos) {
    const std::wstring folded = FoldName(name);
    if (stores.userNames.count(folded) == 0) userParent = nullptr;
    if (stores.machineNames.count(folded) == 0) machineParent = nullptr;
  }
  if (!OpenInStore(userParent, name, place.user)) {
    link = stores.user.path + L'\\' + place.path;
    return PlaceOpening::kLink;
  }
  if (!OpenInStore(machineParent, name, place.machine)) {
    link = stores.machine.path + L'\\' + place.path;
    return PlaceOpening::kLink;
  }
  return place.Exists() ? PlaceOpening::kOpened : PlaceOpening::kAbsent;
}

std::wstring LinkAt(const ClassStores& stores, const ClassPlace& place) {
  if (place.user.Get() != nullptr && IsRegistryLink(place.user.Get())) {
    return stores.user.path + L'\\' + place.path;
  }
  if (place.machine.Get() != nullptr && IsRegistryLink(place.machine.Get())) {
    return stores.machine.path + L'\\' + place.path;
  }
  return {};
}

bool ClassExists(const ClassStores& stores, std::wstring_view name) {
  if (name.empty()) return false;
  if (name.find(L'\\') == std::wstring_view::npos) {
    const std::wstring folded = FoldName(name);
    return stores.userNames.count(folded) != 0 || stores.machineNames.count(folded) != 0;
  }
  ClassPlace place;
  std::wstring link;
  return OpenClassPlace(stores, nullptr, name, place, link) != PlaceOpening::kAbsent;
}

std::vector<std::wstring> SubkeyNames(const ClassPlace& place) {
  std::vector<std::wstring> names;
  std::unordered_set<std::wstring> seen;
  EnumBuffers buffers;
  std::wstring name;
  for (HKEY key : {place.user.Get(), place.machine.Get()}) {
    if (key == nullptr) continue;
    for (DWORD index = 0; EnumSubkeyWide(key, index, buffers, name) == ERROR_SUCCESS; ++index) {
      if (seen.insert(FoldName(name)).second) names.push_back(name);
    }
  }
  return names;
}

}  // namespace varneth
