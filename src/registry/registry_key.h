// An owned registry key handle: closed by its owner, so no early return can
// leak one. A predefined root (HKEY_LOCAL_MACHINE, ...) may be held but is
// never closed: the platform may hand it back as the very handle asked from,
// and closing it would close the process's own.
#pragma once

#include <windows.h>

namespace varneth {

// The predefined roots are the handle values 0x80000000 to 0x80000007
// (sign-extended on 64-bit Windows), which no opening returns.
inline bool IsPredefinedKey(HKEY key) {
  const auto value = reinterpret_cast<LONG_PTR>(key);
  return value >= static_cast<LONG_PTR>(static_cast<LONG>(0x80000000u)) &&
         value <= static_cast<LONG_PTR>(static_cast<LONG>(0x80000007u));
}

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
    if (handle_ != nullptr && !IsPredefinedKey(handle_)) RegCloseKey(handle_);
    handle_ = nullptr;
  }

 private:
  HKEY handle_ = nullptr;
};

}  // namespace varneth
