#include "jackknife/design_outputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "generator/randlist.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "jackknife/input.h"
#include "random/random.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::ReadFile;
using test::WriteFile;
using Strings = std::vector<std::string>;

// The generator's window with its four boxes, to run its own Save and Show.
class GeneratorTest : public ::testing::Test {
 protected:
  GeneratorTest() {
    const Value fig = CreateFigure();
    for (const char* tag : {"OutBox", "NumBox", "RepBox", "InitBox"}) {
      CreateControl(fig, "edit", tag);
    }
    InitializeModule_randlist();
    ResetRandomToEntropy();
  }
  ~GeneratorTest() override {
    TerminateModule_randlist();
    ResetRandomToEntropy();
  }

  static void Run(const char* command) {
    Value in[1] = {Value::Text(command)};
    mlxRandlist(0, nullptr, 1, in);
  }
  static void Set(const char* tag, const std::string& text) {
    mlfNSet(0, mlfFindobj(Value::Text("Tag"), Value::Text(tag)), Value::Text("String"),
            Value::Text(text));
  }
  static std::string Box() {
    return mlfNGet(1, mlfFindobj(Value::Text("Tag"), Value::Text("OutBox")), Value::Text("String"))
        .utf8();
  }
  // Loads the list, restarts from `seed` and saves K of R through the generator.
  std::string GeneratorSave(const std::string& list, int seed, int k, int r) {
    graphics.ui().QueueFileAnswer(list);
    Run("Load");
    Set("InitBox", std::to_string(seed));
    Run("ManualInit");
    Set("NumBox", std::to_string(k));
    Set("RepBox", std::to_string(r));
    graphics.ui().QueueFileAnswer(dir.file("generator.txt"));
    Run("Save");
    return ReadFile(dir.file("generator.txt"));
  }
  std::string GeneratorShow(int seed, int k, int r) {
    Set("InitBox", std::to_string(seed));
    Run("ManualInit");
    Set("NumBox", std::to_string(k));
    Set("RepBox", std::to_string(r));
    Run("Show");
    return Box() + "\n";
  }

  test::TestEnv env;  // first: the clock and console of everything below
  test::TempDir dir;
  ScopedHeadlessGraphics graphics;
};

TEST_F(GeneratorTest, ListingIsByteForByteTheGeneratorsSave) {
  const std::vector<std::string> lists = {
      "t1\nt2\nt3\nt4\nt5\nt6\nt7\nt8\nt9\nt10\n",
      // Blank lines, blanks, CR line ends, bytes that are not UTF-8, no final line break.
      "Canis lupus\r\n  Ursus \r\n\r\n100% %s \\n\nAlpha\rcaf\xE9\n\xC3\xA9t\xC3\xA9\nlast",
      // UTF-16 with a byte-order mark.
      std::string("\xFF\xFE"
                  "a\0\r\0\n\0b\0\n\0\xE9\0\n\0d\0",
                  18),
  };
  for (std::size_t n = 0; n < lists.size(); ++n) {
    const std::string path = dir.file("list" + std::to_string(n) + ".txt");
    WriteFile(path, lists[n]);
    for (const int k : {0, 1, 3}) {
      const std::string expected = GeneratorSave(path, 42, k, 4);
      const TaxonList taxa = LoadTaxa(path, std::nullopt);
      RestartRandom(42);
      const Design design = DrawDesign(taxa.lines.size(), {}, k, 4);
      EXPECT_EQ(ListingText(taxa.lines, design), expected) << "list " << n << ", k " << k;
      EXPECT_EQ(ShowText(taxa.lines, design), GeneratorShow(42, k, 4)) << "list " << n;
    }
  }
}

TEST_F(GeneratorTest, ListingLayoutWithKeptNames) {
  env.now.hour = 9;
  Design d;
  d.list_size = 4;
  d.omit = 2;
  d.kept = {1};
  d.groups = {{0, 2}, {2, 3}};
  EXPECT_EQ(ListingText({"P\n", "Q\n", "R\n", "S"}, d),
            "Randomized listing of 2 groups to 2 taxa to omit\n2026-12-07 : 9:5\n"
            "\n***  Repetition 1  *****************************\nP\n\nR\n"
            "\n***  Repetition 2  *****************************\nR\n\nS");
  EXPECT_EQ(ShowText({"P\n", "Q\n", "R \n", "S"}, d),
            "Randomized listing of 2 groups to 2 taxa to omit\n2026-12-07 : 9:5"
            "\n***  Repetition 1  *****************************\nP\nR"
            "\n***  Repetition 2  *****************************\nR\nS\n");
}

// ---- The other formats

// Three groups from a list of five names, the last leaving out none.
Design ThreeGroups() {
  Design d;
  d.list_size = 5;
  d.omit = 2;
  d.groups = {{1, 4}, {2, 3}, {}};
  return d;
}
const Strings kNames = {"Alpha", "Beta", "Homo sapiens", "Pan's", "Eta_x"};

TEST(DesignOutputsTest, NexusDeletesSearchesSavesAndRestoresEachGroup) {
  EXPECT_EQ(NexusCommands(kNames, ThreeGroups()),
            "#NEXUS\n"
            "[Taxon-jackknife design: 3 groups, each leaving out 2 of 5 taxa. Execute the data "
            "file first, then this file.]\n\n"
            "BEGIN SETS;\n"
            "  TAXSET group001 = Beta Eta_x;\n"
            "  TAXSET group002 = 'Homo sapiens' 'Pan''s';\n"
            "END;\n\n"
            "BEGIN PAUP;\n"
            "  [group001]\n  DELETE group001;\n  HSEARCH;\n"
            "  SAVETREES FILE=group001.tre REPLACE=YES;\n  RESTORE ALL;\n"
            "  [group002]\n  DELETE group002;\n  HSEARCH;\n"
            "  SAVETREES FILE=group002.tre REPLACE=YES;\n  RESTORE ALL;\n"
            "  [group003]\n  HSEARCH;\n  SAVETREES FILE=group003.tre REPLACE=YES;\n"
            "END;\n");
}

TEST(DesignOutputsTest, TntNumbersTaxaFromZero) {
  EXPECT_EQ(TntScript(ThreeGroups()),
            "macro=;\ntaxname=;\n"
            "taxcode - 1 4 ;\nkeep 0 ;\nmult ;\ntsave *group001.tre ;\nsave ;\ntsave / ;\n"
            "taxcode + 1 4 ;\n"
            "taxcode - 2 3 ;\nkeep 0 ;\nmult ;\ntsave *group002.tre ;\nsave ;\ntsave / ;\n"
            "taxcode + 2 3 ;\n"
            "keep 0 ;\nmult ;\ntsave *group003.tre ;\nsave ;\ntsave / ;\n"
            "proc / ;\n");
}

TEST(DesignOutputsTest, FormatNames) {
  for (const char* name : {"listing", "tsv", "json", "nexus", "tnt"}) {
    const auto format = ParseOutputFormat(name);
    ASSERT_TRUE(format.has_value()) << name;
    EXPECT_STREQ(OutputFormatName(*format), name);
  }
  EXPECT_FALSE(ParseOutputFormat("TSV").has_value());
  EXPECT_FALSE(ParseOutputFormat("").has_value());
}

}  // namespace
}  // namespace dk
