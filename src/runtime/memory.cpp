#include "runtime/memory.h"

#include "runtime/platform.h"
#include "runtime/program_end.h"

namespace varneth {

void* AllocateBlock(std::size_t size) {
  void* block = PlatformAllocate(size);
  if (block == nullptr) ReportOutOfMemory();
  return block;
}

void* ResizeBlock(void* block, std::size_t size) {
  if (block == nullptr) return PlatformAllocate(size);
  return PlatformResize(block, size);
}

void ReleaseBlock(void* block) {
  if (block != nullptr) PlatformFree(block);
}

}  // namespace varneth
