#include "design/design.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dk {
namespace {

TEST(DesignTypeTest, SummaryCountsDistinctGroupsAndTimesLeftOut) {
  Design d;
  d.list_size = 4;
  d.kept = {3};
  d.groups = {{0, 2}, {1, 2}, {0, 2}};
  const DesignSummary s = Summarize(d);
  EXPECT_EQ(s.groups, 3u);
  EXPECT_EQ(s.distinct, 2u);
  EXPECT_EQ(s.omitted_least, 1u);
  EXPECT_EQ(s.omitted_most, 3u);
  EXPECT_EQ(SummaryLine(d),
            "design: 3 groups, 2 distinct; each taxon not kept left out 1 to 3 times\n");
  d.kept.clear();
  EXPECT_EQ(SummaryLine(d), "design: 3 groups, 2 distinct; each taxon left out 0 to 3 times\n");
  d.groups = {{0, 1, 2, 3}};
  EXPECT_EQ(SummaryLine(d), "design: 1 group, 1 distinct; each taxon left out once\n");
  d.groups.clear();
  EXPECT_EQ(SummaryLine(d), "design: 0 groups, 0 distinct; each taxon left out 0 times\n");
  d.kept = {0, 1, 2, 3};
  d.groups = {{}, {}};
  EXPECT_EQ(SummaryLine(d), "design: 2 groups, 1 distinct; no taxon may be left out\n");
}

TEST(DesignTypeTest, LabelsAndFlags) {
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
