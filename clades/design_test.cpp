#include "clades/design.h"

#include <gtest/gtest.h>

#include "testing/test_support.h"

namespace dk::clades {
namespace {

using dk::test::ErrorOf;

const char* kTsv =
    "group\tposition\tname\tline\n"
    "1\t1\tBeta\t2\n"
    "1\t2\tEta\t7\n"
    "3\t1\tAlpha\t1\n";

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
