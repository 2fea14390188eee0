// Memory blocks behind every text and byte buffer.
#pragma once

#include <cstddef>

namespace varneth {

// A new zero-filled block. An exhausted heap is fatal: the out-of-memory box
// is shown and the program ends, so callers never see a failed allocation.
void* AllocateBlock(std::size_t size);

// Resizes a block (or makes a new zero-filled one for nullptr), keeping its
// contents; the new tail is not cleared. Failure gives nullptr, unreported,
// and leaves the old block as it was.
void* ResizeBlock(void* block, std::size_t size);

// Gives a block back to the heap; nothing for nullptr.
void ReleaseBlock(void* block);

}  // namespace varneth
