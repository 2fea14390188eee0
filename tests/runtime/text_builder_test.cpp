#include "runtime/text_builder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace varneth {
namespace {

TEST(TextBuilder, ShortResultsUseThePool) {
  const int before = TextBuilder::PoolBlocksInUse();
  {
    TextBuilder builder;
    builder.Append("abc", 3);
    EXPECT_TRUE(builder.HoldsPoolBlock());
    EXPECT_EQ(builder.Capacity(), 512);
    EXPECT_EQ(TextBuilder::PoolBlocksInUse(), before + 1);
    builder.Append(nullptr, 509);  // exactly fills the block, with zeros
    EXPECT_TRUE(builder.HoldsPoolBlock());
    EXPECT_EQ(builder.Used(), 512);
    EXPECT_EQ(builder.Data()[3], '\0');
  }
  EXPECT_EQ(TextBuilder::PoolBlocksInUse(), before);
}

TEST(TextBuilder, MovesToTheHeapWithItsBytesAndFreesThePoolBlock) {
  const int before = TextBuilder::PoolBlocksInUse();
  TextBuilder builder;
  const std::string first(500, 'x');
  builder.Append(first.data(), 500);
  builder.Append("0123456789abcdef", 16);
  EXPECT_FALSE(builder.HoldsPoolBlock());
  EXPECT_EQ(builder.Capacity(), 516 + 128);
  EXPECT_EQ(TextBuilder::PoolBlocksInUse(), before);
  EXPECT_EQ(std::string(builder.Data(), 516), first + "0123456789abcdef");
  builder.Append(nullptr, 100);  // still fits in the slack
  EXPECT_EQ(builder.Capacity(), 516 + 128);
  builder.Append(nullptr, 100);  // does not
  EXPECT_EQ(builder.Capacity(), 716 + 128);
}

TEST(TextBuilder, FirstRequestAbove512GoesStraightToTheHeap) {
  const int before = TextBuilder::PoolBlocksInUse();
  TextBuilder builder;
  builder.Append(nullptr, 513);
  EXPECT_FALSE(builder.HoldsPoolBlock());
  EXPECT_EQ(builder.Capacity(), 513 + 128);
  EXPECT_EQ(TextBuilder::PoolBlocksInUse(), before);
}

TEST(TextBuilder, AFullPoolSendsBuildersToTheHeap) {
  std::vector<std::unique_ptr<TextBuilder>> holders;
  while (TextBuilder::PoolBlocksInUse() < TextBuilder::kPoolBlocks) {
    holders.push_back(std::make_unique<TextBuilder>());
    holders.back()->Append("a", 1);
    ASSERT_TRUE(holders.back()->HoldsPoolBlock());
  }
  TextBuilder overflow;
  overflow.Append("b", 1);
  EXPECT_FALSE(overflow.HoldsPoolBlock());
  EXPECT_EQ(overflow.Capacity(), 1 + 128);
  EXPECT_EQ(overflow.Data()[0], 'b');

  holders[40].reset();  // a freed block is found again, wherever it is
  TextBuilder reuse;
  reuse.Append("c", 1);
  EXPECT_TRUE(reuse.HoldsPoolBlock());
}

TEST(TextBuilder, NothingHappensForEmptyAppendsOrRefusedRoom) {
  TextBuilder builder;
  builder.Append("a", 0);
  builder.Append("a", -5);
  EXPECT_EQ(builder.Data(), nullptr);
  EXPECT_EQ(builder.Used(), 0);
  builder.Append("ab", 2);
  // A 32-bit process's heap cannot give 2 GiB: the bytes are dropped. A
  // 64-bit one (the test build on hosts without 32-bit support) can.
  if (sizeof(void*) == 4) {
    builder.Append(nullptr, 0x7F000000);
    EXPECT_EQ(builder.Used(), 2);
  }
  EXPECT_EQ(std::string(builder.Data(), 2), "ab");
}

}  // namespace
}  // namespace varneth
