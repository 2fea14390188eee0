#include "registry/registry_enum.h"

#include <algorithm>

namespace varneth {

LONG EnumValueWide(HKEY key, DWORD index, EnumBuffers& buffers, std::wstring& name, DWORD& type,
                   DWORD& size) {
  for (;;) {
    DWORD nameLength = static_cast<DWORD>(buffers.name.size());
    size = static_cast<DWORD>(buffers.data.size());
    type = REG_NONE;
    const LONG status = RegEnumValueW(key, index, buffers.name.data(), &nameLength, nullptr, &type,
                                      buffers.data.data(), &size);
    if (status == ERROR_MORE_DATA) {
      // Either buffer may be the short one; the data's size is known.
      buffers.name.resize(buffers.name.size() * 2);
      buffers.data.resize(std::max<size_t>(size, buffers.data.size() * 2));
      continue;
    }
    if (status == ERROR_SUCCESS) name.assign(buffers.name.data(), nameLength);
    return status;
  }
}

LONG QueryValueWide(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
  if (data.empty()) data.resize(256);
  for (;;) {
    DWORD size = static_cast<DWORD>(data.size());
    const LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA) {
      data.resize(std::max<size_t>(size, data.size() * 2));
      continue;
    }
    if (status == ERROR_SUCCESS) data.resize(size);
    return status;
  }
}

LONG EnumSubkeyWide(HKEY key, DWORD index, EnumBuffers& buffers, std::wstring& name) {
  for (;;) {
    DWORD length = static_cast<DWORD>(buffers.name.size());
    const LONG status =
        RegEnumKeyExW(key, index, buffers.name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) {
      buffers.name.resize(buffers.name.size() * 2);
      continue;
    }
    if (status == ERROR_SUCCESS) name.assign(buffers.name.data(), length);
    return status;
  }
}

}  // namespace varneth
