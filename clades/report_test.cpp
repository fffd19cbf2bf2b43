#include "clades/report.h"

#include <gtest/gtest.h>

#include "clades/tree_reader.h"

namespace dk::clades {
namespace {

TEST(Report, RatiosHaveThreeDecimalsRoundedHalfUp) {
  EXPECT_EQ(Ratio3(2, 3), "0.667");
  EXPECT_EQ(Ratio3(1, 3), "0.333");
  EXPECT_EQ(Ratio3(1, 8), "0.125");
  EXPECT_EQ(Ratio3(1, 16), "0.063");  // 0.0625 rounds up
  EXPECT_EQ(Ratio3(7, 7), "1.000");
  EXPECT_EQ(Ratio3(0, 5), "0.000");
  EXPECT_EQ(Ratio3(0, 0), "");
  EXPECT_EQ(Ratio3(1999, 2000), "1.000");
}

TEST(Report, InstabilityHasThreeDecimalsAndNoNegativeZero) {
  SupportResult result;
  result.names = {"A", "B", "C"};
  TaxonTests tests;
  tests.scores = {{1, 2, 1, 0.8336}, {0, 1, 0, -0.0001}, {2, 0, 0, 0}};
  EXPECT_EQ(InstabilityTable(result, tests),
            "taxon\tclades\tsignificant\tinstability\nB\t2\t1\t0.834\nA\t1\t0\t0.000\nC\t0\t0\t\n");
}

TEST(Report, PercentagesAreWholeNumbersRoundedHalfUp) {
  EXPECT_EQ(Percent(2, 3), "67");
  EXPECT_EQ(Percent(1, 8), "13");   // 12.5
  EXPECT_EQ(Percent(1, 200), "1");  // 0.5
  EXPECT_EQ(Percent(0, 0), "");
}

TEST(Report, NewickNamesAreQuotedOnlyWhenTheyMustBe) {
  EXPECT_EQ(NewickName("Homo_sapiens-2.1"), "Homo_sapiens-2.1");
  EXPECT_EQ(NewickName("Homo sapiens"), "'Homo sapiens'");
  EXPECT_EQ(NewickName("O'Brien (x)"), "'O''Brien (x)'");
  EXPECT_EQ(NewickName("a:b;c,d"), "'a:b;c,d'");
}

SupportResult Example() {
  SupportInput in;
  in.design.source = "d";
  in.design.names = {"A", "B", "C", "D", "E", "F'x"};
  in.design.names_complete = true;
  in.design.group_count_exact = true;
  in.design.groups = {{1}, {}};
  const auto trees =
      ReadTreeFiles({{"ref.tre", "((A:1,B:2)95:0.5,(C:1,D:1e-7)80/99:0.25,(E,'F''x'));"},
                     {"g.tre", "((A,C),D,(E,'F''x'));\n((A,B),(C,D),(E,'F''x'));"}},
                    {});
  in.reference = trees[0][0];
  in.groups = trees[1];
  return ComputeSupport(in);
}

TEST(Report, AnnotatedNewickKeepsLengthsAndLabelsTestableBranches) {
  const SupportResult r = Example();
  // (C,D) survived once in two, (E,F'x) twice; (A,B) was testable only in group 2.
  EXPECT_EQ(AnnotatedNewick(r), "((A:1,B:2)100:0.5,(C:1,D:1e-07)50:0.25,(E,'F''x')100);\n");
  EXPECT_EQ(AnnotatedNewick(r, LabelStyle::kCounts),
            "((A:1,B:2)1/1:0.5,(C:1,D:1e-07)1/2:0.25,(E,'F''x')2/2);\n");
  EXPECT_EQ(AnnotatedNewick(r, LabelStyle::kBoth),
            "((A:1,B:2)'100 (1/1)':0.5,(C:1,D:1e-07)'50 (1/2)':0.25,(E,'F''x')'100 (2/2)');\n");
}

TEST(Report, AnnotatedNewickReadsBackAsTheSameTree) {
  const SupportResult r = Example();
  const auto back = ReadTreeFiles({{"support.tre", AnnotatedNewick(r)}}, {})[0];
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].parent, r.shown.parent);
  EXPECT_EQ(back[0].label[back[0].size() - 1], "F'x");
  EXPECT_DOUBLE_EQ(back[0].length[6], 1e-7);  // D
}

TEST(Report, SupportTableNamesEachCladeWithoutTheFirstTaxon) {
  // With the reference's branch lengths and its own support labels, empty where none.
  EXPECT_EQ(SupportTable(Example()),
            "taxa\ttestable\tsurvived\tsurvival\tbranch_length\treference_support\n"
            "C,D\t2\t1\t0.500\t0.25\t80/99\n"
            "E,F'x\t2\t2\t1.000\t\t\n"
            "C,D,E,F'x\t1\t1\t1.000\t0.5\t95\n");
}

}  // namespace
}  // namespace dk::clades
