#include "survival/survival.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "gui/mainhg.h"
#include "random/random.h"
#include "shell/registry.h"
#include "testing/programs.h"
#include "testing/test_support.h"
#include "window/dropkit.h"

namespace dk {
namespace {

using Strings = std::vector<std::string>;

const Strings kTaxa = {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta"};

// A caterpillar tree of `taxa` in Newick: ((((a,b),c),d),e);
std::string Caterpillar(const Strings& taxa) {
  std::string tree = taxa[0];
  for (std::size_t i = 1; i < taxa.size(); ++i) tree = "(" + tree + "," + taxa[i] + ")";
  return tree + ";\n";
}

// The window open on a headless window system, and a design folder `run` that the batch
// pruned (no tree file name recorded), with a caterpillar tree per group in the
// alignment's order and the whole caterpillar as the reference tree.
class SurvivalTest : public ::testing::Test {
 protected:
  SurvivalTest() : registry(&main_info) {
    for (const InitTermPair& pair : init_term_table) pair.initialize();
    Value out[1];
    mlxDropkit(0, out, 0, nullptr);
    std::string fasta;
    for (const std::string& taxon : kTaxa) fasta += ">" + taxon + "\nACGTACGT\n";
    test::WriteFile(dir.file("aln.fasta"), fasta);
    const test::Result made = test::Batch(
        dir, dir.file("aln.fasta") + " --omit 2 --groups 5 --seed 7 --prune-to " + dir.file("run"));
    EXPECT_EQ(made.status, 0) << made.err;
    std::map<std::size_t, Strings> omitted;
    std::istringstream rows(test::ReadFile(dir.file("run/groups.tsv")));
    std::string line;
    std::getline(rows, line);
    while (std::getline(rows, line)) {
      std::istringstream fields(line);
      std::string group, position, name;
      std::getline(fields, group, '\t');
      std::getline(fields, position, '\t');
      std::getline(fields, name, '\t');
      omitted[std::stoul(group)].push_back(name);
    }
    for (std::size_t g = 1; g <= 5; ++g) {
      Strings kept;
      for (const std::string& taxon : kTaxa) {
        if (std::find(omitted[g].begin(), omitted[g].end(), taxon) == omitted[g].end()) {
          kept.push_back(taxon);
        }
      }
      test::WriteFile(dir.file("run/group00" + std::to_string(g) + ".treefile"), Caterpillar(kept));
    }
    test::WriteFile(dir.file("run/reference.treefile"),
                    "((Alpha,Gamma),(Beta,(Delta,(Epsilon,Zeta))));\n");
  }
  ~SurvivalTest() override {
    for (std::size_t i = std::size(init_term_table); i-- > 0;) init_term_table[i].terminate();
    ResetRandomToEntropy();
  }

  static Value Tagged(const char* tag) { return mlfFindobj(Value::Text("Tag"), Value::Text(tag)); }
  static std::string Text(const char* tag) {
    return mlfNGet(1, Tagged(tag), Value::Text("String")).utf8();
  }
  void Survival(const std::string& reference) {
    graphics.ui().QueueFileAnswer(dir.file(reference));
    graphics.ui().QueueFileAnswer(dir.file("run"));
    RunObjectCallback(Tagged("SurvivalButton").num(0));
  }

  test::TestEnv env;
  test::TempDir dir;
  ScopedRegistry registry;
  ScopedHeadlessGraphics graphics;
};

TEST_F(SurvivalTest, WritesWhatTheBatchWritesAndShowsTheTableAndTheTree) {
  Survival("run/reference.treefile");
  const test::Result batch =
      test::Batch(dir, "support --trees " + dir.file("run") + " --reference " +
                           dir.file("run/reference.treefile") + " --output " + dir.file("batch"));
  ASSERT_EQ(batch.status, 0) << batch.err;
  for (const char* file : {"support.tsv", "support.tre", "support.svg", "outcomes.tsv", "taxa.tsv",
                           "instability.tsv"}) {
    EXPECT_EQ(test::ReadFile(dir.file(std::string("run/support/") + file)),
              test::ReadFile(dir.file(std::string("batch/") + file)))
        << file;
  }
  EXPECT_EQ(
      Text("OutBox").rfind("Clade survival: 3 clades of 6 taxa compared with 5 group trees", 0), 0u)
      << Text("OutBox");
  // Its own window: the table, its numbers lined up and the taxa last, and the drawing.
  const std::string table = Text("SupportTable");
  EXPECT_EQ(table.substr(0, table.find('\n')), "testable  survived  survival  branch_length  taxa");
  EXPECT_NE(table.find("\n5         "), std::string::npos) << table;
  EXPECT_EQ(Text("SupportTree"), dir.file("run/support/support.svg"));
  EXPECT_EQ(mlfNGet(1, Tagged("SurvivalWindow"), Value::Text("Name")).utf8(), "Clade survival");
  // Again: the window is made anew, not doubled.
  Survival("run/reference.treefile");
  EXPECT_EQ(Tagged("SurvivalWindow").numel(), 1u);
}

TEST_F(SurvivalTest, ItShowsItsProgressAndACancelWritesNothing) {
  const auto entries = [&] {
    const std::filesystem::directory_iterator run(dir.file("run"));
    return std::distance(begin(run), end(run));
  };
  const auto before = entries();
  graphics.ui().CancelProgressAfter(8);  // at the last step: every file staged, none kept
  EXPECT_EQ(test::ErrorOf([&] { Survival("run/reference.treefile"); }), "Survival cancelled.");
  EXPECT_EQ(entries(), before);
  EXPECT_EQ(Tagged("SurvivalWindow").numel(), 0u);
  graphics.ui().CancelProgressAfter(-1);
  Survival("run/reference.treefile");
  // The reference and the five groups' trees read, the trees, the computing, the writing.
  ASSERT_FALSE(graphics.ui().record().progress.empty());
  const auto& last = graphics.ui().record().progress.back();
  EXPECT_EQ(last.title, "Survival");
  EXPECT_EQ(last.total, 9);
  EXPECT_EQ(last.steps, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_TRUE(last.ended);
  EXPECT_TRUE(std::filesystem::exists(dir.file("run/support/support.svg")));
}

TEST_F(SurvivalTest, TreesNamedNeitherByTheDesignNorByTheReferenceAreRefused) {
  test::WriteFile(dir.file("whole.tre"), test::ReadFile(dir.file("run/reference.treefile")));
  EXPECT_EQ(test::ErrorOf([&] { Survival("whole.tre"); }),
            "Cannot tell which files of '" + dir.file("run") +
                "' are the groups' trees: the design '" + dir.file("run/dropkit.json") +
                "' records no tree file name; give it with {group} for the group (e.g. "
                "--tree-name '{group}.treefile'), or name the reference tree reference.EXT and "
                "each group's tree as the group with the same ending (group001.EXT, ...)");
  EXPECT_FALSE(std::filesystem::exists(dir.file("run/support")));
}

}  // namespace
}  // namespace dk
