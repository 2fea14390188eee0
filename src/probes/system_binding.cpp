#include "probes/system_binding.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/platform.h"
#include "runtime/program_end.h"
#include "runtime/program_texts.h"

namespace varneth {
namespace {

constexpr int kMaxLoadedLibraries = 100;
constexpr char kKernel32[] = "kernel32";
constexpr char kNtdll[] = "ntdll";

HMODULE g_loadedLibraries[kMaxLoadedLibraries];
int g_loadedLibraryCount = 0;
int g_bindingCount = 0;

BindingSlot g_getVersionExA{kKernel32, "GetVersionExA", nullptr};
BindingSlot g_lstrlenW{kKernel32, "lstrlenW", nullptr};
BindingSlot g_rtlMoveMemory{kKernel32, "RtlMoveMemory", nullptr};
BindingSlot g_ntDeleteKey{kNtdll, "NtDeleteKey", nullptr};
BindingSlot g_rtlNtStatusToDosError{kNtdll, "RtlNtStatusToDosError", nullptr};

[[noreturn]] void ReportBindingFailure(const char* text) {
  PlatformShowErrorBox(text, texts::kDllErrorCaption);
  EndProgram(0);
}

HMODULE FindModule(const char* moduleName) {
  if (HMODULE module = GetModuleHandleA(moduleName)) return module;
  HMODULE module = LoadLibraryA(moduleName);
  if (module == nullptr) {
    char text[1024];
    std::snprintf(text, sizeof text, texts::kMissingModuleFormat, moduleName);
    ReportBindingFailure(text);
  }
  if (g_loadedLibraryCount < kMaxLoadedLibraries) {
    if (g_loadedLibraryCount == 0) SetModuleRelease(ReleaseLoadedLibraries);
    g_loadedLibraries[g_loadedLibraryCount++] = module;
  }
  return module;
}

// "#<number>": leading white space, an optional sign, then digits up to the
// first non-digit; no digits reads as 0.
long ParseOrdinal(const char* text) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = (*text++ == '-');
  long value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)) && value <= 0xFFFFF; ++text) {
    value = value * 10 + (*text - '0');
  }
  return negative ? -value : value;
}

FARPROC FindFunction(HMODULE module, const char* functionName) {
  if (functionName[0] == '#') {
    const long ordinal = ParseOrdinal(functionName + 1);
    // Only 16-bit numbers are ordinals; anything else would be read as a
    // name pointer by the platform.
    if (ordinal < 0 || ordinal > 0xFFFF) return nullptr;
    return GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal)));
  }
  std::string name = functionName;
  const std::size_t at = name.find('@');
  if (at != std::string::npos && at + 1 < name.size() && name[at + 1] == '@') name.resize(at);
  return GetProcAddress(module, name.c_str());
}

}  // namespace

FARPROC BindSystemFunction(const char* moduleName, const char* functionName, FARPROC* slot) {
  ++g_bindingCount;
  const HMODULE module = FindModule(moduleName);
  const FARPROC address = FindFunction(module, functionName);
  if (address == nullptr) {
    char text[1024];
    std::snprintf(text, sizeof text, texts::kMissingFunctionFormat, moduleName, functionName);
    ReportBindingFailure(text);
  }
  *slot = address;
  return address;
}

FARPROC FindOptionalFunction(const char* moduleName, const char* functionName) {
  const HMODULE module = GetModuleHandleA(moduleName);
  return module != nullptr ? GetProcAddress(module, functionName) : nullptr;
}

BOOL BoundGetVersionExA(OSVERSIONINFOA* info) {
  using Function = BOOL(WINAPI*)(OSVERSIONINFOA*);
  return ThroughSlot<Function>(g_getVersionExA)(info);
}

int BoundLstrlenW(LPCWSTR text) {
  using Function = int(WINAPI*)(LPCWSTR);
  return ThroughSlot<Function>(g_lstrlenW)(text);
}

void BoundRtlMoveMemory(void* destination, const void* source, SIZE_T count) {
  using Function = void(WINAPI*)(void*, const void*, SIZE_T);
  ThroughSlot<Function>(g_rtlMoveMemory)(destination, source, count);
}

LONG BoundDeleteKeyByHandle(HANDLE key) {
  using DeleteKey = LONG(WINAPI*)(HANDLE);
  using ToDosError = ULONG(WINAPI*)(LONG);
  const LONG status = ThroughSlot<DeleteKey>(g_ntDeleteKey)(key);
  if (status == 0) return ERROR_SUCCESS;
  return static_cast<LONG>(ThroughSlot<ToDosError>(g_rtlNtStatusToDosError)(status));
}

void SetBoundNtDeleteKey(FARPROC standIn) { g_ntDeleteKey.address = standIn; }

int LoadedLibraryCount() { return g_loadedLibraryCount; }

HMODULE LoadedLibrary(int index) {
  return (index >= 0 && index < g_loadedLibraryCount) ? g_loadedLibraries[index] : nullptr;
}

void ReleaseLoadedLibraries() {
  for (int i = 0; i < g_loadedLibraryCount; ++i) FreeLibrary(g_loadedLibraries[i]);
  g_loadedLibraryCount = 0;
}

int BindingCount() { return g_bindingCount; }

}  // namespace varneth
