// Reading trees: the first pass over the text (tree_text.h) and NCL's reading.
#include "clades/tree_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "clades/tree_text.h"
#include "testing/test_support.h"

namespace dk::clades {
namespace {

using dk::test::ErrorOf;

std::vector<Tree> ReadOne(const std::string& text, const InputLimits& limits = {}) {
  return ReadTreeFiles({{"t.tre", text}}, limits)[0];
}

// The tree in a canonical Newick-like form: children in file order, names, no lengths.
std::string Shape(const Tree& t) {
  const Children kids(t);
  std::string out;
  std::vector<std::pair<int, bool>> stack{{0, false}};
  while (!stack.empty()) {
    const auto [v, leaving] = stack.back();
    stack.pop_back();
    if (v < 0) {
      out += ',';
    } else if (kids.count(v) == 0) {
      out += t.label[std::size_t(v)];
    } else if (leaving) {
      out += ')';
    } else {
      out += '(';
      stack.push_back({v, true});
      for (const int* c = kids.end(v); c != kids.begin(v);) {
        stack.push_back({*--c, false});
        if (c != kids.begin(v)) stack.push_back({-1, false});
      }
    }
  }
  return out;
}

TEST(TreeText, SplitsAtSemicolonsOutsideCommentsQuotesAndParentheses) {
  const std::string text = "[a;comment]\n(A,'B;'''):1;\n\n ((C,D)[x;[y]],E)\n;(F,G)";
  const std::vector<TreeSpan> spans = SplitNewick(text, "t.tre", 100, 100);
  ASSERT_EQ(spans.size(), 3u);
  EXPECT_EQ(text.substr(spans[0].begin, spans[0].end - spans[0].begin), "(A,'B;'''):1;");
  EXPECT_EQ(spans[0].line, 2u);
  EXPECT_EQ(spans[1].line, 4u);
  EXPECT_EQ(text.substr(spans[2].begin), "(F,G)");
}

TEST(TreeText, RefusesDeepNestingUnbalancedTextAndTooManyTrees) {
  EXPECT_EQ(ErrorOf([] { SplitNewick("\n(((A,B),C),D);", "t.tre", 2, 10); }),
            "Cannot read 't.tre' (line 2): the parentheses nest deeper than the limit of 2");
  EXPECT_EQ(ErrorOf([] { SplitNewick("(A,B));", "t.tre", 9, 10); }),
            "Cannot read 't.tre' (line 1): a ')' closes no '('");
  EXPECT_EQ(ErrorOf([] { SplitNewick("(A,\n(B,C);", "t.tre", 9, 10); }),
            "Cannot read 't.tre' (line 1): a '(' of the tree starting here is never closed");
  EXPECT_EQ(ErrorOf([] { SplitNewick("(A,'B);", "t.tre", 9, 10); }),
            "Cannot read 't.tre' (line 1): a quoted name is never closed");
  EXPECT_EQ(ErrorOf([] { SplitNewick("(A,B);(A,C);(B,C);", "t.tre", 9, 2); }),
            "Cannot read 't.tre' (line 1): it holds more than the limit of 2 trees");
}

TEST(TreeText, TellsNexusFromNewick) {
  EXPECT_TRUE(IsNexus("\xEF\xBB\xBF  #nexus\nbegin trees;"));
  EXPECT_TRUE(IsNexus("#NEXUS"));
  EXPECT_FALSE(IsNexus("(A,B);"));
  EXPECT_FALSE(IsNexus("#NEX"));
}

TEST(TreeText, CutsANexusTextAroundItsTreeCommandsOnlyWhenItIsPlain) {
  const std::string head =
      "#NEXUS\n[a; comment]\nbegin taxa;\n taxlabels A B C 'D;E';\nend;\n"
      "BEGIN TREES;\n translate 1 A, 2 B;\n";
  const std::string trees = " tree one = [&U] ((1,2),C,'D;E');\n UTREE two = (1,(2,C),'D;E');\n";
  const std::string tail = "end;\nbegin assumptions;\nend;\n";
  const std::string text = head + trees + tail;
  const std::optional<NexusTrees> cut = SplitNexusTrees(text, "t.nex", 100);
  ASSERT_TRUE(cut.has_value());
  EXPECT_EQ(text.substr(0, cut->head_end), head + " ");
  ASSERT_EQ(cut->trees.size(), 2u);
  EXPECT_EQ(text.substr(cut->trees[0].begin, cut->trees[0].end - cut->trees[0].begin),
            "tree one = [&U] ((1,2),C,'D;E');");
  EXPECT_EQ(cut->trees[1].line, 9u);
  EXPECT_EQ(text.substr(cut->tail_begin), "\n" + tail);

  // Not cut: a second TREES block, a command among the trees, a double quote, no TREES
  // block, a TREES block that never ends.
  EXPECT_FALSE(SplitNexusTrees(text + "begin trees;\n tree x = (A,B,C);\nend;\n", "t.nex", 100));
  EXPECT_FALSE(SplitNexusTrees(
      head + " tree one = (1,2,C);\n title x;\n tree two = (1,2,C);\n" + tail, "t.nex", 100));
  EXPECT_FALSE(SplitNexusTrees(head + " tree \"one\" = (1,2,C);\n" + tail, "t.nex", 100));
  EXPECT_FALSE(SplitNexusTrees("#NEXUS\nbegin taxa;\n taxlabels A B;\nend;\n", "t.nex", 100));
  EXPECT_FALSE(SplitNexusTrees(head + trees, "t.nex", 100));
  // The first pass's errors stand.
  EXPECT_EQ(
      ErrorOf([&] { SplitNexusTrees(head + " tree one = ((1,2),C;\n" + tail, "t.nex", 100); }),
      "Cannot read 't.nex' (line 8): a '(' of the tree starting here is never closed");
}

TEST(TreeReader, ReadsNewickNamesLengthsAndTheOrderOfChildren) {
  const std::vector<Tree> trees = ReadOne("(Alpha:0.5,'B c':1,(Gamma_d,Delta:2e-3):0.25);\n");
  ASSERT_EQ(trees.size(), 1u);
  const Tree& t = trees[0];
  EXPECT_EQ(t.origin, "'t.tre', tree 1");
  // NCL reads an unquoted underscore as a blank.
  EXPECT_EQ(Shape(t), "(Alpha,B c,(Gamma d,Delta))");
  EXPECT_TRUE(std::isnan(t.length[0]));
  EXPECT_DOUBLE_EQ(t.length[1], 0.5);
  EXPECT_DOUBLE_EQ(t.length[3], 0.25);
  EXPECT_DOUBLE_EQ(t.length[5], 0.002);
  for (std::size_t v = 1; v < t.size(); ++v) EXPECT_LT(t.parent[v], int(v));
}

TEST(TreeReader, IgnoresInnerNodeLabelsOfOtherPrograms) {
  const std::vector<Tree> trees = ReadOne("((A:1,B:1)95:1,(C:1,D:1)cladeX:1,E);");
  ASSERT_EQ(trees.size(), 1u);
  EXPECT_EQ(Shape(trees[0]), "((A,B),(C,D),E)");
  EXPECT_EQ(Leaves(trees[0]).size(), 5u);
}

TEST(TreeReader, ReadsManyTreesInFileOrderAcrossFilesAndBatches) {
  // More trees than one batch of a reader holds, in two files.
  std::string one, two;
  for (int i = 0; i < 150; ++i) one += "((A,B),(C,T" + std::to_string(i) + "));\n";
  for (int i = 0; i < 70; ++i) two += "((A,C),(B,U" + std::to_string(i) + "));\n";
  const auto files = ReadTreeFiles({{"one.tre", one}, {"two.tre", two}}, {});
  ASSERT_EQ(files.size(), 2u);
  ASSERT_EQ(files[0].size(), 150u);
  ASSERT_EQ(files[1].size(), 70u);
  EXPECT_EQ(Shape(files[0][137]), "((A,B),(C,T137))");
  EXPECT_EQ(files[0][137].origin, "'one.tre', tree 138");
  EXPECT_EQ(Shape(files[1][69]), "((A,C),(B,U69))");
}

TEST(TreeReader, ReadsNexusTreesWithATranslateTable) {
  const std::string nexus =
      "#NEXUS\nbegin taxa;\n dimensions ntax=4;\n taxlabels Alpha Beta Gamma Delta;\nend;\n"
      "begin trees;\n translate 1 Alpha, 2 Beta, 3 Gamma, 4 Delta;\n"
      " tree one = [&U] ((1:1,2:1):1,3:1,4:1);\n tree two = ((1,3),(2,4));\nend;\n";
  const std::vector<Tree> trees = ReadOne(nexus);
  ASSERT_EQ(trees.size(), 2u);
  EXPECT_EQ(Shape(trees[0]), "((Alpha,Beta),Gamma,Delta)");
  EXPECT_EQ(Shape(trees[1]), "((Alpha,Gamma),(Beta,Delta))");
  EXPECT_EQ(trees[1].origin, "'t.tre', tree 2");
}

// A NEXUS block of more trees than one reader takes: the trees in order, each numbered in
// its file, the same as read in one piece; an error in a later batch is reported as the
// whole file's reading reports it.
TEST(TreeReader, ReadsALongNexusTreesBlockInBatchesAsOnePiece) {
  std::string nexus =
      "#NEXUS\nbegin taxa;\n dimensions ntax=5;\n taxlabels Alpha Beta Gamma Delta 'Eps ilon';\n"
      "end;\nbegin trees;\n translate 1 Alpha, 2 Beta, 3 Gamma, 4 Delta, 5 'Eps ilon';\n";
  for (int i = 0; i < 150; ++i) {
    nexus += i % 2 == 0 ? " tree t" + std::to_string(i) + " = [&U] ((1,2),(3,4),5);\n"
                        : " tree t" + std::to_string(i) + " = ((1,3),(2,5),4);\n";
  }
  const std::string whole = nexus + "end;\n";
  const std::vector<Tree> trees = ReadOne(whole);
  ASSERT_EQ(trees.size(), 150u);
  EXPECT_EQ(Shape(trees[0]), "((Alpha,Beta),(Gamma,Delta),Eps ilon)");
  EXPECT_EQ(Shape(trees[149]), "((Alpha,Gamma),(Beta,Eps ilon),Delta)");
  EXPECT_EQ(trees[149].origin, "'t.tre', tree 150");
  EXPECT_EQ(trees[70].origin, "'t.tre', tree 71");

  // Tree 131 names a taxon the block does not know.
  std::string bad = nexus;
  bad.replace(bad.find("tree t130 = [&U] ((1,2)"), 23, "tree t130 = [&U] ((1,9)");
  bad += "end;\n";
  const std::string e = ErrorOf([&] { ReadOne(bad); });
  EXPECT_EQ(e.rfind("Cannot read 't.tre' (line 138)", 0), 0u) << e;
}

TEST(TreeReader, NamesTheFileTreeAndLineOfAnErrorInABatch) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += i == 70 ? "((A,B),(C,D);\n" : "((A,B),(C,D));\n";
  const std::string e = ErrorOf([&] { ReadOne(text); });
  EXPECT_EQ(
      e.rfind("Cannot read 't.tre' (line 71): a '(' of the tree starting here is never closed", 0),
      0u)
      << e;
  std::string bad;
  for (int i = 0; i < 100; ++i) bad += i == 80 ? "((A,B),(C,D)),E);\n" : "((A,B),(C,D));\n";
  const std::string e2 = ErrorOf([&] { ReadOne(bad); });
  EXPECT_EQ(e2.rfind("Cannot read 't.tre' (line 81)", 0), 0u) << e2;
}

TEST(TreeReader, NclErrorsNameTheTreeAndLine) {
  std::string text = "((A,B),(C,D));\n((A,B),\n(C,D),(A,E));\n";
  const std::string e = ErrorOf([&] { ReadOne(text); });
  EXPECT_EQ(e.rfind("Cannot read 't.tre', tree 2 (line ", 0), 0u) << e;
  // A length that no number holds is refused, not carried on as infinity.
  EXPECT_EQ(ErrorOf([] { ReadOne("((A:1e999999,B),(C,D));\n"); }),
            "Cannot read 't.tre', tree 1 (line 1): a branch length is too large to hold as a "
            "number");
  // Control characters of the input reach no message unescaped.
  const std::string ctl = ErrorOf([] { ReadOne("((A,B),(C,D)\x1b[31m);\n"); });
  EXPECT_EQ(ctl.find('\x1b'), std::string::npos) << ctl;
}

TEST(TreeReader, RefusesTooManyLeavesAndEmptyFiles) {
  InputLimits limits;
  limits.taxa = 3;
  EXPECT_EQ(ErrorOf([&] { ReadOne("((A,B),(C,D));", limits); }),
            "Cannot read 't.tre', tree 1 (line 1): it has more than the limit of 3 leaves");
  EXPECT_EQ(ErrorOf([] { ReadOne("  [only a comment]\n"); }),
            "Cannot read 't.tre': it holds no tree");
}

TEST(TreeReader, ADeeplyNestedTreeIsRefusedWithoutCrashing) {
  std::string deep(200000, '(');
  deep += "A0";
  for (int i = 1; i <= 200000; ++i) deep += ",A" + std::to_string(i) + ")";
  deep += ";";
  EXPECT_EQ(ErrorOf([&] { ReadOne(deep); }),
            "Cannot read 't.tre' (line 1): the parentheses nest deeper than the limit of 10000");
}

TEST(TreeReader, ATreeAtTheDepthLimitIsRead) {
  InputLimits limits;
  limits.taxa = limits.depth + 1;
  std::string text(limits.depth, '(');
  text += "A0";
  for (std::size_t i = 1; i <= limits.depth; ++i) text += ",A" + std::to_string(i) + ")";
  const std::vector<Tree> trees = ReadOne(text + ";", limits);
  ASSERT_EQ(trees.size(), 1u);
  EXPECT_EQ(Leaves(trees[0]).size(), limits.depth + 1);
}

}  // namespace
}  // namespace dk::clades
