// Enumerations with the wide registry functions into buffers that grow
// whenever the registry says they are too small: names and data of any
// length come out exactly as stored, and no key costs a call to ask for its
// sizes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace varneth {

// Buffers one enumeration, or a whole tree's, shares: each starts at a size
// that fits most keys.
struct EnumBuffers {
  std::vector<wchar_t> name = std::vector<wchar_t>(256);
  std::vector<BYTE> data = std::vector<BYTE>(1024);
};

// Value `index` of the key: its name, type and size; its data is the first
// `size` bytes of buffers.data. Gives the platform's status
// (ERROR_NO_MORE_ITEMS past the last value).
LONG EnumValueWide(HKEY key, DWORD index, EnumBuffers& buffers, std::wstring& name, DWORD& type,
                   DWORD& size);

// The value `name` of the key: its type, and its data resized to its size.
LONG QueryValueWide(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data);

// The name of subkey `index`.
LONG EnumSubkeyWide(HKEY key, DWORD index, EnumBuffers& buffers, std::wstring& name);

}  // namespace varneth
