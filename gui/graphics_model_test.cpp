// The graphics model as its window system sees it: only through GraphicsHost.
#include "gui/graphics_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <vector>

#include "base/errors.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::Numbers;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<double> Parts(const Rect& r) {
  return {r.left, r.bottom, r.width, r.height};
}

// A figure in inches with one control in normalized units, on the default headless
// screen (1024x768, 96 ppi, frame 3 on each side and 21 on top).
class ModelAsHost : public ::testing::Test {
 protected:
  GraphicsHost& host() { return g_.ui().host(); }

  ScopedHeadlessGraphics g_;
  Value fig_ =
      CreateFigure({{"Units", Value::Text("inches")}, {"Position", Value::Row({1, 1, 4, 2})}});
  Value box_ = CreateControl(
      fig_, "edit", "Box", "",
      {{"Units", Value::Text("normalized")}, {"Position", Value::Row({0.5, 0.5, 0.25, 0.25})}});
  double fig() const { return fig_.num(0); }
  double box() const { return box_.num(0); }
};

TEST_F(ModelAsHost, PixelRectIgnoresTheUnits) {
  EXPECT_THAT(Parts(host().PixelRect(fig(), "position")), ElementsAre(96, 96, 384, 192));
  EXPECT_THAT(Parts(host().PixelRect(fig(), "OuterPosition")), ElementsAre(93, 93, 390, 216));
  EXPECT_THAT(Parts(host().PixelRect(box(), "Position")), ElementsAre(192, 96, 96, 48));
  EXPECT_THAT(ErrorOf([&] { host().PixelRect(box(), "FontSize"); }),
              HasSubstr("\"FontSize\" of a uicontrol object is not a rectangle"));
  EXPECT_THAT(ErrorOf([&] { host().PixelRect(fig(), "Outer"); }), HasSubstr("Unknown property"));
  EXPECT_THAT(ErrorOf([&] { host().PixelRect(7, "Position"); }), HasSubstr("Invalid handle: 7"));
}

TEST_F(ModelAsHost, UserPlacedMovesWithoutEchoAndReadsBackInUnits) {
  host().UserPlaced(fig(), "OuterPosition", {0, 0, 486, 312});
  EXPECT_THAT(Numbers(mlfNGet(1, fig_, Value::Text("Position"))),
              ElementsAre(3 / 96.0, 3 / 96.0, 5, 3));
  // Controls keep their place from the drawing area's corner, so the box reads the same.
  host().UserPlaced(box(), "Position", {240, 144, 120, 72});
  EXPECT_THAT(Numbers(mlfNGet(1, box_, Value::Text("Position"))),
              ElementsAre(0.5, 0.5, 0.25, 0.25));
  EXPECT_TRUE(g_.ui().record().SetsOf(fig(), "OuterPosition").empty());
  EXPECT_TRUE(g_.ui().record().SetsOf(box(), "Position").empty());
}

TEST_F(ModelAsHost, UserPlacedRefusesWhatASetWouldRefuse) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THAT(ErrorOf([&] {
                host().UserPlaced(fig(), "Position", {0, nan, 10, 10});
              }),
              HasSubstr("four numbers"));
  EXPECT_THAT(Parts(host().PixelRect(fig(), "Position")), ElementsAre(96, 96, 384, 192));
  EXPECT_THAT(ErrorOf([&] {
                host().UserPlaced(box(), "String", {0, 0, 1, 1});
              }),
              HasSubstr("not a rectangle"));
  DeleteObject(box_);
  EXPECT_THAT(ErrorOf([&] {
                host().UserPlaced(box(), "Position", {0, 0, 1, 1});
              }),
              HasSubstr("Invalid handle"));
}

TEST_F(ModelAsHost, TryGetAnswersWithoutRaising) {
  const std::optional<Value> units = host().TryGet(box(), "UNITS");
  ASSERT_TRUE(units.has_value());
  EXPECT_EQ(units->utf8(), "normalized");
  // As the program reads it: in the object's units.
  EXPECT_THAT(Numbers(*host().TryGet(fig(), "Position")), ElementsAre(1, 1, 4, 2));
  EXPECT_FALSE(host().TryGet(box(), "TooltipString").has_value());
  EXPECT_FALSE(host().TryGet(999.5, "Tag").has_value());
  EXPECT_EQ(host().TryGet(0, "CurrentFigure")->num(0), fig());
  // A property a figure file adds is there to read.
  const Value menu = CreateObject("uimenu", fig_, {{"Label", Value::Text("File")}});
  EXPECT_EQ(host().TryGet(menu.num(0), "label")->utf8(), "File");
  DeleteObject(fig_);
  EXPECT_FALSE(host().TryGet(box(), "Tag").has_value());
  EXPECT_TRUE(host().TryGet(0, "CurrentFigure")->empty());
}

TEST_F(ModelAsHost, TreeQueriesSeeHiddenObjectsInCreationOrder) {
  const Value second = CreateFigure({{"HandleVisibility", Value::Text("off")}});
  const Value label = CreateControl(second, "text", "Label");
  EXPECT_THAT(host().Figures(), ElementsAre(fig(), second.num(0)));
  EXPECT_THAT(host().Descendants(0), ElementsAre(0, fig(), box(), second.num(0), label.num(0)));
  EXPECT_THAT(host().Descendants(second.num(0)), ElementsAre(second.num(0), label.num(0)));
  host().UserClosed(fig());
  EXPECT_THAT(host().Figures(), ElementsAre(second.num(0)));
  EXPECT_FALSE(host().IsLive(box()));
  EXPECT_THAT(ErrorOf([&] { host().UserClosed(label.num(0)); }),
              HasSubstr("is a uicontrol, not a figure"));
}

TEST_F(ModelAsHost, UserChangesAreCheckedAndNotEchoed) {
  host().UserChanged(box(), "string", Value::Text("12"));
  EXPECT_EQ(mlfNGet(1, box_, Value::Text("String")).utf8(), "12");
  host().UserChanged(box(), "Enable", Value::Text("OFF"));
  EXPECT_EQ(host().Get(box(), "Enable").utf8(), "off");
  EXPECT_THAT(ErrorOf([&] { host().UserChanged(box(), "Enable", Value::Text("half")); }),
              HasSubstr("\"on\", \"off\" or \"inactive\""));
  EXPECT_THAT(ErrorOf([&] { host().UserChanged(box(), "Type", Value::Text("figure")); }),
              HasSubstr("cannot be set"));
  EXPECT_TRUE(g_.ui().record().properties.empty());
}

}  // namespace
}  // namespace dk
