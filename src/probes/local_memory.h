// Memory the platform allocated for the caller with LocalAlloc, freed with
// LocalFree by its owner.
#pragma once

#include <windows.h>

namespace varneth {

template <typename T>
class LocalMemory {
 public:
  LocalMemory() = default;
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  ~LocalMemory() {
    if (pointer_ != nullptr) LocalFree(pointer_);
  }
  T* Get() const { return pointer_; }
  T** Put() { return &pointer_; }

 private:
  T* pointer_ = nullptr;
};

}  // namespace varneth
