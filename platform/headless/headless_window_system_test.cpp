#include "platform/headless/headless_window_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/test_support.h"

namespace dk {
namespace {

using testing::Numbers;

using ::testing::ElementsAre;
using ::testing::HasSubstr;

Value Text(const char* s) {
  return Value::Text(s);
}

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

  double Tagged(const char* tag) { return mlfFindobj(Text("Tag"), Text(tag)).num(0); }

  ScopedHeadlessGraphics g_;
  Value fig_ = CreateFigure();
  Value num_ = CreateControl(fig_, "edit", "NumBox", "1", {{"Callback", Text("NumBox_Callback")}});
  Value save_ = CreateControl(fig_, "pushbutton", "SaveButton", "Save",
                              {{"Callback", Text("randlist('Save')")}});
  Value label_ = CreateControl(fig_, "text", "Label", "Taxa to omit");
  std::vector<Call> calls_;
  CallbackHook previous_;
};

TEST_F(HeadlessUser, TypingChangesStringAsTheProgramReadsIt) {
  g_.ui().TypeText(num_.num(0), "25");
  const Value read = mlfNGet(1, mlfFindobj(Text("Tag"), Text("NumBox")), Text("String"));
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
  EXPECT_THROW(g_.ui().Press(save_.num(0)), RuntimeError);
  EXPECT_TRUE(mlfNGcbo(1).empty());
}

TEST_F(HeadlessUser, CloseKillsTheFigureAndItsControls) {
  g_.ui().Close(fig_.num(0));
  EXPECT_THAT(Numbers(mlfIshandle(Value::Row({fig_.num(0), num_.num(0)}))), ElementsAre(0, 0));
  // Children are reported before their figure.
  EXPECT_THAT(g_.ui().record().deleted,
              ElementsAre(num_.num(0), save_.num(0), label_.num(0), fig_.num(0)));
  EXPECT_THROW(g_.ui().Close(num_.num(0)), RuntimeError);
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

TEST(HeadlessRecord, ProgramSetsAreRecordedInOrder) {
  ScopedHeadlessGraphics g;
  const Value fig = CreateFigure();
  const Value out = CreateControl(fig, "edit", "OutBox");
  EXPECT_THAT(g.ui().record().created, ElementsAre(fig.num(0), out.num(0)));
  mlfNSet(0, out, Text("string"), Text("File a.txt loaded with 3 names"));
  mlfNSet(0, fig, Text("units"), Text("pixels"));
  mlfNSet(0, out, Text("String"), Text("done"));
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
