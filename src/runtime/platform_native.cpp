// Native stand-ins for the checks-only build of the text runtime.
#include "runtime/platform.h"

#include <cstdio>
#include <cstdlib>

namespace varneth {
namespace {
ErrorBoxObserver g_errorBoxObserver = nullptr;
}  // namespace

void* PlatformAllocate(std::size_t size) { return std::calloc(size == 0 ? 1 : size, 1); }

void* PlatformResize(void* block, std::size_t size) {
  return std::realloc(block, size == 0 ? 1 : size);
}

void PlatformFree(void* block) { std::free(block); }

void PlatformShowErrorBox(const char* text, const char* caption) {
  if (g_errorBoxObserver != nullptr) g_errorBoxObserver(text, caption);
  std::fprintf(stderr, "[%s] %s\n", caption, text);
}

void SetErrorBoxObserver(ErrorBoxObserver observer) { g_errorBoxObserver = observer; }

}  // namespace varneth
