#include "probes/account_sid.h"

#include <windows.h>
// After windows.h, which it relies on.
#include <sddl.h>

#include "probes/local_memory.h"
#include "probes/system_binding.h"

namespace varneth {
namespace {

constexpr UINT kSimplifiedChinese = 936;
constexpr std::int32_t kFirstSidRoom = 255;

}  // namespace

Text GetAccountSidText(TextRef accountName) {
  // The first lookup only asks for the sizes of the SID and the domain name.
  ByteBuffer sid = BlankBytes(kFirstSidRoom);
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use;
  LookupAccountNameA(nullptr, accountName.Bytes(), sid.Data(), &sidSize, nullptr, &domainSize, &use);

  Text domain = BlankText(static_cast<std::int32_t>(domainSize));
  sid = BlankBytes(static_cast<std::int32_t>(sidSize));
  LookupAccountNameA(nullptr, accountName.Bytes(), sid.Data(), &sidSize, domain.Data(), &domainSize,
                     &use);
  if (BytesLength(sid) == 0 || !IsValidSid(sid.Data())) return Text();

  LocalMemory<WCHAR> wideSid;
  if (!ConvertSidToStringSidW(sid.Data(), wideSid.Put())) return Text();
  const int units = BoundLstrlenW(wideSid.Get());
  if (units <= 0) return Text();
  const auto byteCount = static_cast<std::int32_t>(units * 2.0);
  ByteBuffer bytes = BlankBytes(byteCount);
  BoundRtlMoveMemory(bytes.Data(), wideSid.Get(), static_cast<SIZE_T>(byteCount));
  return WideBytesToText(bytes);
}

Text WideBytesToText(const ByteBuffer& wideBytes) {
  const auto units = static_cast<int>(BytesLength(wideBytes) / 2.0);
  const auto* wide = reinterpret_cast<LPCWCH>(wideBytes.Data());
  const int size = units > 0 ? WideCharToMultiByte(kSimplifiedChinese, 0, wide, units, nullptr, 0,
                                                   nullptr, nullptr)
                             : 0;
  Text text = BlankText(size);
  if (size > 0) {
    WideCharToMultiByte(kSimplifiedChinese, 0, wide, units, text.Data(), size, nullptr, nullptr);
  }
  return CopyText(text);
}

}  // namespace varneth
