#include "clades/support.h"

#include <gtest/gtest.h>

#include "clades/report.h"
#include "clades/tree_reader.h"
#include "testing/test_support.h"

namespace dk::clades {
namespace {

using dk::test::ErrorOf;

Tree Parse(const std::string& newick, const std::string& file = "t.tre") {
  return ReadTreeFiles({{file, newick}}, {})[0].at(0);
}

// A design over A..F whose groups leave out the given taxa (by index).
Design MakeDesign(std::vector<std::vector<std::size_t>> omitted) {
  Design d;
  d.source = "d.json";
  d.names = {"A", "B", "C", "D", "E", "F"};
  d.names_complete = true;
  d.group_count_exact = true;
  d.groups = std::move(omitted);
  return d;
}

SupportInput Input(std::vector<std::vector<std::size_t>> omitted,
                   const std::vector<std::string>& groups) {
  SupportInput in;
  in.design = MakeDesign(std::move(omitted));
  in.reference = Parse("((A,B),(C,D),(E,F));", "ref.tre");
  for (std::size_t g = 0; g < groups.size(); ++g) in.groups.push_back(Parse(groups[g], "g.tre"));
  return in;
}

TEST(Support, CountsTheWorkedExampleOfTheDocs) {
  // The example of docs/support.md: group 1 leaves out B, group 2 leaves out E and F.
  SupportInput in = Input({{1}, {4, 5}}, {"((A,C),D,(E,F));", "((A,B),C,D);"});
  in.keep_outcomes = true;
  const SupportResult r = ComputeSupport(in);
  EXPECT_EQ(AnnotatedNewick(r), "((A,B)100,(C,D)50,(E,F)100);\n");
  EXPECT_EQ(ByTaxonTable(r, ByTaxon(r)).substr(ByTaxonTable(r, {}).size()),
            "B\tC,D\t1\t1\t1.000\t1\t0\t0.000\n");
  EXPECT_EQ(SupportTable(r),
            "taxa\ttestable\tsurvived\tsurvival\tbranch_length\n"
            "C,D\t2\t1\t0.500\t\n"
            "E,F\t1\t1\t1.000\t\n"
            "C,D,E,F\t1\t1\t1.000\t\n");
  // Every table derives from the outcomes: group 1 lacks B, group 2 lacks E and F.
  EXPECT_EQ(OutcomesTable(r), "taxa\t1\t2\nC,D\t0\t1\nE,F\t1\t\nC,D,E,F\t\t1\n");
}

TEST(Support, DropkitThreadsSetsTheThreadsAndNoResult) {
  SupportInput in = Input({{1}, {4, 5}, {0}, {2}}, {"((A,C),D,(E,F));", "((A,B),C,D);",
                                                    "(B,(C,D),(E,F));", "(A,B,(D,(E,F)));"});
  std::string tables[2];
  for (int k = 0; k < 2; ++k) {
    dk::test::TestEnv env;
    env.variables["DROPKIT_THREADS"] = k == 0 ? "1" : "3";
    tables[k] = OutcomesTable(ComputeSupport(in)) + SupportTable(ComputeSupport(in));
  }
  EXPECT_EQ(tables[0], tables[1]);
  dk::test::TestEnv env;
  env.variables["DROPKIT_THREADS"] = "0";
  EXPECT_NE(ErrorOf([&] { ComputeSupport(in); }).find("DROPKIT_THREADS"), std::string::npos);
}

TEST(Support, ABranchAtOrBelowTheCollapseLengthIsNoCladeInAnyTree) {
  SupportInput in = Input({{0}, {1}}, {"((B,C):0,D,(E,F):1);", "((A,C):1,D,(E,F):1e-9);"});
  in.reference = Parse("((A,B):0.5,(C,D):1e-6,(E,F):2e-6);", "ref.tre");
  in.collapse_below = 1e-6;
  const SupportResult r = ComputeSupport(in);
  // (C,D) is gone from the reference; (E,F) survived in group 1, and is collapsed in
  // group 2's tree, so it fell there.
  EXPECT_EQ(SupportTable(r),
            "taxa\ttestable\tsurvived\tsurvival\tbranch_length\n"
            "E,F\t2\t1\t0.500\t2e-06\n"
            "C,D,E,F\t0\t0\t\t0.5\n");
  in.collapse_below = -1;
  EXPECT_EQ(ComputeSupport(in).clades.sets.size(), 3u);
}

TEST(Support, SeveralOutgroupTaxaRootTheTreesWhereTheyStandTogether) {
  SupportInput in =
      Input({{}, {}, {4}}, {"((A,B),(C,D),(E,F));", "((A,E),(C,D),(B,F));", "((A,B),(C,D),F);"});
  in.outgroup = {"E", "F"};
  const SupportResult r = ComputeSupport(in);
  // Group 2 splits E from F: nothing is testable there. The ingroup A,B,C,D, which the
  // rooting makes by itself, is never testable; a clade needs an ingroup taxon beside it.
  EXPECT_EQ(SupportTable(r),
            "taxa\ttestable\tsurvived\tsurvival\tbranch_length\n"
            "A,B\t2\t2\t1.000\t\n"
            "C,D\t2\t2\t1.000\t\n"
            "A,B,C,D\t0\t0\t\t\n");
  in.groups[0] = Parse("((A,B),E,F);");  // group 1 now lacks C and D
  in.design.groups[0] = {2, 3};
  EXPECT_EQ(ComputeSupport(in).testable, (std::vector<std::size_t>{1, 1, 0}));
  // Shown rooted where the outgroup meets the rest, which hangs whole from the root.
  const Children kids(r.shown);
  std::vector<std::string> below_root;
  for (const int* c = kids.begin(0); c != kids.end(0); ++c)
    below_root.push_back(r.shown.label[std::size_t(*c)] + std::to_string(kids.count(*c)));
  EXPECT_EQ(below_root, (std::vector<std::string>{"2", "E0", "F0"}));
  in.outgroup = {"A", "E"};
  EXPECT_EQ(ErrorOf([&] { ComputeSupport(in); }),
            "The outgroup's taxa 'A', 'E' do not stand together on one side of a branch of the "
            "reference tree 'ref.tre', tree 1, so it cannot be rooted on them");
}

TEST(Support, RootedOnAnOutgroupNamesTheSideAwayFromItAndSkipsGroupsWithoutIt) {
  SupportInput in = Input({{0}, {}}, {"((B,C),D,(E,F));", "((A,B),((C,D),E),F);"});
  in.outgroup = {"F"};
  const SupportResult r = ComputeSupport(in);
  // Group 1 lacks A: (A,B) keeps one taxon; (C,D) fell; (A,B,C,D) is (B,C,D) there and
  // survived. Group 2 has all: only (A,B,C,D) fell.
  EXPECT_EQ(SupportTable(r),
            "taxa\ttestable\tsurvived\tsurvival\tbranch_length\n"
            "A,B\t1\t1\t1.000\t\n"
            "C,D\t2\t1\t0.500\t\n"
            "A,B,C,D\t2\t1\t0.500\t\n");
  in.design.groups = {{5}, {}};
  in.groups[0] = Parse("((B,C),D,(E,A));");
  const SupportResult without = ComputeSupport(in);
  EXPECT_EQ(without.testable, (std::vector<std::size_t>{1, 1, 1}));
  // The tree shown is rooted at the outgroup's parent.
  const Children kids(without.shown);
  std::vector<std::string> below_root;
  for (const int* c = kids.begin(0); c != kids.end(0); ++c)
    below_root.push_back(without.shown.label[std::size_t(*c)]);
  EXPECT_EQ(below_root, (std::vector<std::string>{"", "E", "F"}));
}

TEST(Support, ByTaxonListsCladesThatFellMoreOftenWithoutATaxon) {
  // (C,D) falls in both groups that lack B and survives in the two that hold it.
  SupportInput in = Input({{1}, {1}, {}, {}}, {"((A,C),D,(E,F));", "((A,C),D,(E,F));",
                                               "((A,B),(C,D),(E,F));", "((A,B),(C,D),(E,F));"});
  in.keep_outcomes = true;
  const SupportResult r = ComputeSupport(in);
  const std::vector<ByTaxonRow> rows = ByTaxon(r);
  EXPECT_EQ(ByTaxonTable(r, rows),
            "taxon\ttaxa\ttestable_without\tfell_without\tfall_rate_without\ttestable_with\t"
            "fell_with\tfall_rate_with\n"
            "B\tC,D\t2\t2\t1.000\t2\t0\t0.000\n");
}

TEST(Support, RefusesTaxaOutsideTheDesignAndTaxaTheGroupLeftOut) {
  EXPECT_EQ(ErrorOf([] { ComputeSupport(Input({{1}}, {"((A,C),D,(E,G));"})); }),
            "The tree of group 1, 'g.tre', tree 1 holds the taxon 'G', which is not in the design");
  EXPECT_EQ(ErrorOf([] { ComputeSupport(Input({{1}}, {"((A,B),D,(E,F));"})); }),
            "The tree of group 1, 'g.tre', tree 1 holds the taxon 'B', which group 1 leaves out");
  // NCL refuses a repeated name itself.
  EXPECT_EQ(
      ErrorOf([] { ComputeSupport(Input({{1}}, {"((A,C),D,(E,A));"})); })
          .rfind("Cannot read 'g.tre', tree 1 (line 1): Taxon number 1 (coded by the token A) "
                 "has already been encountered",
                 0),
      0u);
}

TEST(Support, RefusesAReferenceMissingATaxonAndAnUnknownOutgroup) {
  SupportInput in = Input({{1}}, {"((A,C),D,(E,F));"});
  in.reference = Parse("((A,B),(C,D),E);", "ref.tre");
  EXPECT_EQ(ErrorOf([&] { ComputeSupport(in); }),
            "The reference tree 'ref.tre', tree 1 lacks the taxon 'F' of the design 'd.json'");
  in.reference = Parse("((A,B),(C,X),(E,F),D);", "ref.tre");
  EXPECT_EQ(ErrorOf([&] { ComputeSupport(in); }),
            "The reference tree 'ref.tre', tree 1 holds the taxon 'X', which is not in the "
            "design");
  SupportInput rooted = Input({{1}}, {"((A,C),D,(E,F));"});
  rooted.outgroup = {"Z"};
  EXPECT_EQ(ErrorOf([&] { ComputeSupport(rooted); }),
            "The outgroup 'Z' is not a taxon of the design 'd.json'");
}

TEST(Support, RefusesANumberOfTreesOtherThanTheNumberOfGroups) {
  EXPECT_EQ(ErrorOf([] {
              ComputeSupport(Input({{1}, {2}}, {"((A,C),D,(E,F));"}));
            }),
            "The design 'd.json' has 2 groups but 1 group trees were given; give the design's "
            "folder or each "
            "group's tree file to learn which are missing");
  // groups.tsv cannot show trailing groups that leave nothing out: more trees are fine.
  SupportInput in = Input({{1}}, {"((A,C),D,(E,F));", "((A,B),(C,D),(E,F));"});
  in.design.group_count_exact = false;
  EXPECT_EQ(ComputeSupport(in).testable, (std::vector<std::size_t>{2, 2, 1}));
  in.groups.pop_back();
  in.groups.clear();
  EXPECT_EQ(ErrorOf([&] { ComputeSupport(in); }),
            "The design 'd.json' has 1 groups but 0 group trees were given; give the design's "
            "folder or each "
            "group's tree file to learn which are missing");
}

TEST(Support, MatchesUnderscoredDesignNamesToTheBlanksNclReads) {
  SupportInput in = Input({{}}, {"((A,B),(C,D),(E,F_1));"});
  in.design.names[5] = "F_1";
  in.reference = Parse("((A,B),(C,D),(E,'F_1'));", "ref.tre");
  const SupportResult r = ComputeSupport(in);
  EXPECT_EQ(r.survived, (std::vector<std::size_t>{1, 1, 1}));
  EXPECT_EQ(CladeNames(r, 1), "E,F_1");
}

}  // namespace
}  // namespace dk::clades
