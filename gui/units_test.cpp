#include "gui/units.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk::internal {
namespace {

using dk::test::ErrorOf;
using ::testing::DoubleNear;
using ::testing::HasSubstr;
using ::testing::Pointwise;

std::vector<double> Parts(const Rect& r) {
  return {r.left, r.bottom, r.width, r.height};
}

auto Near(const std::vector<double>& expected) {
  return Pointwise(DoubleNear(1e-9), expected);
}

// A 1024x768 screen whose pixels start at (100, 50), 96 ppi, an 8 pt font.
UnitBasis Screen() {
  UnitBasis b;
  b.pixels_per_inch = 96;
  b.font_size = 8;
  b.origin_x = 100;
  b.origin_y = 50;
  b.area_width = 1024;
  b.area_height = 768;
  return b;
}

TEST(UnitScale, EachUnitMeasuresFromTheBasis) {
  const UnitBasis b = Screen();
  struct Expected {
    const char* units;
    double x;
    double y;
  };
  // One point is 96/72 px; a character cell is 8 pt * 0.5 wide and 8 pt * 1.2 tall.
  const std::vector<Expected> expected = {{"inches", 96, 96},
                                          {"centimeters", 96 / 2.54, 96 / 2.54},
                                          {"points", 96 / 72.0, 96 / 72.0},
                                          {"characters", 16 / 3.0, 12.8},
                                          {"normalized", 1024, 768}};
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.units);
    const Scale s = ScaleOf(e.units, b);
    EXPECT_DOUBLE_EQ(s.x, e.x);
    EXPECT_DOUBLE_EQ(s.y, e.y);
    EXPECT_EQ(s.origin_x, 100);
    EXPECT_EQ(s.origin_y, 50);
  }
}

TEST(UnitScale, PixelsIgnoreTheBasis) {
  const Scale s = ScaleOf("pixels", Screen());
  EXPECT_EQ(s.x, 1);
  EXPECT_EQ(s.y, 1);
  EXPECT_EQ(s.origin_x, 0);
  EXPECT_EQ(s.origin_y, 0);
}

TEST(UnitScale, FactsOtherThanTheUnitsOwnDoNotMatter) {
  UnitBasis b = Screen();
  b.font_size = 30;  // only characters follow the font
  EXPECT_DOUBLE_EQ(ScaleOf("inches", b).x, 96);
  EXPECT_DOUBLE_EQ(ScaleOf("characters", b).y, 30 * 96 / 72.0 * 1.2);
  b.pixels_per_inch = 144;  // normalized follows only the area
  EXPECT_DOUBLE_EQ(ScaleOf("normalized", b).x, 1024);
  EXPECT_DOUBLE_EQ(ScaleOf("points", b).x, 2);
}

TEST(UnitScale, UnknownUnitsAreNamed) {
  EXPECT_THAT(ErrorOf([] { ScaleOf("furlongs", Screen()); }), HasSubstr("\"furlongs\""));
  // Names are exact: the model stores choices in lower case.
  EXPECT_THAT(ErrorOf([] { ScaleOf("Inches", Screen()); }), HasSubstr("Unknown units"));
  EXPECT_THAT(ErrorOf([] { ScaleOf("", Screen()); }), HasSubstr("Unknown units"));
}

TEST(UnitConversion, ToUnitsCountsFromTheOrigin) {
  const UnitBasis b = Screen();
  const Rect px{196, 146, 192, 96};
  EXPECT_THAT(Parts(ToUnits(px, ScaleOf("inches", b))), Near({1, 1, 2, 1}));
  EXPECT_THAT(Parts(ToUnits(px, ScaleOf("normalized", b))),
              Near({96 / 1024.0, 0.125, 0.1875, 0.125}));
  EXPECT_THAT(Parts(ToUnits(px, ScaleOf("pixels", b))), Near({196, 146, 192, 96}));
  // Sizes never depend on the origin, positions always do.
  UnitBasis moved = b;
  moved.origin_x = 0;
  moved.origin_y = 0;
  EXPECT_THAT(Parts(ToUnits(px, ScaleOf("points", moved))), Near({147, 109.5, 144, 72}));
}

TEST(UnitConversion, FromUnitsUndoesToUnitsInEveryUnit) {
  const UnitBasis b = Screen();
  const Rect px{-37.5, 811, 0.25, 4096};
  for (const char* units :
       {"pixels", "inches", "centimeters", "points", "characters", "normalized"}) {
    SCOPED_TRACE(units);
    const Scale s = ScaleOf(units, b);
    EXPECT_THAT(Parts(FromUnits(ToUnits(px, s), s)), Near(Parts(px)));
  }
  EXPECT_THAT(Parts(FromUnits({0, 0, 1, 1}, ScaleOf("normalized", b))), Near({100, 50, 1024, 768}));
}

TEST(FrameConversion, GrowAddsEachSideAndShrinkTakesItBack) {
  const FrameSize frame{3, 5, 21, 7};  // left, right, top (title bar), bottom
  const Rect inner{100, 100, 300, 200};
  const Rect outer = Grow(inner, frame);
  EXPECT_THAT(Parts(outer), Near({97, 93, 308, 228}));
  EXPECT_THAT(Parts(Shrink(outer, frame)), Near(Parts(inner)));
  EXPECT_THAT(Parts(Grow(Shrink(inner, frame), frame)), Near(Parts(inner)));
  EXPECT_THAT(Parts(Grow(inner, FrameSize{})), Near(Parts(inner)));
}

}  // namespace
}  // namespace dk::internal
