#include "jackknife/design.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/ops.h"
#include "runtime/random_values.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using Groups = std::vector<std::vector<std::size_t>>;
using Positions = std::vector<std::size_t>;
using Strings = std::vector<std::string>;

const Strings kGreek = {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta", "Eta", "Theta"};

class DesignTest : public ::testing::Test {
 protected:
  DesignTest() { ResetRandomToEntropy(); }
  ~DesignTest() override { ResetRandomToEntropy(); }
};

// The worked example of docs/random.md, "Groups with kept names".
TEST_F(DesignTest, KeptNamesAreSkippedAsTheDocumentShows) {
  RestartRandom(42);
  const Design d = DrawDesign(8, KeptPositions(kGreek, {"Epsilon", "Beta"}, "greek.txt"), 3, 3);
  EXPECT_EQ(d.kept, (Positions{1, 4}));
  // Omittable: Alpha Gamma Delta Zeta Eta Theta. First permutation of 1..6 starts 4 2 3,
  // the second 5 3 4, the third 3 2 4.
  EXPECT_EQ(d.groups, (Groups{{2, 3, 5}, {3, 5, 6}, {2, 3, 5}}));
  EXPECT_EQ(d.omit, 3u);
  EXPECT_EQ(d.draw, DrawMode::kRandom);
  EXPECT_EQ(CurrentRandomState().drawn, 3u);
}

TEST_F(DesignTest, WithoutKeptNamesTheGroupsAreTheGeneratorsOwn) {
  RestartRandom(42);
  const Design d = DrawDesign(8, {}, 3, 3);
  EXPECT_EQ(d.groups, (Groups{{1, 2, 5}, {2, 4, 6}, {0, 2, 3}}));
  RestartRandom(42);
  for (const auto& group : d.groups) {
    const Value drawn = mlfSort(mlfRandperm(Value::Scalar(8), Value::Scalar(3)));
    ASSERT_EQ(drawn.numel(), group.size());
    for (std::size_t j = 0; j < group.size(); ++j) EXPECT_EQ(drawn.num(j), double(group[j] + 1));
  }
}

TEST_F(DesignTest, EveryGroupMovesTheGeneratorOnOnce) {
  RestartRandom(7);
  const Design empty_groups = DrawDesign(5, {}, 0, 4);
  EXPECT_EQ(empty_groups.groups, Groups(4));
  EXPECT_EQ(CurrentRandomState().drawn, 4u);
  const Design all = DrawDesign(5, {0, 4}, 3, 2);
  EXPECT_EQ(all.groups, (Groups{{1, 2, 3}, {1, 2, 3}}));
  EXPECT_EQ(CurrentRandomState().drawn, 6u);
  EXPECT_EQ(DrawDesign(0, {}, 0, 0).groups, Groups{});
}

TEST_F(DesignTest, BadCountsRaiseAndDrawNothing) {
  RestartRandom(1);
  const RandomState before = CurrentRandomState();
  EXPECT_EQ(ErrorOf([] { DrawDesign(8, {}, 9, 1); }),
            "Cannot leave out 9 names per group: the list has only 8 names");
  EXPECT_EQ(ErrorOf([] {
              DrawDesign(8, {1, 4}, 7, 1);
            }),
            "Cannot leave out 7 names per group: only 6 of the list's 8 names may be left out "
            "(2 are kept)");
  EXPECT_EQ(ErrorOf([] { DrawDesign(8, {}, 2.5, 1); }),
            "The number of names to leave out per group must be one whole number from 0 to "
            "4294967295, not 2.5");
  EXPECT_EQ(ErrorOf([] { DrawDesign(8, {}, 1, -1); }),
            "The number of groups must be one whole number from 0 to 4294967295, not -1");
  EXPECT_EQ(ErrorOf([] { DrawDesign(8, {}, 1, 2000000); }),
            "Cannot draw 2000000 groups: at most 1000000 are allowed");
  EXPECT_EQ(ErrorOf([] { DrawDesign(100, {}, 100, 200000); }),
            "Cannot draw 200000 groups of 100: at most 10000000 names left out over all groups "
            "are allowed");
  EXPECT_EQ(CurrentRandomState(), before);
}

// docs/random.md, "Distinct groups": the third draw repeats the first and is skipped.
TEST_F(DesignTest, DistinctGroupsSkipRepeatsAsTheDocumentShows) {
  const Positions kept = KeptPositions(kGreek, {"Epsilon", "Beta"}, "greek.txt");
  RestartRandom(42);
  const Design d = DrawDesign(8, kept, 3, 3, DrawMode::kDistinct);
  EXPECT_EQ(d.groups, (Groups{{2, 3, 5}, {3, 5, 6}, {2, 6, 7}}));
  EXPECT_EQ(d.draw, DrawMode::kDistinct);
  EXPECT_EQ(CurrentRandomState().drawn, 4u);
  // All but one of the 20 groups of 3 from 6: each drawn once.
  RestartRandom(5);
  const Design most = DrawDesign(8, kept, 3, 19, DrawMode::kDistinct);
  EXPECT_EQ(Summarize(most).distinct, 19u);
  EXPECT_EQ(most.groups.size(), 19u);
}

TEST_F(DesignTest, DistinctGroupsMustExistAndBeFoundInBoundedTime) {
  RestartRandom(1);
  const RandomState before = CurrentRandomState();
  EXPECT_EQ(ErrorOf([] { DrawDesign(5, {}, 3, 12, DrawMode::kDistinct); }),
            "Only 10 distinct groups of 3 can be drawn from the 5 names that may be left out, and "
            "12 were asked; ask for fewer, or for every combination (--all-combinations)");
  EXPECT_EQ(ErrorOf([] {
              DrawDesign(6, {0, 1, 2, 3, 4}, 0, 2, DrawMode::kDistinct);
            }),
            "Only 1 distinct group of 0 can be drawn from the 1 name that may be left out, and 2 "
            "were asked; ask for fewer, or for every combination (--all-combinations)");
  EXPECT_EQ(ErrorOf([] { DrawDesign(5, {}, 3, 10, DrawMode::kDistinct); }),
            "Exactly 10 distinct groups of 3 can be drawn from the 5 names that may be left out, "
            "as many as were asked: ask for every combination (--all-combinations), which gives "
            "each once without drawing");
  // C(23, 10) = 1144066: a million of them take about 2370584 draws of 10 names.
  EXPECT_EQ(ErrorOf([] { DrawDesign(23, {}, 10, 1000000, DrawMode::kDistinct); }),
            "Drawing 1000000 distinct groups of 10 from the 23 names that may be left out, which "
            "form only 1144066, would take about 2370584 draws of 10 names, more than the "
            "20000000 names' draws allowed; ask for fewer groups, or for every combination "
            "(--all-combinations)");
  EXPECT_EQ(CurrentRandomState(), before);
  EXPECT_EQ(CombinationCount(5, 3), 10u);
  EXPECT_EQ(CombinationCount(5, 6), 0u);
  EXPECT_EQ(CombinationCount(0, 0), 1u);
  EXPECT_EQ(CombinationCount(64, 32), 1832624140942590534u);
  EXPECT_EQ(CombinationCount(66, 33), kCombinationsCap);
  EXPECT_EQ(CombinationCount(100000, 50000), kCombinationsCap);
}

// docs/random.md, "Balanced groups": the second group takes the first pass's last two
// names and the second pass's first two that it does not hold (5 is skipped).
TEST_F(DesignTest, BalancedGroupsAsTheDocumentShows) {
  RestartRandom(42);
  const Design d = DrawDesign(8, KeptPositions(kGreek, {"Epsilon", "Beta"}, "greek.txt"), 4, 3,
                              DrawMode::kBalanced);
  EXPECT_EQ(d.groups, (Groups{{2, 3, 5, 7}, {0, 3, 5, 6}, {0, 2, 6, 7}}));
  EXPECT_EQ(d.draw, DrawMode::kBalanced);
  EXPECT_EQ(CurrentRandomState().drawn, 2u);
  // Two whole passes and 11 names of a third, whose first entries alone are drawn.
  RestartRandom(1);
  EXPECT_EQ(DrawDesign(12, {}, 5, 7, DrawMode::kBalanced).groups, (Groups{{0, 1, 5, 8, 9},
                                                                          {4, 6, 7, 10, 11},
                                                                          {2, 3, 4, 8, 11},
                                                                          {2, 3, 5, 6, 10},
                                                                          {0, 1, 7, 9, 10},
                                                                          {2, 3, 5, 7, 8},
                                                                          {1, 4, 6, 9, 11}}));
  EXPECT_EQ(CurrentRandomState().drawn, 3u);
  RestartRandom(7);
  EXPECT_EQ(DrawDesign(10, {}, 3, 4, DrawMode::kBalanced).groups,
            (Groups{{2, 8, 9}, {1, 3, 4}, {0, 5, 7}, {0, 6, 8}}));
  EXPECT_EQ(DrawDesign(10, {}, 0, 4, DrawMode::kBalanced).groups, Groups(4));
  EXPECT_EQ(CurrentRandomState().drawn, 2u);  // empty groups draw nothing
}

TEST_F(DesignTest, BalancedGroupsLeaveEveryNameOutEquallyOftenWithinOne) {
  for (const auto& [n, kept, k, r] :
       std::vector<std::tuple<std::size_t, Positions, std::size_t, std::size_t>>{
           {7, {}, 3, 10}, {9, {0, 8}, 7, 5}, {12, {3}, 1, 30}, {6, {}, 6, 3}, {40, {}, 9, 13}}) {
    for (const double seed : {0.0, 3.0, 11.0}) {
      RestartRandom(seed);
      const Design d = DrawDesign(n, kept, double(k), double(r), DrawMode::kBalanced);
      std::vector<std::size_t> times(n, 0);
      for (const auto& group : d.groups) {
        ASSERT_EQ(group.size(), k);
        ASSERT_TRUE(std::is_sorted(group.begin(), group.end()));
        ASSERT_EQ(std::adjacent_find(group.begin(), group.end()), group.end());
        for (const std::size_t i : group) ++times[i];
      }
      const std::size_t m = n - kept.size(), least = k * r / m;
      for (std::size_t i = 0; i < n; ++i) {
        const bool is_kept = std::find(kept.begin(), kept.end(), i) != kept.end();
        EXPECT_TRUE(is_kept ? times[i] == 0 : times[i] == least || times[i] == least + 1)
            << n << " " << k << " " << r << " name " << i;
      }
      const DesignSummary s = Summarize(d);
      EXPECT_EQ(s.omitted_most - s.omitted_least, k * r % m == 0 ? 0u : 1u);
      EXPECT_EQ(CurrentRandomState().drawn, (k * r + m - 1) / m);  // one pass per m names
    }
  }
}

TEST_F(DesignTest, AllCombinationsInListOrderDrawNothing) {
  RestartRandom(3);
  const Design d = AllCombinations(5, {1}, 2);
  EXPECT_EQ(d.groups, (Groups{{0, 2}, {0, 3}, {0, 4}, {2, 3}, {2, 4}, {3, 4}}));
  EXPECT_EQ(d.draw, DrawMode::kAllCombinations);
  EXPECT_EQ(d.omit, 2u);
  EXPECT_EQ(AllCombinations(4, {}, 0).groups, Groups(1));
  EXPECT_EQ(AllCombinations(4, {2}, 3).groups, (Groups{{0, 1, 3}}));
  EXPECT_EQ(AllCombinations(20, {}, 10).groups.size(), 184756u);
  EXPECT_EQ(CurrentRandomState().drawn, 0u);
  EXPECT_EQ(ErrorOf([] { AllCombinations(100, {}, 4); }),
            "Every combination of 4 of the 100 names that may be left out makes 3921225 groups, "
            "more than the 1000000 allowed; draw some of them (--groups R, with --distinct for no "
            "repeats)");
  EXPECT_EQ(ErrorOf([] { AllCombinations(31, {}, 25); }),
            "Every combination of 25 of the 31 names that may be left out makes 736281 groups, "
            "and more than the 10000000 names left out over all groups that are allowed; draw "
            "some of them (--groups R, with --distinct for no repeats)");
  EXPECT_EQ(
      ErrorOf([] { AllCombinations(100000, {}, 50000); }),
      "Every combination of 50000 of the 100000 names that may be left out makes more than "
      "4611686018427387904 groups, more than the 1000000 allowed; draw some of them (--groups "
      "R, with --distinct for no repeats)");
  EXPECT_EQ(ErrorOf([] { AllCombinations(4, {0}, 4); }),
            "Cannot leave out 4 names per group: only 3 of the list's 4 names may be left out (1 "
            "are kept)");
}

TEST_F(DesignTest, KeptNamesAreFoundAtEveryPlace) {
  const Strings names = {"a", "b", "a", "c"};
  EXPECT_EQ(KeptPositions(names, {"a"}, "n.txt"), (Positions{0, 2}));
  EXPECT_EQ(KeptPositions(names, {"c", "b", "c"}, "n.txt"), (Positions{1, 3}));
  EXPECT_EQ(KeptPositions(names, {}, "n.txt"), Positions{});
  EXPECT_EQ(ErrorOf([&] {
              KeptPositions(names, {"b", "A"}, "n.txt");
            }),
            "The name \"A\" to keep is not in 'n.txt'");
}

TEST_F(DesignTest, LeaveOneOutTakesEachNameInTurnAndDrawsNothing) {
  RestartRandom(3);
  const Design d = LeaveOneOut(5, {0, 3});
  EXPECT_EQ(d.groups, (Groups{{1}, {2}, {4}}));
  EXPECT_EQ(d.draw, DrawMode::kLeaveOneOut);
  EXPECT_EQ(d.omit, 1u);
  EXPECT_EQ(d.kept, (Positions{0, 3}));
  EXPECT_EQ(CurrentRandomState().drawn, 0u);
  EXPECT_EQ(LeaveOneOut(2, {0, 1}).groups, Groups{});
}

}  // namespace
}  // namespace dk
