#include "base/small_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

namespace dk {
namespace {

TEST(SmallPool, BlocksAreAlignedDistinctAndReusedAfterFree) {
  SmallPool pool;
  std::vector<void*> blocks;
  std::set<std::uintptr_t> seen;
  for (std::size_t bytes = 1; bytes <= SmallPool::kMaxBytes; ++bytes) {
    for (int i = 0; i < 100; ++i) {
      void* p = pool.Allocate(bytes);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 8, 0u);
      EXPECT_TRUE(seen.insert(reinterpret_cast<std::uintptr_t>(p)).second) << bytes;
      std::memset(p, static_cast<int>(bytes), bytes);  // the whole block is usable
      blocks.push_back(p);
    }
  }
  // Blocks of one size never overlap those of another: each still holds its own byte.
  std::size_t index = 0;
  for (std::size_t bytes = 1; bytes <= SmallPool::kMaxBytes; ++bytes) {
    for (int i = 0; i < 100; ++i, ++index) {
      const auto* b = static_cast<const unsigned char*>(blocks[index]);
      for (std::size_t j = 0; j < bytes; ++j) ASSERT_EQ(b[j], bytes);
    }
  }
  // A freed block comes back for the next request of its size class.
  void* p = pool.Allocate(24);
  pool.Free(p, 24);
  EXPECT_EQ(pool.Allocate(20), p);
}

TEST(SmallPool, SlabsGrowGeometricallyAndStopAtTwoMebibytes) {
  SmallPool pool;
  // Two million blocks of 16 bytes: 32 MB in slabs of 64 KiB doubling to 2 MiB, so a few
  // dozen slabs, never one per block.
  for (int i = 0; i < 2'000'000; ++i) pool.Allocate(16);
  EXPECT_GE(pool.slab_bytes(), 32'000'000u);
  EXPECT_LT(pool.slab_bytes(), 32'000'000u + 2 * 2 * 1024 * 1024);
}

TEST(SmallPool, FreedBlocksAreTakenInLastInFirstOutOrder) {
  SmallPool pool;
  void* a = pool.Allocate(64);
  void* b = pool.Allocate(64);
  pool.Free(a, 64);
  pool.Free(b, 64);
  EXPECT_EQ(pool.Allocate(64), b);
  EXPECT_EQ(pool.Allocate(64), a);
}

}  // namespace
}  // namespace dk
