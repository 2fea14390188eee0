#include "runtime/text_builder.h"

#include <cstdint>
#include <cstring>

#include "runtime/platform.h"

namespace varneth {
namespace {

// Heap blocks carry this much room beyond the need, so appends in a row do
// not resize every time; one that has grown more than kMaxSlack too large is
// shrunk again.
constexpr std::int32_t kSlack = 128;
constexpr std::int32_t kMaxSlack = 256;

char g_poolBlocks[TextBuilder::kPoolBlocks][TextBuilder::kPoolBlockSize];
bool g_poolBlockInUse[TextBuilder::kPoolBlocks];
int g_poolBlocksInUse = 0;

int TakePoolBlock() {
  if (g_poolBlocksInUse >= TextBuilder::kPoolBlocks) return -1;
  for (int i = 0; i < TextBuilder::kPoolBlocks; ++i) {
    if (!g_poolBlockInUse[i]) {
      g_poolBlockInUse[i] = true;
      ++g_poolBlocksInUse;
      return i;
    }
  }
  return -1;
}

void GivePoolBlockBack(int index) {
  g_poolBlockInUse[index] = false;
  --g_poolBlocksInUse;
}

}  // namespace

TextBuilder::~TextBuilder() {
  if (poolIndex_ >= 0) {
    GivePoolBlockBack(poolIndex_);
  } else if (block_ != nullptr) {
    PlatformFree(block_);
  }
}

int TextBuilder::PoolBlocksInUse() { return g_poolBlocksInUse; }

bool TextBuilder::MakeRoom(std::int32_t need) {
  if (block_ == nullptr) {
    if (need <= kPoolBlockSize) {
      const int index = TakePoolBlock();
      if (index >= 0) {
        poolIndex_ = index;
        block_ = g_poolBlocks[index];
        capacity_ = kPoolBlockSize;
        return true;
      }
    }
    char* heapBlock = static_cast<char*>(PlatformAllocate(static_cast<std::size_t>(need) + kSlack));
    if (heapBlock == nullptr) return false;
    block_ = heapBlock;
    capacity_ = need + kSlack;
    return true;
  }
  if (poolIndex_ >= 0) {
    if (need <= capacity_) return true;
    char* heapBlock = static_cast<char*>(PlatformAllocate(static_cast<std::size_t>(need) + kSlack));
    if (heapBlock == nullptr) return false;
    std::memcpy(heapBlock, block_, static_cast<std::size_t>(used_));
    GivePoolBlockBack(poolIndex_);
    poolIndex_ = -1;
    block_ = heapBlock;
    capacity_ = need + kSlack;
    return true;
  }
  if (need <= capacity_ && capacity_ - need <= kMaxSlack) return true;
  char* resized = static_cast<char*>(PlatformResize(block_, static_cast<std::size_t>(need) + kSlack));
  if (resized == nullptr) return false;
  block_ = resized;
  capacity_ = need + kSlack;
  return true;
}

void TextBuilder::Append(const void* source, std::int32_t count) {
  if (count <= 0) return;
  // Sizes stay below 2 GiB less the slack, so no size arithmetic overflows.
  if (count > INT32_MAX - kSlack - used_) return;
  const std::int32_t need = used_ + count;
  if (!MakeRoom(need)) return;
  if (source != nullptr) {
    std::memcpy(block_ + used_, source, static_cast<std::size_t>(count));
  } else {
    std::memset(block_ + used_, 0, static_cast<std::size_t>(count));
  }
  used_ = need;
}

}  // namespace varneth
