#include "gui/mainhg.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using Action = UserAction::Kind;

// A main function that opens a window with one button whose callback runs "hungry".
void OpenWindowWithButton(int, Value[], int, Value[]) {
  const Value fig = CreateFigure();
  CreateControl(fig, "pushbutton", "Hungry", "Press", {{"Callback", Value::Text("hungry")}});
}

// A main function whose window cannot be seen.
void OpenInvisibleWindow(int, Value[], int, Value[]) {
  CreateFigure({{"Visible", Value::Text("off")}});
}

void Hungry(int, Value[], int, Value[]) {
  throw std::bad_alloc();
}

const FunctionTableRow kFunctions[] = {{"hungry", Hungry, -1, -1, nullptr}};
const MainInfo kInfo = {1, 1, kFunctions, 0, nullptr, 0, nullptr, 0, nullptr};

TEST(GraphicsMain, RunningOutOfMemoryInACallbackIsReportedAndTheWindowGoesOn) {
  test::TestEnv env;
  auto ui = std::make_unique<HeadlessWindowSystem>();
  ui->QueueAction({Action::kPress, "Hungry", ""});
  ui->QueueAction({Action::kPress, "Hungry", ""});
  ui->QueueAction({Action::kClose, "", ""});
  const auto record = ui->shared_record();
  EXPECT_EQ(mclMainhgOn(std::move(ui), OpenWindowWithButton, 1, kInfo), 0);
  const std::string message =
      "Out of memory while running the callback of Hungry; nothing it was doing was kept.";
  EXPECT_EQ(record->MessageTexts(), (std::vector<std::string>{message, message}));
  EXPECT_EQ(env.err, "Error in the callback of Hungry: " + message + "\n" +
                         "Error in the callback of Hungry: " + message + "\n");
}

TEST(GraphicsMain, AProgramWithNoVisibleWindowStopsWithAnError) {
  test::TestEnv env;
  auto ui = std::make_unique<HeadlessWindowSystem>();
  ui->QueueAction({Action::kClose, "", ""});
  EXPECT_EQ(mclMainhgOn(std::move(ui), OpenInvisibleWindow, 1, kInfo), 1);
  EXPECT_EQ(env.err,
            "dropkit: The program opened no visible window (its figure file sets \"Visible\" to "
            "\"off\"), so it could be neither used nor closed; it stops instead.\n");
}

}  // namespace
}  // namespace dk
