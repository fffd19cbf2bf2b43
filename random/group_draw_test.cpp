#include "random/group_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "testing/random_reference.h"

namespace dk {
namespace {

using test::ForEachVectorTarget;
using test::ReferencePermutation;
using test::ReferencePrefix;
using Entries = std::vector<std::uint64_t>;

struct Drawn {
  Entries prefix, sorted;
};

Drawn Draw(GroupDrawer& drawer, PhiloxKey key, std::uint64_t p, std::uint64_t n, std::uint64_t k) {
  std::vector<double> prefix(k), sorted(k);
  drawer.Draw(key, p, n, k, prefix.data(), sorted.data());
  return {Entries(prefix.begin(), prefix.end()), Entries(sorted.begin(), sorted.end())};
}

// Draws group p of (n, k) and compares it, and its sorted copy, with the reference.
void ExpectReference(GroupDrawer& drawer, PhiloxKey key, std::uint64_t p, std::uint64_t n,
                     std::uint64_t k, const std::string& where) {
  const Drawn drawn = Draw(drawer, key, p, n, k);
  Entries expected = ReferencePrefix(key.k0, key.k1, p, n, k);
  ASSERT_EQ(drawn.prefix, expected) << where << ": n " << n << " k " << k << " p " << p;
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(drawn.sorted, expected) << where << ": sorted, n " << n << " k " << k << " p " << p;
}

TEST(GroupDrawTest, TheReferenceItselfAgreesWithTheFullShuffle) {
  for (std::uint64_t n : {0u, 1u, 2u, 5u, 40u}) {
    const Entries full = ReferencePermutation(42, 0, 3, n);
    for (std::uint64_t k = 0; k <= n; ++k) {
      EXPECT_EQ(ReferencePrefix(42, 0, 3, n, k),
                Entries(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(k)));
    }
  }
  EXPECT_EQ(ReferencePermutation(42, 0, 0, 5), Entries({4, 2, 3, 5, 1}));  // docs/random.md
}

// Groups of one block of steps, one step short of it, one past it and several blocks,
// each from a long list (hash table), a list one longer (array) and a whole
// permutation, on the vector and the plain paths.
TEST(GroupDrawTest, EveryBlockSizeOnEveryPath) {
  constexpr std::uint64_t kBlock = GroupDrawer::kBlockSteps;
  const std::uint64_t sizes[] = {1, 2, kBlock - 1, kBlock, kBlock + 1, 3 * kBlock + 5};
  ForEachVectorTarget([&](const char* target) {
    GroupDrawer drawer;
    for (const std::uint64_t k : sizes) {
      for (const std::uint64_t n : {k, k + 1, std::uint64_t{1000003}}) {
        for (const std::uint64_t p : {0u, 9u}) ExpectReference(drawer, {5, 0}, p, n, k, target);
      }
    }
  });
}

TEST(GroupDrawTest, EitherSideOfTheArrayToTableSwitch) {
  GroupDrawer drawer;
  for (const std::uint64_t k : {1u, 2u, 5u, 64u, 300u}) {
    const std::uint64_t limit = GroupDrawer::DenseLimit(k);
    ASSERT_GE(limit, k);
    for (const std::uint64_t n : {limit - 1, limit, limit + 1, limit + 2}) {
      if (n < k) continue;
      for (const std::uint64_t p : {0u, 1u, 2u}) {
        ExpectReference(drawer, {0xFFFFFFFFFFFFFFF9, 0}, p, n, k, "switch");
      }
    }
  }
}

// Larger groups get a sparser table, and huge ones take the array only for shorter lists
// (bounding its memory): both sides of each size switch.
TEST(GroupDrawTest, LargeGroupsOnEitherSideOfTheirSwitches) {
  GroupDrawer drawer;
  for (const std::uint64_t k : {std::uint64_t{2048}, std::uint64_t{2049}}) {
    ExpectReference(drawer, {8, 0}, 1, 10000000, k, "table size");
  }
  const std::uint64_t huge = (std::uint64_t{1} << 18) + 1;
  const std::uint64_t limit = GroupDrawer::DenseLimit(huge);
  EXPECT_LT(limit, 12 * huge);
  for (const std::uint64_t n : {limit, limit + 1})
    ExpectReference(drawer, {8, 0}, 2, n, huge, "huge");
}

// Short lists are sorted through a bitmap, small groups by rank and the others by radix
// in one to five passes: sizes on both sides of each switch, and lists whose length is
// a power of two or just past one (the top digit barely used).
TEST(GroupDrawTest, SortedCopiesOfEveryShape) {
  GroupDrawer drawer;
  for (const std::uint64_t k : {0u, 1u, 2u, 3u, 16u, 17u, 50u, 513u}) {
    for (const std::uint64_t n :
         {k, k + 1, 2 * k + 1, 15 * k + 3, 16 * k, 16 * k + 1, 17 * k + 5, 64 * k + 7,
          std::uint64_t{1} << 20, (std::uint64_t{1} << 20) + 1, std::uint64_t{1} << 53}) {
      if (n < k) continue;
      ExpectReference(drawer, {3, 1}, 4, n, k, "sort");
    }
  }
}

TEST(GroupDrawTest, TheDocumentedRejection) {
  GroupDrawer drawer;
  const std::uint64_t n = 9005000768225311;
  const Drawn drawn = Draw(drawer, {42, 0}, 0, n, 4032);
  EXPECT_EQ(Entries(drawn.prefix.begin() + 4029, drawn.prefix.end()),
            Entries({4004910718218874, 752389415454862, 140667666064542}));
  EXPECT_EQ(drawn.prefix, ReferencePrefix(42, 0, 0, n, 4032));
  // The same group on every path, and when the rejected step is the group's last.
  ForEachVectorTarget([&](const char* target) {
    GroupDrawer fresh;
    EXPECT_EQ(Draw(fresh, {42, 0}, 0, n, 4032).prefix, drawn.prefix) << target;
  });
  EXPECT_EQ(Draw(drawer, {42, 0}, 0, n, 4031).prefix,
            Entries(drawn.prefix.begin(), drawn.prefix.begin() + 4031));
}

TEST(GroupDrawTest, HugeListsCostOnlyTheGroup) {
  GroupDrawer drawer;
  EXPECT_EQ(Draw(drawer, {42, 0}, 0, std::uint64_t{1} << 53, 5).prefix,
            Entries({5890151530535188, 703428593865640, 288616138113449, 8119781846699811,
                     7717515068679869}));
}

// The table is reused from group to group without clearing; thousands of groups (its
// group counter wraps) and changes of size must never let an old group's entries
// through.
TEST(GroupDrawTest, OneDrawerServesGroupAfterGroup) {
  GroupDrawer drawer;
  for (std::uint64_t p = 0; p < 2100; ++p) {
    ExpectReference(drawer, {11, 0}, p, 1000, 3, "reuse");
    if (p % 500 == 7) {
      ExpectReference(drawer, {11, 0}, p, 5000000, 700, "resize");
      ExpectReference(drawer, {11, 0}, p, 40, 20, "dense");
    }
  }
}

}  // namespace
}  // namespace dk
