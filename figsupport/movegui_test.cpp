#include "figsupport/movegui.h"

#include <functional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/errors.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::Numbers;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// On the headless 1024x768 screen, with the module set up and the console captured.
class Movegui : public ::testing::Test {
 protected:
  Movegui() { InitializeModule_movegui(); }
  ~Movegui() override { TerminateModule_movegui(); }

  // A figure whose outer rectangle is `outer`, in pixels.
  Value Window(const std::vector<double>& outer) {
    return CreateFigure({{"OuterPosition", Value::Row(outer)}});
  }
  std::vector<double> Outer(const Value& fig) {
    return Numbers(mlfNGet(1, fig, Value::Text("OuterPosition")));
  }
  std::string MoveError(std::vector<Value> args) {
    return ErrorOf([&] { mlfMovegui(std::move(args)); });
  }

  ScopedHeadlessGraphics g_;
  test::TestEnv env_;
};

TEST_F(Movegui, NamedPlacesOnTheScreen) {
  const struct {
    const char* name;
    double left, bottom;
  } cases[] = {
      {"north", 362, 568},   {"south", 362, 0},       {"east", 724, 284},
      {"west", 0, 284},      {"northeast", 724, 568}, {"southeast", 724, 0},
      {"northwest", 0, 568}, {"southwest", 0, 0},     {"center", 362, 284},
  };
  const Value fig = Window({50, 50, 300, 200});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mlfMovegui({fig, Value::Text(c.name)});
    EXPECT_THAT(Outer(fig), ElementsAre(c.left, c.bottom, 300, 200));
  }
  // Only "north" shows the corner.
  EXPECT_EQ(env_.out, "newpos = 362  568\n");
}

TEST_F(Movegui, HalvesAreKept) {
  const Value fig = Window({0, 0, 301, 201});
  mlfMovegui({Value::Text("center"), fig});
  EXPECT_THAT(Outer(fig), ElementsAre(361.5, 283.5, 301, 201));
}

TEST_F(Movegui, OnscreenPullsBackOnlyWhatLiesOff) {
  const Value fig = Window({100, 100, 300, 200});
  mlfMovegui({fig, Value::Text("onscreen")});
  EXPECT_THAT(Outer(fig), ElementsAre(100, 100, 300, 200));
  mlfNSet(0, fig, Value::Text("OuterPosition"), Value::Row({-50, 700, 300, 200}));
  mlfMovegui({fig});
  EXPECT_THAT(Outer(fig), ElementsAre(0, 568, 300, 200));
  mlfNSet(0, fig, Value::Text("OuterPosition"), Value::Row({900, -30, 300, 200}));
  mlfMovegui({fig});
  EXPECT_THAT(Outer(fig), ElementsAre(724, 0, 300, 200));
  EXPECT_EQ(env_.out, "");
}

TEST_F(Movegui, WindowLargerThanTheScreenIsCapped) {
  const Value fig = Window({-100, 40, 1200, 900});
  mlfMovegui({fig, Value::Text("northeast")});
  EXPECT_THAT(Outer(fig), ElementsAre(0, 0, 1024, 768));
}

TEST_F(Movegui, CornersInPixels) {
  const Value fig = Window({50, 50, 300, 200});
  mlfMovegui({fig, Value::Row({2000, 100})});  // off the screen, yet not clamped
  EXPECT_THAT(Outer(fig), ElementsAre(2000, 100, 300, 200));
  mlfMovegui({fig, Value::Row({-10, -10})});  // from the right and top edges
  EXPECT_THAT(Outer(fig), ElementsAre(714, 558, 300, 200));
  mlfMovegui({Value::Matrix(2, 1, {5, -1}), fig});
  EXPECT_THAT(Outer(fig), ElementsAre(5, 567, 300, 200));
}

TEST_F(Movegui, FrameAllowanceWhenTheDrawingAreaExceedsTheWindowBothWays) {
  g_.ui().set_frame({-2, -2, -10, -2});  // inner rectangle outside the outer one
  const Value fig = Window({50, 50, 300, 200});
  mlfMovegui({fig, Value::Text("southwest")});
  EXPECT_THAT(Outer(fig), ElementsAre(0, 0, 306, 224));
  // After the cap: 6 wider than the screen, and the corner rests on the capped size.
  const Value wide = Window({0, 0, 1100, 200});
  mlfMovegui({wide, Value::Text("east")});
  EXPECT_THAT(Outer(wide), ElementsAre(0, 284, 1030, 224));
  // Larger one way only: nothing added.
  g_.ui().set_frame({-2, -2, 5, 5});
  const Value one_way = Window({50, 50, 300, 200});
  mlfMovegui({one_way, Value::Text("southwest")});
  EXPECT_THAT(Outer(one_way), ElementsAre(0, 0, 300, 200));
}

TEST_F(Movegui, WhichFigureMoves) {
  const Value first = Window({-50, 0, 300, 200});
  const Value box = CreateControl(first, "edit", "NumBox");
  const Value current = Window({-50, 0, 300, 200});
  mlfMovegui({});
  EXPECT_THAT(Outer(current), ElementsAre(0, 0, 300, 200));
  {
    CallbackScope running(box.num(0));
    mlfMovegui({});
  }
  EXPECT_THAT(Outer(first), ElementsAre(0, 0, 300, 200));
  mlfMovegui({Value::Text("north"), box});  // a control's handle names its figure
  EXPECT_THAT(Outer(first), ElementsAre(362, 568, 300, 200));
  mlfMovegui({current, first, Value::Text("south")});  // the last handle wins
  EXPECT_THAT(Outer(first), ElementsAre(362, 0, 300, 200));
}

TEST_F(Movegui, UnitsAndPositionModeAreRestoredInOrder) {
  const Value fig = CreateFigure({{"Units", Value::Text("normalized")},
                                  {"ActivePositionProperty", Value::Text("position")},
                                  {"OuterPosition", Value::Row({0.5, 0.5, 0.25, 0.25})}});
  mlfNSet(0, Value::Scalar(0), Value::Text("Units"), Value::Text("inches"));
  g_.ui().ClearRecord();
  mlfMovegui({fig, Value::Text("southwest")});

  EXPECT_EQ(mlfNGet(1, fig, Value::Text("Units")).utf8(), "normalized");
  EXPECT_EQ(mlfNGet(1, fig, Value::Text("ActivePositionProperty")).utf8(), "position");
  EXPECT_EQ(mlfNGet(1, Value::Scalar(0), Value::Text("Units")).utf8(), "inches");
  EXPECT_THAT(Outer(fig), ElementsAre(0, 0, 0.25, 0.25));
  std::vector<std::string> sets;
  for (const PropertySet& set : g_.ui().record().properties) {
    sets.push_back(std::to_string(int(set.handle)) + " " + set.property + " " +
                   (set.value.is_char() ? set.value.utf8() : "rect"));
  }
  EXPECT_THAT(sets, ElementsAreArray({"1 Units pixels", "0 Units pixels", "0 Units inches",
                                      "1 OuterPosition rect", "1 Units normalized",
                                      "1 ActivePositionProperty position"}));
  EXPECT_EQ(g_.ui().record().flushes, 1);
}

TEST_F(Movegui, ArgumentErrorsChangeNothing) {
  const Value fig = Window({-50, 0, 300, 200});
  g_.ui().ClearRecord();
  EXPECT_EQ(MoveError({fig, Value::Text("north"), fig, fig}),
            "movegui: too many input arguments (0 to 3 expected, 4 given).");
  EXPECT_EQ(MoveError({fig, Value::Text("North")}), "unrecognized position");
  EXPECT_EQ(MoveError({Value::Text(""), fig}), "unrecognized position");
  EXPECT_EQ(MoveError({fig, Value::Row({1, 2, 3})}), "unrecognized input argument");
  EXPECT_EQ(MoveError({fig, Value::Struct()}), "unrecognized input argument");
  EXPECT_EQ(MoveError({Value::Scalar(0)}), "handle of figure or descendant required");
  EXPECT_TRUE(g_.ui().record().properties.empty());
  EXPECT_EQ(g_.ui().record().flushes, 0);
}

TEST_F(Movegui, RunningCallbackSkipsOnlyTheSecondArgument) {
  const Value fig = Window({50, 50, 300, 200});
  CallbackScope running(CreateControl(fig, "pushbutton", "Go").num(0));
  mlfMovegui({fig, Value::Struct(), Value::Text("south")});
  EXPECT_THAT(Outer(fig), ElementsAre(362, 0, 300, 200));
  EXPECT_EQ(MoveError({Value::Struct(), fig}), "unrecognized input argument");
  EXPECT_EQ(MoveError({fig, Value::Text("north"), Value::Struct()}), "unrecognized input argument");
}

TEST_F(Movegui, EntriesCheckTheirCounts) {
  const Value fig = Window({-50, 0, 300, 200});
  Value out[2];
  Value in[4] = {fig, Value::Text("south")};
  EXPECT_EQ(dk::ErrorOf([&] { mlxMovegui(1, out, 2, in); }),
            "Run-time Error: File: movegui Line: 1 Column: 1 The function \"movegui\" was called "
            "with more than the declared number of outputs (0).");
  mlxMovegui(0, out, 2, in);
  EXPECT_THAT(Outer(fig), ElementsAre(362, 0, 300, 200));

  const std::string prefix =
      "Run-time Error: File: movegui/get_parent_fig Line: 166 Column: 1 The function "
      "\"movegui/get_parent_fig\" was called with more than the declared number of ";
  EXPECT_EQ(dk::ErrorOf([&] { mlxMovegui_get_parent_fig(2, out, 2, in); }),
            prefix + "outputs (1).");
  EXPECT_EQ(dk::ErrorOf([&] { mlxMovegui_get_parent_fig(1, out, 2, in); }), prefix + "inputs (1).");
  in[0] = CreateControl(fig, "edit", "OutBox");
  mlxMovegui_get_parent_fig(0, out, 1, in);  // slot 1 is filled even with no output asked
  EXPECT_EQ(out[0].num(0), fig.num(0));
  EXPECT_TRUE(mlfMovegui_get_parent_fig(Value::Scalar(0)).empty());
}

TEST_F(Movegui, DirectEntryStopsAtAnAbsentValue) {
  const Value fig = Window({50, 50, 300, 200});
  mlfMovegui({fig, Value::Text("south"), Value(), Value::Text("north")});
  EXPECT_THAT(Outer(fig), ElementsAre(362, 0, 300, 200));
}

}  // namespace
}  // namespace dk
