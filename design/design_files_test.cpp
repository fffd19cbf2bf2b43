#include "design/design_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using Strings = std::vector<std::string>;

// ---- Writing

Design Sample() {
  Design d;
  d.list_size = 5;
  d.omit = 2;
  d.kept = {0};
  d.groups = {{1, 4}, {2, 3}};
  return d;
}
const Strings kNames = {"Alpha", "Beta", "Homo sapiens", "Pan's", "Eta_x"};

TEST(DesignFilesTest, TsvHasAHeaderAndARowPerNameLeftOut) {
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

TEST(DesignFilesTest, JsonFollowsTheDesignFileLayout) {
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

TEST(DesignFilesTest, JsonRecordsTheWindowAndEverySeed) {
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

TEST(DesignFilesTest, AWindowExportRecordsItsNameListAfterTheInput) {
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

TEST(DesignFilesTest, JsonRefusesTextThatIsNotUtf8) {
  Strings names = kNames;
  names[1] = "B\xE9ta";
  const std::string error = ErrorOf([&] { DesignJson(names, Sample(), SampleProvenance()); });
  EXPECT_EQ(
      error.rfind("Cannot write the design as JSON: a name or argument is not valid UTF-8", 0), 0u)
      << error;
}

// What a run writes, `support` reads back as the same groups over the same names.
TEST(DesignFilesTest, WhatIsWrittenReadsBackAsTheSameGroups) {
  const Design written = Sample();
  const Design from_json =
      ParseDesign(DesignJson(kNames, written, SampleProvenance()), "dropkit.json", {});
  EXPECT_EQ(from_json.names, kNames);
  EXPECT_EQ(from_json.list_size, kNames.size());
  EXPECT_EQ(from_json.groups, written.groups);
  EXPECT_TRUE(from_json.group_count_exact);
  const Design from_tsv = ParseDesign(GroupsTsv(kNames, written), "groups.tsv", {});
  EXPECT_EQ(from_tsv.groups, written.groups);
  EXPECT_EQ(from_tsv.names, (Strings{"", "Beta", "Homo sapiens", "Pan's", "Eta_x"}));
  EXPECT_FALSE(from_tsv.names_complete);
}

// ---- Reading

std::string Json(const std::string& format, const std::string& version, const std::string& groups,
                 const std::string& count = "2") {
  return "{\n  \"format\": \"" + format + "\",\n  \"format_version\": " + version +
         ",\n  \"names\": [\"Alpha\", \"Beta\", \"Gamma\", \"Delta\", \"Eps_ilon\"],\n"
         "  \"group_count\": " +
         count + ",\n  \"groups\": " + groups + "\n}\n";
}

const char* kTwoGroups =
    "[{\"group\": 1, \"label\": \"group001\", \"omitted\": [\"Delta\", \"Beta\"], "
    "\"lines\": [4, 2]},\n {\"group\": 2, \"label\": \"group002\", \"omitted\": [], "
    "\"lines\": []}]";

TEST(DesignJson, ReadsNamesAndEachGroupsOmittedTaxaInListOrder) {
  const Design d = ParseDesign(Json("dropkit-design", "1", kTwoGroups), "d.json", {});
  EXPECT_EQ(d.names, (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Delta", "Eps_ilon"}));
  EXPECT_TRUE(d.names_complete);
  EXPECT_TRUE(d.group_count_exact);
  ASSERT_EQ(d.groups.size(), 2u);
  EXPECT_EQ(d.groups[0], (std::vector<std::size_t>{1, 3}));
  EXPECT_TRUE(d.groups[1].empty());
}

TEST(DesignJson, RefusesUnknownFormatsVersionsAndTaxa) {
  EXPECT_EQ(ErrorOf([] { ParseDesign(Json("other", "1", kTwoGroups), "d.json", {}); }),
            "The design file 'd.json' has \"format\" \"other\", not \"dropkit-design\"");
  EXPECT_EQ(ErrorOf([] { ParseDesign(Json("dropkit-design", "2", kTwoGroups), "d.json", {}); }),
            "The design file 'd.json' has \"format_version\" 2, which this program does not "
            "know (it reads version 1)");
  const std::string unknown =
      "[{\"group\": 1, \"omitted\": [\"Zeta\"]}, {\"group\": 2, \"omitted\": []}]";
  EXPECT_EQ(ErrorOf([&] { ParseDesign(Json("dropkit-design", "1", unknown), "d.json", {}); }),
            "The design file 'd.json' has group 1 omitting 'Zeta', which is not in \"names\"");
  EXPECT_EQ(
      ErrorOf([] { ParseDesign(Json("dropkit-design", "1", kTwoGroups, "3"), "d.json", {}); }),
      "The design file 'd.json' has \"group_count\" 3 but 2 entries in \"groups\"");
  EXPECT_NE(ErrorOf([] {
              ParseDesign("{\"format\": ", "d.json", {});
            }).find("The design file 'd.json' is not valid JSON"),
            std::string::npos);
}

// Any depth of nesting, anywhere, gives an error and never a crash.
TEST(DesignJson, RefusesDeepNestingBeforeParsingOrQuotingIt) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  for (const std::string& text :
       {"{\"format\":\"dropkit-design\",\"format_version\":1,\"names\":" + deep + "}",
        "{\"format\":" + deep + "}",
        "{\"format\":\"dropkit-design\",\"format_version\":" + deep + "}"}) {
    EXPECT_NE(ErrorOf([&] {
                ParseDesign(text, "d.json", {});
              }).find("The design file 'd.json' nests lists and objects more than 16 levels"),
              std::string::npos);
  }
  EXPECT_EQ(ErrorOf([] { ParseDesign("{\"format\": [[1]]}", "d.json", {}); }),
            "The design file 'd.json' has \"format\" a list, not \"dropkit-design\"");
}

TEST(DesignJson, RefusesMoreTaxaThanTheLimit) {
  DesignLimits limits;
  limits.taxa = 4;
  EXPECT_EQ(ErrorOf([&] { ParseDesign(Json("dropkit-design", "1", kTwoGroups), "d", limits); }),
            "The design file 'd' names 5 taxa, more than the limit of 4");
}

const char* kTsv =
    "group\tposition\tname\tline\n"
    "1\t1\tBeta\t2\n"
    "1\t2\tEta\t7\n"
    "3\t1\tAlpha\t1\n";

TEST(DesignTsv, PlacesNamesAtTheirLinesAndCountsGroupsUpToTheLargest) {
  const Design d = ParseDesign(kTsv, "groups.tsv", {});
  EXPECT_FALSE(d.names_complete);
  EXPECT_FALSE(d.group_count_exact);
  ASSERT_EQ(d.names.size(), 7u);
  EXPECT_EQ(d.names[0], "Alpha");
  EXPECT_EQ(d.names[1], "Beta");
  EXPECT_EQ(d.names[6], "Eta");
  EXPECT_EQ(d.names[2], "");
  ASSERT_EQ(d.groups.size(), 3u);
  EXPECT_EQ(d.groups[0], (std::vector<std::size_t>{1, 6}));
  EXPECT_TRUE(d.groups[1].empty());
  EXPECT_EQ(d.groups[2], (std::vector<std::size_t>{0}));
}

TEST(DesignTsv, RefusesBadHeadersFieldsAndDisagreeingLines) {
  EXPECT_EQ(ErrorOf([] { ParseDesign("group\tname\n", "g.tsv", {}); }),
            "The design file 'g.tsv' does not start with the header "
            "\"group<TAB>position<TAB>name<TAB>line\"");
  EXPECT_EQ(ErrorOf([] { ParseDesign("group\tposition\tname\tline\n1\t1\tBeta\n", "g.tsv", {}); }),
            "The design file 'g.tsv' has 3 fields on line 2 (4 needed)");
  EXPECT_EQ(
      ErrorOf([] { ParseDesign("group\tposition\tname\tline\n01\t1\tBeta\t2\n", "g.tsv", {}); }),
      "The design file 'g.tsv' has a bad group number on line 2");
  EXPECT_EQ(ErrorOf([] {
              ParseDesign("group\tposition\tname\tline\n1\t1\tBeta\t2\n2\t1\tBeta\t3\n", "g.tsv",
                          {});
            }),
            "The design file 'g.tsv' gives 'Beta' the list line 3 on line 3, but 2 before");
  EXPECT_EQ(
      ErrorOf([] {
        ParseDesign("group\tposition\tname\tline\n1\t1\tBeta\t2\n2\t1\tGamma\t2\n", "g.tsv", {});
      }),
      "The design file 'g.tsv' gives 'Gamma' the list line 2 on line 3, which 'Beta' had before");
}

}  // namespace
}  // namespace dk
