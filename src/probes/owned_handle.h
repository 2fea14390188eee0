// A kernel handle (a process, a token) closed by its owner, so no early
// return can leak one. Functions that fail leave it null.
#pragma once

#include <windows.h>

namespace varneth {

class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  OwnedHandle& operator=(OwnedHandle&&) = delete;
  ~OwnedHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }
  HANDLE* Put() { return &handle_; }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace varneth
