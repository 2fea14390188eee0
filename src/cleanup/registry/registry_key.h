// An owned registry key handle: closed by its owner, so no early return can
// leak one.
#pragma once

#include <windows.h>

namespace varneth {

class RegistryKey {
 public:
  RegistryKey() = default;
  explicit RegistryKey(HKEY handle) : handle_(handle) {}
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  RegistryKey(RegistryKey&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  ~RegistryKey() { Close(); }

  HKEY Get() const { return handle_; }
  // The place an opening function writes the new handle to; closes what is
  // held first.
  HKEY* Put() {
    Close();
    return &handle_;
  }
  void Close() {
    if (handle_ != nullptr) RegCloseKey(handle_);
    handle_ = nullptr;
  }

 private:
  HKEY handle_ = nullptr;
};

}  // namespace varneth
