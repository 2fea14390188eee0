// A growable byte buffer that keeps short results off the heap: all builders
// of the process share a pool of 96 blocks of 512 bytes.
#pragma once

#include <cstdint>

namespace varneth {

class TextBuilder {
 public:
  static constexpr int kPoolBlocks = 96;
  static constexpr std::int32_t kPoolBlockSize = 512;

  TextBuilder() = default;
  TextBuilder(const TextBuilder&) = delete;
  TextBuilder& operator=(const TextBuilder&) = delete;
  ~TextBuilder();

  // Appends `count` bytes from `source`, or zeros when source is nullptr.
  // Nothing happens for a count of 0 or less. When the heap refuses the
  // room, the builder stays as it was and the bytes are dropped.
  void Append(const void* source, std::int32_t count);

  const char* Data() const { return block_; }
  std::int32_t Used() const { return used_; }
  std::int32_t Capacity() const { return capacity_; }
  bool HoldsPoolBlock() const { return poolIndex_ >= 0; }

  // Pool blocks in use by all builders of the process.
  static int PoolBlocksInUse();

 private:
  bool MakeRoom(std::int32_t need);

  char* block_ = nullptr;
  std::int32_t capacity_ = 0;
  std::int32_t used_ = 0;
  int poolIndex_ = -1;
};

}  // namespace varneth
