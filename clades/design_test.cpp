#include "clades/design.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk::clades {
namespace {

using dk::test::ErrorOf;

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
  ASSERT_EQ(d.omitted.size(), 2u);
  EXPECT_EQ(d.omitted[0], (std::vector<std::size_t>{1, 3}));
  EXPECT_TRUE(d.omitted[1].empty());
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
  InputLimits limits;
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
  ASSERT_EQ(d.omitted.size(), 3u);
  EXPECT_EQ(d.omitted[0], (std::vector<std::size_t>{1, 6}));
  EXPECT_TRUE(d.omitted[1].empty());
  EXPECT_EQ(d.omitted[2], (std::vector<std::size_t>{0}));
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

TEST(DesignTsv, CompletingFillsUnnamedPlacesWithTheReferenceTaxaInTreeOrder) {
  Design d = ParseDesign(kTsv, "groups.tsv", {});
  // NCL reads an unquoted "Eta_x" as "Eta x"; blanks come back as underscores.
  const std::vector<std::string> tree{"Gamma", "Eta",  "Alpha", "Delta one",
                                      "Beta",  "Zeta", "Theta"};
  CompleteNames(d, tree, "ref.tre");
  EXPECT_TRUE(d.names_complete);
  EXPECT_EQ(d.names, (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Delta_one", "Zeta",
                                               "Theta", "Eta"}));
}

TEST(DesignTsv, CompletingRefusesANameTheReferenceLacksOrALineBeyondIt) {
  Design d = ParseDesign(kTsv, "groups.tsv", {});
  EXPECT_EQ(
      ErrorOf([&] {
        CompleteNames(d, {"Alpha", "Beta", "Gamma", "Delta", "Zeta", "Theta", "Iota"}, "ref.tre");
      }),
      "The reference tree 'ref.tre' lacks the taxon 'Eta' of the design 'groups.tsv'");
  EXPECT_EQ(ErrorOf([&] {
              CompleteNames(d, {"Alpha", "Beta", "Eta"}, "ref.tre");
            }),
            "The design 'groups.tsv' places a name at line 7 but the reference tree 'ref.tre' "
            "has only 3 taxa");
}

}  // namespace
}  // namespace dk::clades
