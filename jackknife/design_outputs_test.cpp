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
#include "runtime/random_values.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::ReadFile;
using test::WriteFile;
using Strings = std::vector<std::string>;

void Seed(double s) {
  mlfNRand(0, Value::Text("state"), Value::Scalar(s));
}

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
      Seed(42);
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

Design Sample() {
  Design d;
  d.list_size = 5;
  d.omit = 2;
  d.kept = {0};
  d.groups = {{1, 4}, {2, 3}};
  return d;
}
const Strings kNames = {"Alpha", "Beta", "Homo sapiens", "Pan's", "Eta_x"};

TEST(DesignOutputsTest, TsvHasAHeaderAndARowPerNameLeftOut) {
  EXPECT_EQ(GroupsTsv(kNames, Sample()),
            "group\tposition\tname\tline\n"
            "1\t1\tBeta\t2\n"
            "1\t2\tEta_x\t5\n"
            "2\t1\tHomo sapiens\t3\n"
            "2\t2\tPan's\t4\n");
  Design empty = Sample();
  empty.groups = {{}, {}};
  EXPECT_EQ(GroupsTsv(kNames, empty), "group\tposition\tname\tline\n");
}

TEST(DesignOutputsTest, NexusDeletesSearchesSavesAndRestoresEachGroup) {
  Design d = Sample();
  d.groups.push_back({});
  EXPECT_EQ(NexusCommands(kNames, d),
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
  Design d = Sample();
  d.groups.push_back({});
  EXPECT_EQ(TntScript(d),
            "macro=;\ntaxname=;\n"
            "taxcode - 1 4 ;\nkeep 0 ;\nmult ;\ntsave *group001.tre ;\nsave ;\ntsave / ;\n"
            "taxcode + 1 4 ;\n"
            "taxcode - 2 3 ;\nkeep 0 ;\nmult ;\ntsave *group002.tre ;\nsave ;\ntsave / ;\n"
            "taxcode + 2 3 ;\n"
            "keep 0 ;\nmult ;\ntsave *group003.tre ;\nsave ;\ntsave / ;\n"
            "proc / ;\n");
}

Provenance SampleProvenance() {
  Provenance p;
  p.version = "0.2.0";
  p.command = {"dropkit-batch", "taxa.fasta", "--omit", "2"};
  p.input_file = "taxa.fasta";
  p.input_size = 123;
  p.input_sha256 = std::string(64, 'a');
  p.input_format = "fasta";
  p.seed = 42;
  p.seed_source = SeedSource::kOption;
  p.created = "2026-12-07T14:05:30+01:00";
  return p;
}

TEST(DesignOutputsTest, JsonFollowsTheDesignFileLayout) {
  const std::string text = DesignJson(kNames, Sample(), SampleProvenance());
  EXPECT_EQ(text,
            "{\n"
            "  \"format\": \"dropkit-design\",\n"
            "  \"format_version\": 1,\n"
            "  \"program\": \"dropkit-batch\",\n"
            "  \"version\": \"0.2.0\",\n"
            "  \"command\": [\n    \"dropkit-batch\",\n    \"taxa.fasta\",\n    \"--omit\",\n"
            "    \"2\"\n  ],\n"
            "  \"input\": {\n    \"file\": \"taxa.fasta\",\n    \"size\": 123,\n"
            "    \"sha256\": \"" +
                std::string(64, 'a') +
                "\",\n    \"format\": \"fasta\"\n  },\n"
                "  \"list_size\": 5,\n"
                "  \"names\": [\n    \"Alpha\",\n    \"Beta\",\n    \"Homo sapiens\",\n"
                "    \"Pan's\",\n    \"Eta_x\"\n  ],\n"
                "  \"kept\": [\n    \"Alpha\"\n  ],\n"
                "  \"omit\": 2,\n"
                "  \"group_count\": 2,\n"
                "  \"each\": false,\n"
                "  \"draw\": \"random\",\n"
                "  \"distinct_groups\": 2,\n"
                "  \"omitted_least\": 1,\n"
                "  \"omitted_most\": 1,\n"
                "  \"seed\": 42,\n"
                "  \"seed_source\": \"option\",\n"
                "  \"draws_before\": 0,\n"
                "  \"generator\": \"Philox4x64-10; see docs/random.md\",\n"
                "  \"created\": \"2026-12-07T14:05:30+01:00\",\n"
                "  \"listing_sha256\": \"" +
                Sha256Hex(GroupsTsv(kNames, Sample())) +
                "\",\n"
                "  \"groups\": [\n"
                "    {\n      \"group\": 1,\n      \"label\": \"group001\",\n"
                "      \"omitted\": [\n        \"Beta\",\n        \"Eta_x\"\n      ],\n"
                "      \"lines\": [\n        2,\n        5\n      ]\n    },\n"
                "    {\n      \"group\": 2,\n      \"label\": \"group002\",\n"
                "      \"omitted\": [\n        \"Homo sapiens\",\n        \"Pan's\"\n      ],\n"
                "      \"lines\": [\n        3,\n        4\n      ]\n    }\n"
                "  ]\n"
                "}\n");
}

TEST(DesignOutputsTest, JsonRecordsTheWindowAndEverySeed) {
  Provenance p = SampleProvenance();
  p.program = "dropkit";
  p.window = std::vector<std::pair<std::string, std::string>>{
      {"NumBox", "2"}, {"RepBox", "2"}, {"InitBox", "42"}};
  p.seed_source = SeedSource::kWindow;
  nlohmann::ordered_json json = nlohmann::ordered_json::parse(DesignJson(kNames, Sample(), p));
  EXPECT_FALSE(json.contains("command"));
  EXPECT_EQ(json["window"].dump(), R"({"NumBox":"2","RepBox":"2","InitBox":"42"})");
  EXPECT_EQ(json["program"], "dropkit");
  EXPECT_EQ(json["seed_source"], "window");

  p.seed = std::nullopt;
  p.seed_source = SeedSource::kNone;
  json = nlohmann::ordered_json::parse(DesignJson(kNames, Sample(), p));
  EXPECT_TRUE(json["seed"].is_null());
  p.seed = 3.25;
  EXPECT_EQ(nlohmann::json::parse(DesignJson(kNames, Sample(), p))["seed"].dump(), "3.25");
  p.seed = 9007199254740991.0;
  EXPECT_EQ(nlohmann::json::parse(DesignJson(kNames, Sample(), p))["seed"].dump(),
            "9007199254740991");
  p.seed = -7;
  EXPECT_EQ(nlohmann::json::parse(DesignJson(kNames, Sample(), p))["seed"].dump(), "-7");
}

TEST(DesignOutputsTest, AWindowExportRecordsItsNameListAfterTheInput) {
  Provenance p = SampleProvenance();
  EXPECT_FALSE(nlohmann::ordered_json::parse(DesignJson(kNames, Sample(), p)).contains("list"));
  p.names_list = FileRecord{"/data/names.txt", 40, std::string(64, 'b')};
  const nlohmann::ordered_json json =
      nlohmann::ordered_json::parse(DesignJson(kNames, Sample(), p));
  EXPECT_EQ(json["list"].dump(),
            R"({"file":"/data/names.txt","size":40,"sha256":")" + std::string(64, 'b') + "\"}");
  std::vector<std::string> keys;
  for (const auto& item : json.items()) keys.push_back(item.key());
  const auto input = std::find(keys.begin(), keys.end(), "input");
  ASSERT_NE(input, keys.end());
  EXPECT_EQ(*(input + 1), "list");
}

TEST(DesignOutputsTest, JsonRefusesTextThatIsNotUtf8) {
  Strings names = kNames;
  names[1] = "B\xE9ta";
  const std::string error = ErrorOf([&] { DesignJson(names, Sample(), SampleProvenance()); });
  EXPECT_EQ(
      error.rfind("Cannot write the design as JSON: a name or argument is not valid UTF-8", 0), 0u)
      << error;
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
