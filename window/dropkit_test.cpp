#include "window/dropkit.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "base/errors.h"
#include "figsupport/guidata.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "random/random.h"
#include "shell/registry.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;

// Every module set up, the registry current, a headless window system and a captured
// console, as the graphics main provides them.
class DropkitTest : public ::testing::Test {
 protected:
  DropkitTest() : registry(&main_info) {
    ui().set_default_background({0.5, 0.25, 0.75});
    for (const InitTermPair& pair : init_term_table) pair.initialize();
  }
  ~DropkitTest() override {
    for (std::size_t i = std::size(init_term_table); i-- > 0;) init_term_table[i].terminate();
  }

  std::vector<Value> Call(int nlhs, std::vector<Value> args) {
    std::vector<Value> out(static_cast<std::size_t>(nlhs > 1 ? nlhs : 1));
    mlxDropkit(nlhs, out.data(), static_cast<int>(args.size()), args.data());
    return out;
  }
  HeadlessWindowSystem& ui() { return graphics.ui(); }

  test::TestEnv env;
  ScopedRegistry registry;
  ScopedHeadlessGraphics graphics;
};

TEST_F(DropkitTest, LaunchOpensTheWindowColoursItAndStoresItsHandles) {
  EXPECT_TRUE(Call(0, {})[0].absent());
  const std::vector<Value> out = Call(1, {});
  ASSERT_TRUE(out[0].is_numeric());
  const Value& fig = out[0];
  EXPECT_EQ(mlfFindall(Value::Scalar(0)).numel() - 1, mlfFindall(fig).numel());  // one window
  const Value color = mlfNGet(1, fig, Value::Text("Color"));
  EXPECT_EQ(color.num(0), 0.5);
  EXPECT_EQ(color.num(2), 0.75);
  const Value handles = mlfGuidata(fig, Value());
  ASSERT_TRUE(handles.is_struct());
  for (const char* tag : {"OutBox", "NumBox", "RepBox", "InitBox"}) {
    ASSERT_TRUE(handles.has_field(tag)) << tag;
    EXPECT_EQ(mlfNGet(1, handles.field(tag), Value::Text("Tag")).utf8(), tag);
  }
}

TEST_F(DropkitTest, SecondLaunchReusesTheWindowAndRebuildsItsHandles) {
  const Value first = Call(1, {})[0];
  mlfNSet(0, first, Value::Text("Color"), Value::Row({1, 1, 1}));
  mlfNGuidata(0, first, Value::Scalar(7));
  const Value second = Call(1, {})[0];
  EXPECT_EQ(first.num(0), second.num(0));
  EXPECT_EQ(mlfNGet(1, first, Value::Text("Color")).num(0), 0.5);
  EXPECT_TRUE(mlfGuidata(first, Value()).is_struct());
  EXPECT_EQ(ui().record().raised.size(), 2u);
}

TEST_F(DropkitTest, SwitchyardRunsCallbacksAndReturnsOutputs) {
  const Value fig = Call(1, {})[0];
  Call(0, {Value::Text("OutBox_Callback"), fig, Value::Empty(), Value::Struct()});
  Call(0, {Value::Text("InitBox_Callback"), fig, Value::Empty(), Value::Struct(), Value::Scalar(1),
           Value::Scalar(2)});
  EXPECT_EQ(env.out,
            "OutBox Callback not implemented yet.\nInitBox Callback not implemented yet.\n");
  // A registered function's outputs become the switchyard's.
  const std::vector<Value> out = Call(1, {Value::Text("isvarname"), Value::Text("NumBox")});
  EXPECT_TRUE(out[0].is_logical());
  EXPECT_EQ(out[0].num(0), 1);
  // And the platform's own functions are reached too.
  EXPECT_EQ(Call(1, {Value::Text("ischar"), Value::Text("x")})[0].num(0), 1);
}

TEST_F(DropkitTest, SwitchyardShowsErrorsOnTheConsoleInsteadOfRaising) {
  Call(0, {Value::Text("NoSuchCallback"), Value::Scalar(1)});
  Call(0, {Value::Text("randlist"), Value::Text("Load"), Value::Text("extra")});
  // The callback gives no output: the switchyard shows that, then returns no output either.
  EXPECT_THROW(
      Call(1, {Value::Text("OutBox_Callback"), Value::Empty(), Value::Empty(), Value::Empty()}),
      RuntimeError);
  EXPECT_EQ(env.out,
            "Undefined function \"NoSuchCallback\".\n"
            "Run-time Error: File: randlist Line: 1 Column: 1 The function \"randlist\" was "
            "called with more than the declared number of inputs (1).\n"
            "OutBox Callback not implemented yet.\n"
            "\"Dropkit/OutBox_Callback\" was asked for 1 outputs but gave only 0.\n");
}

TEST_F(DropkitTest, NumericFirstInputDoesNothing) {
  Call(0, {Value::Scalar(3), Value::Text("OutBox_Callback")});
  EXPECT_EQ(env.out, "");
  EXPECT_TRUE(ui().record().created.empty());
  EXPECT_EQ(ErrorOf([&] { Call(1, {Value::Scalar(3)}); }),
            "\"Dropkit\" was asked for 1 outputs but gave only 0.");  // no output was assigned
}

TEST_F(DropkitTest, CallbackEntriesAcceptAnyInputs) {
  Value plhs[1];
  Value none[1];
  mlxDropkit_RepBox_Callback(0, plhs, 0, none);
  Value five[5] = {Value::Scalar(1), Value::Empty(), Value::Struct(), Value::Scalar(4),
                   Value::Scalar(5)};
  mlxDropkit_NumBox_Callback(0, plhs, 5, five);
  mlfDropkit_InitBox_Callback({}, Value::Scalar(1), Value::Empty(), Value::Struct(), {});
  EXPECT_EQ(env.out,
            "RepBox Callback not implemented yet.\nNumBox Callback not implemented yet.\n"
            "InitBox Callback not implemented yet.\n");
  Value second;
  EXPECT_EQ(ErrorOf([&] { mlfDropkit_OutBox_Callback({&second}, Value(), Value(), Value(), {}); }),
            "\"Dropkit/OutBox_Callback\" was asked for 1 outputs but gave only 0.");
}

TEST_F(DropkitTest, EachCallbackHasABodyOfItsOwnThatBothEntriesCall) {
  using Body = Value (*)(int, const Value&, const Value&, const Value&, const Value&);
  const Body bodies[] = {MDropkit_OutBox_Callback, MDropkit_NumBox_Callback,
                         MDropkit_RepBox_Callback, MDropkit_InitBox_Callback};
  for (const Body body : bodies) {
    const Value outputs =
        body(0, Value::Scalar(1), Value::Empty(), Value::Struct(), Value::Cell(1, 0));
    EXPECT_TRUE(outputs.is_cell());
    EXPECT_EQ(outputs.numel(), 0u);
  }
  EXPECT_EQ(env.out,
            "OutBox Callback not implemented yet.\nNumBox Callback not implemented yet.\n"
            "RepBox Callback not implemented yet.\nInitBox Callback not implemented yet.\n");
}

TEST_F(DropkitTest, TheSeedLabelSaysWhichSeedTheGeneratorRunsFrom) {
  ResetRandomToEntropy();
  const Value fig = Call(1, {})[0];
  const Value label = mlfFindobj(Value::Text("Tag"), Value::Text("SeedInForce"));
  const auto shown = [&] { return mlfNGet(1, label, Value::Text("String")).utf8(); };
  EXPECT_EQ(shown(), "Seed in force: none (a fresh draw each time)");
  // Every restart, whoever makes it, is shown as the number it was given.
  for (const auto& [seed, text] : std::vector<std::pair<double, std::string>>{
           {42, "Seed in force: 42"}, {3.25, "Seed in force: 3.25"}, {-7, "Seed in force: -7"}}) {
    RestartRandom(seed);
    EXPECT_EQ(shown(), text);
  }
  ResetRandomToEntropy();
  EXPECT_EQ(shown(), "Seed in force: none (a fresh draw each time)");

  // A window opened (or opened again) while a seed is in force shows it at once.
  const RestartObserver observer = SetRestartObserver(nullptr);
  RestartRandom(5);
  EXPECT_EQ(shown(), "Seed in force: none (a fresh draw each time)");
  EXPECT_EQ(Call(1, {})[0].num(0), fig.num(0));
  EXPECT_EQ(shown(), "Seed in force: 5");
  SetRestartObserver(observer);

  // Without the label, or without the window, a restart still works.
  DeleteObject(label);
  RestartRandom(6);
  DeleteObject(fig);
  RestartRandom(7);
  EXPECT_EQ(SeedInForce(), 7);
  ResetRandomToEntropy();
}

TEST_F(DropkitTest, DirectEntriesLaunchAndSwitch) {
  const Value fig = mlfNDropkit(1, {}, {});
  EXPECT_TRUE(fig.is_numeric());
  mlfVDropkit({Value::Text("NumBox_Callback"), fig, Value::Empty(), Value::Empty()});
  EXPECT_EQ(env.out, "NumBox Callback not implemented yet.\n");
  EXPECT_TRUE(mlfDropkit({}, {}).absent());
}

}  // namespace
}  // namespace dk
