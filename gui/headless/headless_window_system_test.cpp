#include "gui/headless/headless_window_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::Numbers;

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Installs a callback hook that records what it was called with, and what the
// callback queries answered inside it, for the life of the fixture.
class HeadlessUser : public ::testing::Test {
 protected:
  struct Call {
    double handle;
    double gcbo;
    double gcbf;
  };

  HeadlessUser() {
    previous_ = SetCallbackHook([this](double h) {
      calls_.push_back({h, mlfNGcbo(1).num(0), mlfGcbf().num(0)});
    });
  }
  ~HeadlessUser() override { SetCallbackHook(previous_); }

  double Tagged(const char* tag) { return mlfFindobj(Value::Text("Tag"), Value::Text(tag)).num(0); }

  ScopedHeadlessGraphics g_;
  Value fig_ = CreateFigure();
  Value num_ =
      CreateControl(fig_, "edit", "NumBox", "1", {{"Callback", Value::Text("NumBox_Callback")}});
  Value save_ = CreateControl(fig_, "pushbutton", "SaveButton", "Save",
                              {{"Callback", Value::Text("randlist('Save')")}});
  Value label_ = CreateControl(fig_, "text", "Label", "Taxa to omit");
  std::vector<Call> calls_;
  CallbackHook previous_;
};

TEST_F(HeadlessUser, TypingChangesStringAsTheProgramReadsIt) {
  g_.ui().TypeText(num_.num(0), "25");
  const Value read =
      mlfNGet(1, mlfFindobj(Value::Text("Tag"), Value::Text("NumBox")), Value::Text("String"));
  EXPECT_EQ(read.utf8(), "25");
  // The edit's callback ran for it, and the user's change is not echoed as a set.
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].handle, num_.num(0));
  EXPECT_TRUE(g_.ui().record().properties.empty());
}

TEST_F(HeadlessUser, PressRunsTheCallbackInsideItsScope) {
  g_.ui().Press(save_.num(0));
  g_.ui().Press(label_.num(0));  // no callback: nothing runs
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].handle, save_.num(0));
  EXPECT_EQ(calls_[0].gcbo, save_.num(0));
  EXPECT_EQ(calls_[0].gcbf, fig_.num(0));
  EXPECT_TRUE(mlfNGcbo(1).empty());  // over when the callback returns
}

TEST_F(HeadlessUser, CallbackErrorsEndTheCallbackScope) {
  SetCallbackHook([](double) { Raise("boom"); });
  EXPECT_EQ(test::ErrorOf([&] { g_.ui().Press(save_.num(0)); }), "boom");
  EXPECT_TRUE(mlfNGcbo(1).empty());
}

TEST_F(HeadlessUser, ResizingTheWindowMovesTheControlsThatFollowIt) {
  const Value list = CreateControl(fig_, "edit", "List", "",
                                   {{"Position", Value::Row({20, 100, 300, 200})},
                                    {"Anchor", Value::Text("left right bottom top")}});
  const Value corner = CreateControl(
      fig_, "pushbutton", "Corner", "",
      {{"Position", Value::Row({400, 20, 100, 30})}, {"Anchor", Value::Text("right bottom")}});
  g_.ui().ClearRecord();
  const Rect before = g_.ui().Shown(fig_.num(0), "Position");
  g_.ui().Place(fig_.num(0), "Position",
                {before.left, before.bottom, before.width + 80, before.height + 40});
  const Rect grown = g_.ui().Shown(list.num(0), "Position");
  EXPECT_EQ(grown.width, 380);
  EXPECT_EQ(grown.height, 240);
  EXPECT_EQ(g_.ui().Shown(corner.num(0), "Position").left, 480);
  EXPECT_EQ(g_.ui().Shown(num_.num(0), "Position").left, 20);  // anchored bottom left
  // The program reads the same rectangles, and nothing was echoed to the window system.
  EXPECT_THAT(Numbers(mlfNGet(1, list, Value::Text("Position"))), ElementsAre(20, 100, 380, 240));
  EXPECT_TRUE(g_.ui().record().properties.empty());
}

TEST_F(HeadlessUser, CloseKillsTheFigureAndItsControls) {
  g_.ui().Close(fig_.num(0));
  EXPECT_THAT(Numbers(mlfIshandle(Value::Row({fig_.num(0), num_.num(0)}))), ElementsAre(0, 0));
  // Children are reported before their figure.
  EXPECT_THAT(g_.ui().record().deleted,
              ElementsAre(num_.num(0), save_.num(0), label_.num(0), fig_.num(0)));
  EXPECT_EQ(test::ErrorOf([&] { g_.ui().Close(num_.num(0)); }), "Invalid handle: 100.5");
}

TEST_F(HeadlessUser, EventLoopPlaysTheScriptByTag) {
  g_.ui().QueueAction({UserAction::Kind::kType, "NumBox", "4"});
  g_.ui().QueueAction({UserAction::Kind::kPress, "SaveButton", ""});
  g_.ui().QueueAction({UserAction::Kind::kClose, "", ""});            // the current figure
  g_.ui().QueueAction({UserAction::Kind::kPress, "SaveButton", ""});  // never reached
  EXPECT_EQ(RunEventLoop(), 0);
  ASSERT_EQ(calls_.size(), 2u);
  EXPECT_EQ(calls_[1].handle, save_.num(0));
  EXPECT_EQ(mlfIshandle(fig_).num(0), 0);
  EXPECT_EQ(g_.ui().pending_actions(), 1u);  // the loop ended with the last figure
}

TEST_F(HeadlessUser, ScriptNamingNoObjectFails) {
  g_.ui().QueueAction({UserAction::Kind::kPress, "LoadButton", ""});
  try {
    RunEventLoop();
    FAIL() << "expected an error";
  } catch (const RuntimeError& e) {
    EXPECT_THAT(e.what(), HasSubstr("\"LoadButton\""));
  }
}

// A model written for these tests: a fixed figure (1) with two controls, and a log of
// everything the backend asks of it. The backend must need nothing else.
class FakeHost final : public GraphicsHost {
 public:
  bool IsLive(double h) const override { return tags_.contains(h); }
  Value Get(double h, std::string_view property) const override {
    if (std::optional<Value> v = TryGet(h, property)) return *v;
    Raise("FakeHost: no property \"" + std::string(property) + "\"");
  }
  std::optional<Value> TryGet(double h, std::string_view property) const override {
    if (!IsLive(h)) return std::nullopt;
    if (property == "Tag") return Value::Text(tags_.at(h));
    if (property == "CurrentFigure" && h == 0) {
      return figure_open_ ? Value::Scalar(1) : Value::Empty();
    }
    return std::nullopt;
  }
  std::vector<double> Descendants(double h) const override {
    if (h != 0) return {h};
    std::vector<double> out;
    for (const auto& [handle, tag] : tags_) out.push_back(handle);
    return out;
  }
  std::vector<double> Figures() const override {
    return figure_open_ ? std::vector<double>{1} : std::vector<double>{};
  }
  Rect PixelRect(double h, std::string_view property) const override {
    log_.push_back("rect " + Name(h) + " " + std::string(property));
    return {10, 20, 30, 40};
  }
  Size MinimumArea(double /*figure*/) const override { return {}; }
  void UserChanged(double h, std::string_view property, const Value& value) override {
    log_.push_back("change " + Name(h) + " " + std::string(property) + "=" + value.utf8());
  }
  void UserPlaced(double h, std::string_view property, const Rect& r) override {
    log_.push_back("place " + Name(h) + " " + std::string(property) + " " +
                   std::to_string(int(r.left)) + "," + std::to_string(int(r.bottom)) + "," +
                   std::to_string(int(r.width)) + "," + std::to_string(int(r.height)));
  }
  void UserActivated(double h) override { log_.push_back("activate " + Name(h)); }
  void UserClosed(double figure) override {
    log_.push_back("close " + Name(figure));
    figure_open_ = false;
  }

  const std::vector<std::string>& log() const { return log_; }

 private:
  std::string Name(double h) const { return IsLive(h) ? tags_.at(h) : std::to_string(h); }

  std::map<double, std::string> tags_ = {
      {0, "root"}, {1, "Main"}, {100.5, "NumBox"}, {101.5, "SaveButton"}};
  bool figure_open_ = true;
  mutable std::vector<std::string> log_;
};

TEST(HeadlessOnAnyHost, PlaysTheUserThroughTheHostOnly) {
  FakeHost host;
  HeadlessWindowSystem ws;
  ws.Attach(&host);
  ws.TypeText(100.5, "25");
  ws.Press(101.5);
  ws.Place(1, "OuterPosition", {5, 6, 700, 500});
  const Rect shown = ws.Shown(100.5, "Position");
  EXPECT_EQ(shown.width, 30);
  ws.Close(1);
  // A typed text is the control's before its callback runs.
  EXPECT_THAT(host.log(), ElementsAre("change NumBox String=25", "activate NumBox",
                                      "activate SaveButton", "place Main OuterPosition 5,6,700,500",
                                      "rect NumBox Position", "close Main"));
}

TEST(HeadlessOnAnyHost, TheScriptFindsTargetsByTagAndStopsWithTheLastFigure) {
  FakeHost host;
  HeadlessWindowSystem ws;
  ws.Attach(&host);
  ws.QueueAction({UserAction::Kind::kType, "NumBox", "7"});
  ws.QueueAction({UserAction::Kind::kClose, "", ""});  // the current figure
  ws.QueueAction({UserAction::Kind::kPress, "SaveButton", ""});
  EXPECT_EQ(ws.RunEventLoop(), 0);
  EXPECT_THAT(host.log(), ElementsAre("change NumBox String=7", "activate NumBox", "close Main"));
  EXPECT_EQ(ws.pending_actions(), 1u);
  // With no figure open, the loop returns at once and leaves the script alone.
  EXPECT_EQ(ws.RunEventLoop(), 0);
  EXPECT_EQ(ws.pending_actions(), 1u);
}

TEST(HeadlessOnAnyHost, ScriptErrorsNameWhatIsMissing) {
  FakeHost host;
  HeadlessWindowSystem ws;
  ws.Attach(&host);
  ws.QueueAction({UserAction::Kind::kPress, "LoadButton", ""});
  EXPECT_THAT(test::ErrorOf([&] { ws.RunEventLoop(); }),
              HasSubstr("no object is tagged \"LoadButton\""));
  EXPECT_TRUE(host.log().empty());
  // Reports from the program are recorded without asking the host anything.
  ws.ObjectCreated(102.5, "uicontrol", 1);
  ws.PropertyChanged(102.5, "String", Value::Text("x"));
  EXPECT_THAT(ws.record().created, ElementsAre(102.5));
  EXPECT_EQ(ws.record().SetsOf(102.5, "string").at(0).utf8(), "x");
  EXPECT_TRUE(host.log().empty());
  // Without a model, playing the user fails with a clear message.
  ws.Attach(nullptr);
  EXPECT_THAT(test::ErrorOf([&] { ws.Press(101.5); }), HasSubstr("serves no graphics model"));
}

TEST(HeadlessRecord, ProgramSetsAreRecordedInOrder) {
  ScopedHeadlessGraphics g;
  const Value fig = CreateFigure();
  const Value out = CreateControl(fig, "edit", "OutBox");
  EXPECT_THAT(g.ui().record().created, ElementsAre(fig.num(0), out.num(0)));
  mlfNSet(0, out, Value::Text("string"), Value::Text("File a.txt loaded with 3 names"));
  mlfNSet(0, fig, Value::Text("units"), Value::Text("pixels"));
  mlfNSet(0, out, Value::Text("String"), Value::Text("done"));
  const auto sets = g.ui().record().SetsOf(out.num(0), "STRING");
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].utf8(), "File a.txt loaded with 3 names");
  EXPECT_EQ(sets[1].utf8(), "done");
  EXPECT_EQ(g.ui().record().properties[1].property, "Units");
  mlfDrawnow();
  EXPECT_EQ(g.ui().record().flushes, 1);
}

}  // namespace
}  // namespace dk
