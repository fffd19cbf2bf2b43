#include "jackknife/design.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ops.h"
#include "platform/random.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using Groups = std::vector<std::vector<std::size_t>>;
using Positions = std::vector<std::size_t>;
using Strings = std::vector<std::string>;

const Strings kGreek = {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta", "Eta", "Theta"};

void Seed(double s) {
  mlfNRand(0, Value::Text("state"), Value::Scalar(s));
}

class DesignTest : public ::testing::Test {
 protected:
  DesignTest() { ResetRandomToEntropy(); }
  ~DesignTest() override { ResetRandomToEntropy(); }
};

// The worked example of docs/random.md, "Groups with kept names".
TEST_F(DesignTest, KeptNamesAreSkippedAsTheDocumentShows) {
  Seed(42);
  const Design d = DrawDesign(8, KeptPositions(kGreek, {"Epsilon", "Beta"}, "greek.txt"), 3, 3);
  EXPECT_EQ(d.kept, (Positions{1, 4}));
  // Omittable: Alpha Gamma Delta Zeta Eta Theta. First permutation of 1..6 starts 4 2 3,
  // the second 5 3 4, the third 3 2 4.
  EXPECT_EQ(d.groups, (Groups{{2, 3, 5}, {3, 5, 6}, {2, 3, 5}}));
  EXPECT_EQ(d.omit, 3u);
  EXPECT_FALSE(d.each);
  EXPECT_EQ(CurrentRandomState().drawn, 3u);
}

TEST_F(DesignTest, WithoutKeptNamesTheGroupsAreTheGeneratorsOwn) {
  Seed(42);
  const Design d = DrawDesign(8, {}, 3, 3);
  EXPECT_EQ(d.groups, (Groups{{1, 2, 5}, {2, 4, 6}, {0, 2, 3}}));
  Seed(42);
  for (const auto& group : d.groups) {
    const Value drawn = mlfSort(mlfRandperm(Value::Scalar(8), Value::Scalar(3)));
    ASSERT_EQ(drawn.numel(), group.size());
    for (std::size_t j = 0; j < group.size(); ++j) EXPECT_EQ(drawn.num(j), double(group[j] + 1));
  }
}

TEST_F(DesignTest, EveryGroupMovesTheGeneratorOnOnce) {
  Seed(7);
  const Design empty_groups = DrawDesign(5, {}, 0, 4);
  EXPECT_EQ(empty_groups.groups, Groups(4));
  EXPECT_EQ(CurrentRandomState().drawn, 4u);
  const Design all = DrawDesign(5, {0, 4}, 3, 2);
  EXPECT_EQ(all.groups, (Groups{{1, 2, 3}, {1, 2, 3}}));
  EXPECT_EQ(CurrentRandomState().drawn, 6u);
  EXPECT_EQ(DrawDesign(0, {}, 0, 0).groups, Groups{});
}

TEST_F(DesignTest, BadCountsRaiseAndDrawNothing) {
  Seed(1);
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
  Seed(3);
  const Design d = LeaveOneOut(5, {0, 3});
  EXPECT_EQ(d.groups, (Groups{{1}, {2}, {4}}));
  EXPECT_TRUE(d.each);
  EXPECT_EQ(d.omit, 1u);
  EXPECT_EQ(d.kept, (Positions{0, 3}));
  EXPECT_EQ(CurrentRandomState().drawn, 0u);
  EXPECT_EQ(LeaveOneOut(2, {0, 1}).groups, Groups{});
}

TEST_F(DesignTest, LabelsAndFlags) {
  EXPECT_EQ(GroupLabel(1, 1), "group001");
  EXPECT_EQ(GroupLabel(42, 999), "group042");
  EXPECT_EQ(GroupLabel(999, 999), "group999");
  // From 1,000 groups on, every label is as wide as the last, so names sort as groups.
  EXPECT_EQ(GroupLabel(1, 1200), "group0001");
  EXPECT_EQ(GroupLabel(1000, 1000), "group1000");
  EXPECT_EQ(GroupLabel(7, 10000), "group00007");
  Design d;
  d.list_size = 4;
  d.groups = {{0, 2}, {}};
  EXPECT_EQ(OmittedFlags(d, 0), (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(OmittedFlags(d, 1), std::vector<bool>(4, false));
}

}  // namespace
}  // namespace dk
