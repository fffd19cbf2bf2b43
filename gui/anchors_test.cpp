#include "gui/anchors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dk::internal {
namespace {

using ::testing::ElementsAre;

std::vector<double> Parts(const Rect& r) {
  return {r.left, r.bottom, r.width, r.height};
}

std::string Canonical(const char* text) {
  const std::optional<Anchor> a = ParseAnchor(text);
  return a ? AnchorText(*a) : "(refused)";
}

TEST(AnchorText, WordsInAnyOrderAndCaseReadAsTheirCanonicalForm) {
  EXPECT_EQ(Canonical("left bottom"), "left bottom");
  EXPECT_EQ(Canonical("Bottom  LEFT"), "left bottom");
  EXPECT_EQ(Canonical("top right bottom left"), "left right bottom top");
  EXPECT_EQ(Canonical("\tright top "), "right top");
  EXPECT_EQ(AnchorText(Anchor{}), "left bottom");  // the default
}

TEST(AnchorText, EveryOtherTextIsRefused) {
  for (const char* bad : {"", " ", "left", "top", "left left bottom", "left bottom bottom",
                          "centre bottom", "left,bottom", "leftbottom", "left bottom x"}) {
    EXPECT_EQ(Canonical(bad), "(refused)") << '"' << bad << '"';
  }
}

// A 100 by 40 control at (20, 30) of a 400 by 300 area, the area then grown to 500 by 350.
Rect Grown(const char* anchor) {
  return Anchored({20, 30, 100, 40}, {400, 300}, {500, 350}, *ParseAnchor(anchor));
}

TEST(Anchored, EachEdgeKeepsItsDistanceAndBothStretch) {
  EXPECT_THAT(Parts(Grown("left bottom")), ElementsAre(20, 30, 100, 40));
  EXPECT_THAT(Parts(Grown("right bottom")), ElementsAre(120, 30, 100, 40));
  EXPECT_THAT(Parts(Grown("left top")), ElementsAre(20, 80, 100, 40));
  EXPECT_THAT(Parts(Grown("left right bottom top")), ElementsAre(20, 30, 200, 90));
  EXPECT_THAT(Parts(Grown("right bottom top")), ElementsAre(120, 30, 100, 90));
}

TEST(Anchored, ShrinkingStopsAtNothingAndGrowingBackRestoresThePlace) {
  const Anchor both = *ParseAnchor("left right bottom top");
  const Rect placed{20, 30, 100, 40};
  EXPECT_THAT(Parts(Anchored(placed, {400, 300}, {250, 200}, both)), ElementsAre(20, 30, 0, 0));
  // Computed from where it was placed, so no shrinking and growing wears it away.
  EXPECT_THAT(Parts(Anchored(placed, {400, 300}, {400, 300}, both)), ElementsAre(20, 30, 100, 40));
  const Anchor right = *ParseAnchor("right top");
  EXPECT_THAT(Parts(Anchored(placed, {400, 300}, {300, 250}, right)),
              ElementsAre(-80, -20, 100, 40));
}

}  // namespace
}  // namespace dk::internal
