#include "runtime/platform.h"

#include <windows.h>

namespace varneth {
namespace {

ErrorBoxObserver g_errorBoxObserver = nullptr;

// Looked up once: every value of the program lives on the process heap.
HANDLE ProcessHeap() {
  static const HANDLE heap = GetProcessHeap();
  return heap;
}

}  // namespace

void* PlatformAllocate(std::size_t size) {
  return HeapAlloc(ProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void* PlatformResize(void* block, std::size_t size) {
  return HeapReAlloc(ProcessHeap(), 0, block, size);
}

void PlatformFree(void* block) { HeapFree(ProcessHeap(), 0, block); }

void PlatformShowErrorBox(const char* text, const char* caption) {
  if (g_errorBoxObserver != nullptr) g_errorBoxObserver(text, caption);
  MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR);
}

void SetErrorBoxObserver(ErrorBoxObserver observer) { g_errorBoxObserver = observer; }

}  // namespace varneth
