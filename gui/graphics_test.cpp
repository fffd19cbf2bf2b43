#include "gui/graphics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/errors.h"
#include "gui/headless/headless_window_system.h"
#include "os/env.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::Numbers;

using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pointwise;

std::string GetText(const Value& h, const char* name) {
  return mlfNGet(1, h, Value::Text(name)).utf8();
}

// The main window's layout: a figure with the four edit controls.
struct MainWindow {
  Value fig = CreateFigure();
  Value out = CreateControl(fig, "edit", "OutBox");
  Value num = CreateControl(fig, "edit", "NumBox", "3");
  Value rep = CreateControl(fig, "edit", "RepBox", "10");
  Value init = CreateControl(fig, "edit", "InitBox");
};

TEST(GraphicsProperties, NamesMatchInAnyLetterCase) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  mlfNSet(0, w.num, Value::Text("sTrInG"), Value::Text("7"));
  EXPECT_EQ(GetText(w.num, "String"), "7");
  EXPECT_EQ(GetText(w.num, "tag"), "NumBox");
  EXPECT_EQ(GetText(w.fig, "TYPE"), "figure");
  // The backend hears the canonical spelling.
  ASSERT_EQ(g.ui().record().properties.size(), 1u);
  EXPECT_EQ(g.ui().record().properties[0].property, "String");
}

TEST(GraphicsProperties, UnknownPropertyNamesPropertyAndType) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  EXPECT_EQ(ErrorOf([&] { mlfNGet(1, w.num, Value::Text("Colour")); }),
            "Unknown property \"Colour\" of a uicontrol object");
  EXPECT_THAT(ErrorOf([&] { mlfNSet(0, Value::Scalar(0), Value::Text("Tagg"), Value::Text("x")); }),
              HasSubstr("\"Tagg\" of a root object"));
}

TEST(GraphicsProperties, ValuesAreCheckedOnSet) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  EXPECT_THAT(ErrorOf([&] { mlfNSet(0, w.fig, Value::Text("Visible"), Value::Text("maybe")); }),
              HasSubstr("expected \"on\" or \"off\""));
  EXPECT_THAT(ErrorOf([&] {
                mlfNSet(0, w.fig, Value::Text("Position"), Value::Row({1, 2, 3}));
              }),
              HasSubstr("four numbers"));
  EXPECT_THAT(ErrorOf([&] {
                mlfNSet(0, w.fig, Value::Text("Color"), Value::Row({1, 2, 0}));
              }),
              HasSubstr("from 0 to 1"));
  EXPECT_THAT(ErrorOf([&] { mlfNSet(0, w.fig, Value::Text("Type"), Value::Text("axes")); }),
              HasSubstr("cannot be set"));
  // Choices are stored as listed, whatever case they were given in, so exact
  // comparisons with "on" and "pixels" hold.
  mlfNSet(0, w.fig, Value::Text("Visible"), Value::Text("OFF"));
  mlfNSet(0, w.fig, Value::Text("Units"), Value::Text("Normalized"));
  EXPECT_EQ(GetText(w.fig, "Visible"), "off");
  EXPECT_EQ(GetText(w.fig, "Units"), "normalized");
  EXPECT_TRUE(g.ui().record().SetsOf(w.fig.num(0), "Position").empty());
}

TEST(GraphicsProperties, DefaultsOfRootFigureAndControl) {
  ScopedHeadlessGraphics g;
  g.ui().set_screen_size(1280, 1024);
  const Value root = Value::Scalar(0);
  EXPECT_EQ(GetText(root, "type"), "root");
  EXPECT_TRUE(mlfNGet(1, root, Value::Text("parent")).empty());
  EXPECT_EQ(GetText(root, "units"), "pixels");
  EXPECT_THAT(Numbers(mlfNGet(1, root, Value::Text("screensize"))), ElementsAre(0, 0, 1280, 1024));
  EXPECT_THAT(Numbers(mlfNGet(1, root, Value::Text("defaultUicontrolBackgroundColor"))),
              ElementsAre(0.94, 0.94, 0.94));

  MainWindow w;
  EXPECT_EQ(mlfNGet(1, w.num, Value::Text("parent")).num(0), w.fig.num(0));
  EXPECT_EQ(mlfNGet(1, w.fig, Value::Text("parent")).num(0), 0);
  EXPECT_EQ(GetText(w.out, "Tag"), "OutBox");
  EXPECT_EQ(GetText(w.fig, "Tag"), "");
  EXPECT_EQ(GetText(w.fig, "visible"), "on");
  EXPECT_EQ(GetText(w.fig, "activepositionproperty"), "outerposition");
  EXPECT_EQ(GetText(w.num, "style"), "edit");
}

TEST(GraphicsProperties, FigureRectanglesDifferByTheFrame) {
  ScopedHeadlessGraphics g;
  g.ui().set_frame({4, 4, 30, 4});
  const Value a = CreateFigure({{"Position", Value::Row({100, 100, 300, 200})}});
  EXPECT_THAT(Numbers(mlfNGet(1, a, Value::Text("outerposition"))), ElementsAre(96, 96, 308, 234));
  const Value b = CreateFigure({{"OuterPosition", Value::Row({0, 0, 308, 234})}});
  EXPECT_THAT(Numbers(mlfNGet(1, b, Value::Text("position"))), ElementsAre(4, 4, 300, 200));
}

TEST(GraphicsProperties, CreationKeepsUnknownPropertiesAsData) {
  ScopedHeadlessGraphics g;
  const Value fig = CreateFigure();
  const Value menu = CreateObject("uimenu", fig, {{"Label", Value::Text("File")}});
  EXPECT_EQ(GetText(menu, "label"), "File");
  EXPECT_EQ(GetText(menu, "Type"), "uimenu");
  EXPECT_THAT(ErrorOf([&] { CreateObject("uicontrol", Value::Scalar(0)); }),
              HasSubstr("must be a figure"));
  EXPECT_THAT(ErrorOf([&] { CreateObject("figure", fig); }), HasSubstr("must be the root"));
}

// ---- Geometry: a 1024x768 screen, 96 ppi, 8 pt font,
// frame 3 left, right and bottom and 21 on top.

std::vector<double> Rect4(const Value& h, const char* property) {
  return Numbers(mlfNGet(1, h, Value::Text(property)));
}

auto Near(const std::vector<double>& expected) {
  return Pointwise(DoubleNear(1e-9), expected);
}

void SetUnits(const Value& h, const char* units) {
  mlfNSet(0, h, Value::Text("Units"), Value::Text(units));
}

TEST(GraphicsGeometry, FigureReadsInEveryUnitAndRoundTrips) {
  ScopedHeadlessGraphics g;
  const Value fig = CreateFigure({{"Position", Value::Row({96, 96, 192, 96})}});
  // One character cell is 8 pt * 96/72 * 0.5 = 16/3 px wide and 12.8 px tall.
  const std::vector<std::pair<const char*, std::vector<double>>> expected = {
      {"inches", {1, 1, 2, 1}},
      {"points", {72, 72, 144, 72}},
      {"centimeters", {2.54, 2.54, 5.08, 2.54}},
      {"normalized", {0.09375, 0.125, 0.1875, 0.125}},
      {"characters", {18, 7.5, 36, 7.5}},
      {"pixels", {96, 96, 192, 96}},
  };
  for (const auto& [units, rect] : expected) {
    SCOPED_TRACE(units);
    SetUnits(fig, units);
    const std::vector<double> read = Rect4(fig, "Position");
    EXPECT_THAT(read, Near(rect));
    mlfNSet(0, fig, Value::Text("Position"), Value::Row(read));  // writing back moves nothing
    SetUnits(fig, "pixels");
    EXPECT_THAT(Rect4(fig, "Position"), Near({96, 96, 192, 96}));
  }
}

TEST(GraphicsGeometry, OuterIsInnerGrownByTheFrameInAnyUnits) {
  ScopedHeadlessGraphics g;
  const Value fig =
      CreateFigure({{"Units", Value::Text("inches")}, {"Position", Value::Row({1, 1, 2, 1})}});
  EXPECT_THAT(Rect4(fig, "OuterPosition"),
              Near({1 - 3 / 96.0, 1 - 3 / 96.0, 2 + 6 / 96.0, 1 + 24 / 96.0}));
  // Setting the outer rectangle moves the inner one with it.
  SetUnits(fig, "normalized");
  mlfNSet(0, fig, Value::Text("OuterPosition"), Value::Row({0, 0, 1, 1}));
  SetUnits(fig, "pixels");
  EXPECT_THAT(Rect4(fig, "OuterPosition"), ElementsAre(0, 0, 1024, 768));
  EXPECT_THAT(Rect4(fig, "Position"), ElementsAre(3, 3, 1018, 744));
  // The backend hears rectangles in pixels, whatever the units they were set in.
  const std::vector<Value> heard = g.ui().record().SetsOf(fig.num(0), "OuterPosition");
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_THAT(Numbers(heard[0]), ElementsAre(0, 0, 1024, 768));
}

TEST(GraphicsGeometry, ActivePositionPropertyKeepsItsRectangleWhenTheFrameChanges) {
  ScopedHeadlessGraphics g;
  const Value keeps_outer = CreateFigure({{"OuterPosition", Value::Row({10, 10, 300, 200})}});
  const Value keeps_inner = CreateFigure({{"ActivePositionProperty", Value::Text("position")},
                                          {"Position", Value::Row({10, 10, 300, 200})}});
  g.ui().set_frame({0, 0, 30, 0});
  EXPECT_THAT(Rect4(keeps_outer, "OuterPosition"), ElementsAre(10, 10, 300, 200));
  EXPECT_THAT(Rect4(keeps_outer, "Position"), ElementsAre(10, 10, 300, 170));
  EXPECT_THAT(Rect4(keeps_inner, "Position"), ElementsAre(10, 10, 300, 200));
  EXPECT_THAT(Rect4(keeps_inner, "OuterPosition"), ElementsAre(10, 10, 300, 230));
  // Switching what is kept moves nothing.
  mlfNSet(0, keeps_inner, Value::Text("ActivePositionProperty"), Value::Text("outerposition"));
  EXPECT_THAT(Rect4(keeps_inner, "OuterPosition"), ElementsAre(10, 10, 300, 230));
}

TEST(GraphicsGeometry, RootScreenSizeFollowsTheRootsUnits) {
  ScopedHeadlessGraphics g;
  const Value root = Value::Scalar(0);
  SetUnits(root, "inches");
  EXPECT_THAT(Rect4(root, "ScreenSize"), Near({0, 0, 1024 / 96.0, 8}));
  SetUnits(root, "normalized");
  EXPECT_THAT(Rect4(root, "ScreenSize"), ElementsAre(0, 0, 1, 1));
  SetUnits(root, "characters");
  EXPECT_THAT(Rect4(root, "ScreenSize"), Near({0, 0, 192, 60}));
  SetUnits(root, "pixels");
  EXPECT_THAT(Rect4(root, "ScreenSize"), ElementsAre(0, 0, 1024, 768));
  // A screen whose pixels start elsewhere: other units measure from its corner.
  g.ui().set_screen({100, 50, 1024, 768});
  const Value fig = CreateFigure({{"OuterPosition", Value::Row({100, 50, 512, 384})}});
  SetUnits(fig, "normalized");
  EXPECT_THAT(Rect4(fig, "OuterPosition"), ElementsAre(0, 0, 0.5, 0.5));
  SetUnits(root, "normalized");
  EXPECT_THAT(Rect4(root, "ScreenSize"), ElementsAre(0, 0, 1, 1));
}

TEST(GraphicsGeometry, ControlsMeasureFromTheirFigure) {
  ScopedHeadlessGraphics g;
  const Value fig = CreateFigure({{"Position", Value::Row({101, 51, 400, 300})}});
  const Value box = CreateControl(
      fig, "edit", "Box", "",
      {{"Units", Value::Text("normalized")}, {"Position", Value::Row({0.5, 0, 0.25, 0.1})}});
  SetUnits(box, "pixels");
  EXPECT_THAT(Rect4(box, "Position"), Near({200, 0, 100, 30}));
  SetUnits(box, "inches");  // from the figure's corner, not the screen's pixel origin
  EXPECT_THAT(Rect4(box, "Position"), Near({200 / 96.0, 0, 100 / 96.0, 30 / 96.0}));
  EXPECT_THAT(Numbers(mlfNGet(1, CreateControl(fig, "text", "T"), Value::Text("Position"))),
              ElementsAre(20, 20, 60, 20));
}

// A 400 by 300 figure with a control of each kind of anchor.
struct AnchoredWindow {
  Value fig = CreateFigure({{"Position", Value::Row({100, 100, 400, 300})}});
  Value still =
      CreateControl(fig, "pushbutton", "Still", "", {{"Position", Value::Row({20, 20, 100, 30})}});
  Value corner = CreateControl(
      fig, "pushbutton", "Corner", "",
      {{"Position", Value::Row({280, 250, 100, 30})}, {"Anchor", Value::Text("right top")}});
  Value list = CreateControl(fig, "edit", "List", "",
                             {{"Anchor", Value::Text("top bottom right left")},
                              {"Position", Value::Row({20, 60, 360, 180})}});
};

TEST(GraphicsGeometry, AnchoredControlsFollowTheirFiguresSize) {
  ScopedHeadlessGraphics g;
  const AnchoredWindow w;
  EXPECT_EQ(GetText(w.list, "Anchor"), "left right bottom top");
  EXPECT_EQ(GetText(w.still, "Anchor"), "left bottom");
  // A program makes the window 100 wider and 50 taller.
  mlfNSet(0, w.fig, Value::Text("Position"), Value::Row({100, 100, 500, 350}));
  EXPECT_THAT(Rect4(w.still, "Position"), ElementsAre(20, 20, 100, 30));
  EXPECT_THAT(Rect4(w.corner, "Position"), ElementsAre(380, 300, 100, 30));
  EXPECT_THAT(Rect4(w.list, "Position"), ElementsAre(20, 60, 460, 230));
  // A person makes it smaller than it was made: the list shrinks, the corner follows.
  g.ui().Place(w.fig.num(0), "Position", {0, 0, 300, 250});
  EXPECT_THAT(Rect4(w.corner, "Position"), ElementsAre(180, 200, 100, 30));
  EXPECT_THAT(Rect4(w.list, "Position"), ElementsAre(20, 60, 260, 130));
  const Rect shown = g.ui().Shown(w.list.num(0), "Position");
  EXPECT_EQ(shown.width, 260);
  // In other units the same place.
  SetUnits(w.list, "normalized");
  EXPECT_THAT(Rect4(w.list, "Position"), Near({20 / 300.0, 60 / 250.0, 260 / 300.0, 130 / 250.0}));
  // Back to its first size, everything is where the figure file put it.
  g.ui().Place(w.fig.num(0), "Position", {0, 0, 400, 300});
  SetUnits(w.list, "pixels");
  EXPECT_THAT(Rect4(w.list, "Position"), ElementsAre(20, 60, 360, 180));
  EXPECT_THAT(Rect4(w.corner, "Position"), ElementsAre(280, 250, 100, 30));
}

TEST(GraphicsGeometry, APlaceOrAnAnchorSetLaterCountsFromTheSizeThen) {
  ScopedHeadlessGraphics g;
  const AnchoredWindow w;
  const Value fig = w.fig;
  mlfNSet(0, fig, Value::Text("Position"), Value::Row({100, 100, 500, 400}));
  // Placed anew at this size: its distances count from here.
  mlfNSet(0, w.corner, Value::Text("Position"), Value::Row({300, 300, 100, 30}));
  mlfNSet(0, fig, Value::Text("Position"), Value::Row({100, 100, 600, 400}));
  EXPECT_THAT(Rect4(w.corner, "Position"), ElementsAre(400, 300, 100, 30));
  // A new anchor keeps the control where it is and follows its edges from then on.
  mlfNSet(0, w.list, Value::Text("Anchor"), Value::Text("left bottom"));
  EXPECT_THAT(Rect4(w.list, "Position"), ElementsAre(20, 60, 560, 280));
  mlfNSet(0, fig, Value::Text("Position"), Value::Row({100, 100, 400, 300}));
  EXPECT_THAT(Rect4(w.list, "Position"), ElementsAre(20, 60, 560, 280));
  EXPECT_THAT(ErrorOf([&] { mlfNSet(0, w.list, Value::Text("Anchor"), Value::Text("middle")); }),
              HasSubstr("Invalid value for property \"Anchor\" of a uicontrol object"));
}

TEST(GraphicsGeometry, TheSmallestAreaKeepsEveryStretchingControlWhole) {
  ScopedHeadlessGraphics g;
  const AnchoredWindow w;
  const double fig = w.fig.num(0);
  EXPECT_EQ(g.ui().host().MinimumArea(fig), (Size{400, 300}));
  // Only controls that stretch count, each in the direction it stretches.
  mlfNSet(0, w.list, Value::Text("Anchor"), Value::Text("left right bottom"));
  mlfNSet(0, w.fig, Value::Text("Position"), Value::Row({100, 100, 450, 500}));
  mlfNSet(0, w.list, Value::Text("Position"), Value::Row({20, 60, 410, 180}));
  EXPECT_EQ(g.ui().host().MinimumArea(fig), (Size{450, 0}));
  DeleteObject(w.list);
  EXPECT_EQ(g.ui().host().MinimumArea(fig), (Size{0, 0}));
}

TEST(GraphicsGeometry, UserMovesAreNotEchoedAndReadInUnits) {
  ScopedHeadlessGraphics g;
  const Value fig = CreateFigure({{"Units", Value::Text("inches")}});
  g.ui().Place(fig.num(0), "OuterPosition", {0, 0, 966, 744});
  EXPECT_THAT(Rect4(fig, "Position"), Near({3 / 96.0, 3 / 96.0, 10, 7.5}));
  const Rect shown = g.ui().Shown(fig.num(0), "Position");
  EXPECT_EQ(shown.left, 3);
  EXPECT_EQ(shown.height, 720);
  EXPECT_TRUE(g.ui().record().SetsOf(fig.num(0), "OuterPosition").empty());
  EXPECT_THAT(ErrorOf([&] { g.ui().Shown(fig.num(0), "Color"); }), HasSubstr("not a rectangle"));
}

TEST(GraphicsAppdata, AbsentReplacedAndGoneWithTheFigure) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  const Value absent = mlfGetappdata(w.fig, Value::Text("UsedByGUIData_m"));
  EXPECT_TRUE(absent.is_numeric());
  EXPECT_EQ(absent.rows(), 0u);
  EXPECT_EQ(absent.cols(), 0u);

  mlfSetappdata(w.fig, Value::Text("UsedByGUIData_m"), Value::Scalar(1));
  mlfSetappdata(w.fig, Value::Text("UsedByGUIData_m"), Value::Text("second"));
  EXPECT_EQ(mlfGetappdata(w.fig, Value::Text("UsedByGUIData_m")).utf8(), "second");
  // Names are exact: another case is another name; other objects keep their own.
  EXPECT_TRUE(mlfGetappdata(w.fig, Value::Text("usedbyguidata_m")).empty());
  EXPECT_TRUE(mlfGetappdata(w.num, Value::Text("UsedByGUIData_m")).empty());

  mlfSetappdata(w.num, Value::Text("x"), Value::Scalar(5));
  DeleteObject(w.fig);
  EXPECT_THAT(ErrorOf([&] { mlfGetappdata(w.fig, Value::Text("UsedByGUIData_m")); }),
              HasSubstr("Invalid handle"));
  EXPECT_THAT(ErrorOf([&] { mlfGetappdata(w.num, Value::Text("x")); }),
              HasSubstr("Invalid handle"));
}

TEST(GraphicsFind, FindobjByTag) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  EXPECT_TRUE(mlfFindobj(Value::Text("Tag"), Value::Text("SaveBox")).empty());
  const Value one = mlfFindobj(Value::Text("tag"), Value::Text("NumBox"));
  ASSERT_EQ(one.numel(), 1u);
  EXPECT_EQ(one.num(0), w.num.num(0));
  // A second figure is searched after the first; within a figure, creation order.
  const Value fig2 = CreateFigure();
  const Value twin = CreateControl(fig2, "text", "NumBox");
  EXPECT_THAT(Numbers(mlfFindobj(Value::Text("Tag"), Value::Text("NumBox"))),
              ElementsAre(w.num.num(0), twin.num(0)));
  // Text matches exactly: no case folding, no trailing blanks.
  EXPECT_TRUE(mlfFindobj(Value::Text("Tag"), Value::Text("numbox")).empty());
  EXPECT_TRUE(mlfFindobj(Value::Text("Tag"), Value::Text("NumBox ")).empty());
}

TEST(GraphicsFind, FindobjMatchesValuesOfAnyClassByContent) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  Value data = Value::Struct();
  data.set_field("names", Value::Scalar(10));
  data.set_field("file", Value::Text("a.txt"));
  mlfNSet(0, w.rep, Value::Text("UserData"), data);
  mlfNSet(0, w.num, Value::Text("UserData"), Value::Row({1, 2}));
  // A structure matches field by field, whatever order its fields were added in.
  Value reordered = Value::Struct();
  reordered.set_field("file", Value::Text("a.txt"));
  reordered.set_field("names", Value::Scalar(10));
  EXPECT_THAT(Numbers(mlfFindobj(Value::Text("UserData"), reordered)), ElementsAre(w.rep.num(0)));
  reordered.set_field("names", Value::Scalar(11));
  EXPECT_TRUE(mlfFindobj(Value::Text("UserData"), reordered).empty());
  // Numbers match by size and value; objects without the property are passed over.
  EXPECT_THAT(Numbers(mlfFindobj(Value::Text("UserData"), Value::Row({1, 2}))),
              ElementsAre(w.num.num(0)));
  EXPECT_TRUE(mlfFindobj(Value::Text("UserData"), Value::Matrix(2, 1, {1, 2})).empty());
  EXPECT_THAT(Numbers(mlfFindobj(Value::Text("Style"), Value::Text("edit"))),
              ElementsAre(w.out.num(0), w.num.num(0), w.rep.num(0), w.init.num(0)));
}

TEST(GraphicsFind, HiddenHandlesOnlyInFindall) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  mlfNSet(0, w.rep, Value::Text("HandleVisibility"), Value::Text("off"));
  EXPECT_TRUE(mlfFindobj(Value::Text("Tag"), Value::Text("RepBox")).empty());
  const Value all = mlfFindall(w.fig);
  EXPECT_EQ(all.cols(), 1u);
  EXPECT_THAT(Numbers(all),
              ElementsAre(w.fig.num(0), w.out.num(0), w.num.num(0), w.rep.num(0), w.init.num(0)));
  // "callback" visibility shows the handle only while a callback runs.
  mlfNSet(0, w.rep, Value::Text("HandleVisibility"), Value::Text("callback"));
  EXPECT_TRUE(mlfFindobj(Value::Text("Tag"), Value::Text("RepBox")).empty());
  CallbackScope running(w.num.num(0));
  EXPECT_EQ(mlfFindobj(Value::Text("Tag"), Value::Text("RepBox")).numel(), 1u);
}

TEST(GraphicsHandles, IshandleFollowsLifeAndShape) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  const Value probe = Value::Matrix(2, 2, {0, w.fig.num(0), w.num.num(0), 12.5});
  EXPECT_THAT(Numbers(mlfIshandle(probe)), ElementsAre(1, 1, 1, 0));
  g.ui().Close(w.fig.num(0));
  const Value after = mlfIshandle(probe);
  EXPECT_TRUE(after.is_logical());
  EXPECT_EQ(after.rows(), 2u);
  EXPECT_THAT(Numbers(after), ElementsAre(1, 0, 0, 0));
  EXPECT_TRUE(mlfIshandle(Value::Empty()).empty());
  EXPECT_THAT(Numbers(mlfIshandle(Value::Text("ab"))), ElementsAre(0, 0));
  EXPECT_THAT(ErrorOf([&] { mlfNGet(1, w.fig, Value::Text("Tag")); }),
              HasSubstr("Invalid handle: " + std::to_string(int(w.fig.num(0)))));
}

TEST(GraphicsHandles, NeverReused) {
  ScopedHeadlessGraphics g;
  const Value a = CreateFigure();
  const Value c = CreateControl(a, "edit", "A");
  DeleteObject(a);
  const Value b = CreateFigure();
  const Value d = CreateControl(b, "edit", "A");
  EXPECT_NE(a.num(0), b.num(0));
  EXPECT_NE(c.num(0), d.num(0));
  EXPECT_EQ(mlfIshandle(a).num(0), 0);
  EXPECT_EQ(a.num(0), 1);
  EXPECT_NE(c.num(0), std::floor(c.num(0)));  // controls never look like figures
}

TEST(GraphicsHandles, SetOnSeveralHandles) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  const Value both = Value::Row({w.num.num(0), w.rep.num(0)});
  EXPECT_TRUE(mlfNSet(0, both, Value::Text("String"), Value::Text("")).empty());
  EXPECT_EQ(GetText(w.num, "String"), "");
  EXPECT_EQ(GetText(w.rep, "String"), "");
  const Value texts = mlfNGet(1, both, Value::Text("Tag"));
  ASSERT_TRUE(texts.is_cell());
  EXPECT_EQ(texts.cell(1).utf8(), "RepBox");

  mlfNSet(0, Value::Empty(), Value::Text("String"), Value::Text("x"));  // sets nothing
  // One bad handle (or one object without the property) changes none of them.
  const Value with_bad = Value::Row({w.num.num(0), 999.5});
  EXPECT_EQ(ErrorOf([&] { mlfNSet(0, with_bad, Value::Text("String"), Value::Text("y")); }),
            "Invalid handle: 999.5");
  const Value with_fig = Value::Row({w.num.num(0), w.fig.num(0)});
  EXPECT_THAT(ErrorOf([&] { mlfNSet(0, with_fig, Value::Text("String"), Value::Text("y")); }),
              HasSubstr("of a figure object"));
  EXPECT_EQ(GetText(w.num, "String"), "");
}

TEST(GraphicsCurrentFigure, CreatedRaisedAndClosed) {
  ScopedHeadlessGraphics g;
  const Value made = mlfGcf();  // none open: one is made
  EXPECT_EQ(made.num(0), 1);
  const Value second = CreateFigure();
  EXPECT_EQ(mlfGcf().num(0), second.num(0));
  mlfNFigure(0, made);
  EXPECT_EQ(mlfGcf().num(0), made.num(0));
  EXPECT_THAT(g.ui().record().raised, ElementsAre(made.num(0)));
  DeleteObject(made);
  EXPECT_EQ(mlfGcf().num(0), second.num(0));
  const Value control = CreateControl(second, "edit", "X");
  EXPECT_THAT(ErrorOf([&] { mlfNFigure(0, control); }), HasSubstr("not a figure"));
}

TEST(GraphicsCurrentFigure, CallbackObjectAndFigure) {
  ScopedHeadlessGraphics g;
  MainWindow w;
  EXPECT_TRUE(mlfNGcbo(1).empty());
  EXPECT_TRUE(mlfGcbf().empty());
  {
    CallbackScope running(w.num.num(0));
    EXPECT_EQ(mlfNGcbo(1).num(0), w.num.num(0));
    EXPECT_EQ(mlfGcbf().num(0), w.fig.num(0));
  }
  EXPECT_TRUE(mlfNGcbo(1).empty());
}

// The real environment, but for a current folder of /home/ann/taxa.
struct InAnnsTaxaFolder : EnvWrapper {
  InAnnsTaxaFolder() : EnvWrapper(Env::Default()) {}
  int CurrentDir(std::string* out) override {
    *out = "/home/ann/taxa";
    return 0;
  }
};

TEST(GraphicsDialogs, ScriptedAnswerSplitsNameAndFolder) {
  ScopedHeadlessGraphics g;
  InAnnsTaxaFolder here;
  ScopedEnv env(&here);
  g.ui().QueueFileAnswer("/data/lists/names.txt");
  Value folder;
  const Value name =
      mlfUigetfile(&folder, Value::Text("*.txt"), Value::Text("Please Select File to Load"));
  EXPECT_EQ(name.utf8(), "names.txt");
  EXPECT_EQ(folder.utf8(), "/data/lists/");

  g.ui().QueueFileAnswer("out.txt");  // relative: taken from the start folder
  EXPECT_EQ(mlfUiputfile(&folder, Value::Text("*.txt"), Value::Text("Save")).utf8(), "out.txt");
  EXPECT_EQ(folder.utf8(), "/home/ann/taxa/");

  ASSERT_EQ(g.ui().record().dialogs.size(), 2u);
  const FileDialogRequest& load = g.ui().record().dialogs[0].request;
  EXPECT_EQ(load.kind, FileDialogKind::kOpen);
  EXPECT_EQ(load.title, "Please Select File to Load");
  EXPECT_EQ(load.filter, "*.txt");
  EXPECT_EQ(load.start_folder, "/home/ann/taxa");
  // Any file can be chosen too: a list need not end in .txt.
  EXPECT_THAT(load.filters,
              ElementsAre(FileFilter{"Text files", "*.txt"}, FileFilter{"All files", "*"}));
  EXPECT_EQ(g.ui().record().dialogs[1].request.kind, FileDialogKind::kSave);
}

TEST(GraphicsDialogs, AFolderDialogGivesTheFolderWithoutATrailingSlash) {
  ScopedHeadlessGraphics g;
  InAnnsTaxaFolder here;
  ScopedEnv env(&here);
  g.ui().QueueFileAnswer("/data/run/");
  g.ui().QueueFileAnswer("out");  // relative: taken from the start folder
  g.ui().QueueFileAnswer("/");
  g.ui().QueueFileCancel();
  EXPECT_EQ(mlfUigetdir(Value::Text("Where to")).utf8(), "/data/run");
  EXPECT_EQ(mlfUigetdir().utf8(), "/home/ann/taxa/out");
  EXPECT_EQ(mlfUigetdir().utf8(), "/");
  const Value cancelled = mlfUigetdir();
  ASSERT_TRUE(cancelled.is_numeric());
  EXPECT_EQ(cancelled.num(0), 0);
  const FileDialogRequest& first = g.ui().record().dialogs[0].request;
  EXPECT_EQ(first.kind, FileDialogKind::kFolder);
  EXPECT_EQ(first.title, "Where to");
  EXPECT_EQ(first.start_folder, "/home/ann/taxa");
  EXPECT_TRUE(first.filters.empty());
  EXPECT_EQ(g.ui().record().dialogs[1].request.title, "Select a Folder");
  EXPECT_THAT(ErrorOf([] { mlfUigetdir(Value::Scalar(3)); }), HasSubstr("title must be a text"));
}

TEST(GraphicsDialogs, AFilterOfNamedChoicesReachesTheWindowSystemWhole) {
  ScopedHeadlessGraphics g;
  Value choices = Value::Cell(2, 2);
  choices.mutable_cell(0) = Value::Text("*.fasta;*.fa");
  choices.mutable_cell(1) = Value::Text("*.phy");
  choices.mutable_cell(2) = Value::Text("FASTA files");
  choices.mutable_cell(3) = Value::Text("PHYLIP files");
  g.ui().QueueFileAnswer("/data/a.fa");
  Value folder;
  EXPECT_EQ(mlfUigetfile(&folder, choices, Value::Text("Alignment")).utf8(), "a.fa");
  const FileDialogRequest& request = g.ui().record().dialogs[0].request;
  EXPECT_EQ(request.filter, "*.fasta;*.fa");
  EXPECT_THAT(request.filters,
              ElementsAre(FileFilter{"FASTA files", "*.fasta;*.fa"},
                          FileFilter{"PHYLIP files", "*.phy"}, FileFilter{"All files", "*"}));
  // A filter of the wrong kind is refused before any dialog shows.
  EXPECT_THAT(ErrorOf([] { mlfUigetfile(nullptr, Value::Scalar(1)); }), HasSubstr("file filter"));
  EXPECT_EQ(g.ui().record().dialogs.size(), 1u);
}

TEST(GraphicsDialogs, CancelGivesZeroAndZero) {
  ScopedHeadlessGraphics g;
  g.ui().QueueFileCancel();
  Value folder = Value::Text("unchanged");
  Value name =
      mlfUiputfile(&folder, Value::Text("*.txt"), Value::Text("Please Select Filename to save as"));
  ASSERT_TRUE(name.is_numeric());
  EXPECT_EQ(name.num(0), 0);
  EXPECT_EQ(folder.num(0), 0);
  EXPECT_EQ(g.ui().record().unscripted_dialogs, 0);
  // An empty script cancels too, and the record says so.
  name = mlfUigetfile(&folder, Value::Text("*.txt"), Value::Text("Load"));
  EXPECT_EQ(name.num(0), 0);
  EXPECT_EQ(g.ui().record().unscripted_dialogs, 1);
  EXPECT_FALSE(g.ui().record().dialogs.back().scripted);
}

TEST(GraphicsMessages, MessageBoxRecord) {
  ScopedHeadlessGraphics g;
  EXPECT_TRUE(mlfNMsgbox(0, Value::Text("Fell through case")).empty());
  Value lines = Value::Cell(1, 2);
  lines.mutable_cell(0) = Value::Text("one");
  lines.mutable_cell(1) = Value::Text("two");
  mlfNMsgbox(0, lines);
  EXPECT_THAT(g.ui().record().messages,
              ElementsAre(MessageShown{MessageKind::kPlain, "Fell through case"},
                          MessageShown{MessageKind::kPlain, "one\ntwo"}));
  EXPECT_THAT(ErrorOf([&] { mlfNMsgbox(0, Value::Scalar(3)); }), HasSubstr("must be a text"));
}

TEST(GraphicsInstall, NothingInstalledRaisesAndScopesNest) {
  EXPECT_FALSE(GraphicsInstalled());
  EXPECT_THAT(ErrorOf([] { mlfGcf(); }), HasSubstr("no window system"));
  ScopedHeadlessGraphics outer;
  const Value fig = CreateFigure();
  {
    ScopedHeadlessGraphics inner;  // a fresh root: the outer figure is unknown here
    EXPECT_EQ(mlfIshandle(fig).num(0), 0);
    EXPECT_EQ(mlfFindall(Value::Scalar(0)).numel(), 1u);
  }
  EXPECT_EQ(mlfIshandle(fig).num(0), 1);
}

}  // namespace
}  // namespace dk
