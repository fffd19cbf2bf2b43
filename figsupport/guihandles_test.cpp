#include "figsupport/guihandles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "figsupport/iskeyword.h"
#include "figsupport/isvarname.h"
#include "frame/module.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "runtime/ops.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::CountCheckMessage;
using test::EntryError;
using test::ErrorOf;
using test::Numbers;

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kBadHandle = "H must be the handle to a figure or figure descendent.";

PropertyList Hidden() {
  return {{"HandleVisibility", Value::Text("off")}};
}

class GuihandlesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeModule_guihandles();
    InitializeModule_isvarname();
    InitializeModule_iskeyword();
  }
  void TearDown() override {
    TerminateModule_iskeyword();
    TerminateModule_isvarname();
    TerminateModule_guihandles();
  }

  ScopedHeadlessGraphics g;
};

// The main window's layout: a figure with the four edit controls.
struct MainWindow {
  Value fig = CreateFigure();
  Value out = CreateControl(fig, "edit", "OutBox");
  Value num = CreateControl(fig, "edit", "NumBox");
  Value rep = CreateControl(fig, "edit", "RepBox");
  Value init = CreateControl(fig, "edit", "InitBox");
};

TEST_F(GuihandlesTest, OneFieldPerTagInSearchOrder) {
  MainWindow w;
  const Value handles = mlfGuihandles(w.fig);
  ASSERT_TRUE(handles.is_struct());
  EXPECT_THAT(handles.field_names(), ElementsAre("OutBox", "NumBox", "RepBox", "InitBox"));
  EXPECT_THAT(Numbers(handles.field("NumBox")), ElementsAre(w.num.num(0)));
  EXPECT_EQ(handles.field("InitBox").rows(), 1u);
}

TEST_F(GuihandlesTest, AControlGivesTheSameStructureAsItsFigure) {
  MainWindow w;
  EXPECT_TRUE(mlfIsequal(mlfGuihandles(w.rep), mlfGuihandles(w.fig)));
}

TEST_F(GuihandlesTest, NoArgumentUsesTheCurrentFigure) {
  MainWindow first;
  const Value second = CreateFigure();
  const Value only = CreateControl(second, "text", "Only");
  EXPECT_THAT(mlfGuihandles().field_names(), ElementsAre("Only"));
  Value out[1];
  mlxGuihandles(1, out, 0, nullptr);
  EXPECT_THAT(Numbers(out[0].field("Only")), ElementsAre(only.num(0)));
}

TEST_F(GuihandlesTest, BadHandles) {
  MainWindow w;
  const Value gone = CreateFigure();
  DeleteObject(gone);
  for (const Value& h : {Value::Scalar(0), Value::Empty(), Value::Row({w.out.num(0), w.num.num(0)}),
                         Value::Scalar(999), gone, Value::Text("OutBox")}) {
    EXPECT_EQ(ErrorOf([&] { mlfGuihandles(h); }), kBadHandle);
  }
}

TEST_F(GuihandlesTest, RepeatedTagsCollectHandlesLeftToRight) {
  const Value fig = CreateFigure();
  const Value a = CreateControl(fig, "text", "OutBox");
  CreateControl(fig, "text", "Other");
  const Value b = CreateControl(fig, "text", "OutBox");
  const Value handles = mlfGuihandles(fig);
  EXPECT_THAT(handles.field_names(), ElementsAre("OutBox", "Other"));
  const Value& boxes = handles.field("OutBox");
  EXPECT_EQ(boxes.rows(), 1u);
  EXPECT_THAT(Numbers(boxes), ElementsAre(a.num(0), b.num(0)));
}

TEST_F(GuihandlesTest, UnusableTagsGetNoField) {
  const Value fig = CreateFigure();
  for (const char* tag : {"", "1x", "a b", "end", "_x", "a-b"}) CreateControl(fig, "text", tag);
  CreateControl(fig, "text", std::string(32, 'n'));
  const Value keep = CreateControl(fig, "text", std::string(31, 'n'));
  CreateControl(fig, "text", "End");
  const Value handles = mlfGuihandles(fig);
  EXPECT_THAT(handles.field_names(), ElementsAre(std::string(31, 'n'), "End"));
  EXPECT_THAT(Numbers(handles.field(std::string(31, 'n'))), ElementsAre(keep.num(0)));
}

TEST_F(GuihandlesTest, TagsDifferingInCaseAreSeparateFields) {
  const Value fig = CreateFigure();
  CreateControl(fig, "text", "box");
  CreateControl(fig, "text", "Box");
  EXPECT_THAT(mlfGuihandles(fig).field_names(), ElementsAre("box", "Box"));
}

TEST_F(GuihandlesTest, HiddenObjectsAndTheFigureItselfCount) {
  const Value fig = CreateFigure({{"Tag", Value::Text("Main")}});
  const Value panel = CreateObject("uipanel", fig, Hidden());
  const Value inner = CreateControl(panel, "edit", "Inner");
  const Value secret = CreateControl(fig, "edit", "Secret", "", Hidden());
  const Value handles = mlfGuihandles(inner);
  EXPECT_THAT(handles.field_names(), ElementsAre("Main", "Inner", "Secret"));
  EXPECT_THAT(Numbers(handles.field("Main")), ElementsAre(fig.num(0)));
  EXPECT_THAT(Numbers(handles.field("Secret")), ElementsAre(secret.num(0)));
}

TEST_F(GuihandlesTest, NoUsableTagGivesTheEmptyMatrix) {
  const Value fig = CreateFigure();
  CreateControl(fig, "text", "");
  CreateControl(fig, "text", "not valid");
  const Value handles = mlfGuihandles(fig);
  EXPECT_TRUE(handles.is_numeric());
  EXPECT_EQ(handles.rows(), 0u);
  EXPECT_EQ(handles.cols(), 0u);
  EXPECT_TRUE(mlfGuihandles_createHandles(fig).is_numeric());
}

TEST_F(GuihandlesTest, LocalFunctionsThroughTheirEntries) {
  MainWindow w;
  Value in[1] = {w.out};
  Value out[1];
  mlxGuihandles_getParentFigure(1, out, 1, in);
  EXPECT_EQ(out[0].num(0), w.fig.num(0));
  in[0] = w.fig;
  mlxGuihandles_createHandles(0, out, 1, in);
  EXPECT_THAT(out[0].field_names(), ElementsAre("OutBox", "NumBox", "RepBox", "InitBox"));
  EXPECT_TRUE(mlfGuihandles_getParentFigure(Value::Scalar(0)).empty());
}

TEST_F(GuihandlesTest, EntriesRaiseTheirCountMessagesOutputsFirst) {
  struct Case {
    MlxFunction entry;
    const char* file;
    int line;
  };
  for (const Case& c : {Case{mlxGuihandles, "guihandles", 1},
                        Case{mlxGuihandles_getParentFigure, "guihandles/getParentFigure", 78},
                        Case{mlxGuihandles_createHandles, "guihandles/createHandles", 86}}) {
    EXPECT_EQ(EntryError(c.entry, 2, 1), CountCheckMessage(c.file, c.line, "outputs", 1));
    EXPECT_EQ(EntryError(c.entry, 1, 2), CountCheckMessage(c.file, c.line, "inputs", 1));
    EXPECT_EQ(EntryError(c.entry, 2, 2), CountCheckMessage(c.file, c.line, "outputs", 1));
  }
}

TEST(GuihandlesModule, LocalFunctionTableNamesItsEntries) {
  ASSERT_EQ(local_function_table_guihandles.count, 2);
  EXPECT_STREQ(local_function_table_guihandles.rows[0].name, "getParentFigure");
  EXPECT_STREQ(local_function_table_guihandles.rows[1].name, "createHandles");
  EXPECT_EQ(local_function_table_guihandles.rows[1].entry, &mlxGuihandles_createHandles);
}

}  // namespace
}  // namespace dk
