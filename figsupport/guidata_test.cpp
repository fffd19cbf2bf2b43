#include "figsupport/guidata.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
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

using ::testing::HasSubstr;

constexpr const char* kBadHandle = "H must be the handle to a figure or figure descendent.";

class GuidataTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeModule_guidata(); }
  void TearDown() override { TerminateModule_guidata(); }

  ScopedHeadlessGraphics g;
  Value fig = CreateFigure();
  Value control = CreateControl(fig, "edit", "OutBox");
};

TEST_F(GuidataTest, StoreThroughAControlFetchThroughTheFigureAndBack) {
  mlfVGuidata(control, Value::Text("kept"));
  EXPECT_EQ(mlfGuidata(fig).utf8(), "kept");
  mlfNGuidata(0, fig, Value::Scalar(42));
  EXPECT_EQ(mlfGuidata(control).num(0), 42);
}

TEST_F(GuidataTest, ObjectsDeeperDownAndHiddenOnesReachTheFigure) {
  const Value panel = CreateObject("uipanel", fig, {{"HandleVisibility", Value::Text("off")}});
  const Value inner = CreateControl(panel, "text", "Inner");
  mlfVGuidata(inner, Value::Scalar(7));
  EXPECT_EQ(mlfGuidata(fig).num(0), 7);
  EXPECT_EQ(mlfGuidata_getParentFigure(inner).num(0), fig.num(0));
}

TEST_F(GuidataTest, NothingStoredFetchesTheEmptyMatrix) {
  const Value data = mlfGuidata(control);
  EXPECT_TRUE(data.is_numeric());
  EXPECT_EQ(data.rows(), 0u);
  EXPECT_EQ(data.cols(), 0u);
}

TEST_F(GuidataTest, StoresReplaceWholeValuesAndKeepEmptyOnes) {
  Value s = Value::Struct();
  s.set_field("a", Value::Scalar(1));
  mlfVGuidata(fig, s);
  Value t = Value::Struct();
  t.set_field("b", Value::Scalar(2));
  mlfVGuidata(fig, t);
  EXPECT_FALSE(mlfGuidata(fig).has_field("a"));
  mlfVGuidata(fig, Value::EmptyText());
  const Value data = mlfGuidata(fig);
  EXPECT_TRUE(data.is_char());
  EXPECT_TRUE(data.empty());
}

TEST_F(GuidataTest, FiguresKeepSeparateValues) {
  const Value other = CreateFigure();
  mlfVGuidata(fig, Value::Scalar(1));
  mlfVGuidata(other, Value::Scalar(2));
  EXPECT_EQ(mlfGuidata(control).num(0), 1);
  EXPECT_EQ(mlfGuidata(other).num(0), 2);
}

TEST_F(GuidataTest, BadHandles) {
  const Value gone = CreateFigure();
  DeleteObject(gone);
  for (const Value& h : {Value::Scalar(0), Value::Empty(), Value::Row({fig.num(0), control.num(0)}),
                         Value::Scalar(12345), gone, Value::Text("x"), Value::Cell(1, 1)}) {
    EXPECT_EQ(ErrorOf([&] { mlfGuidata(h); }), kBadHandle);
    EXPECT_EQ(ErrorOf([&] { mlfVGuidata(h, Value::Scalar(1)); }), kBadHandle);
  }
}

TEST_F(GuidataTest, CountChecksComeBeforeTheHandle) {
  EXPECT_THAT(ErrorOf([] { mlfGuidata(Value()); }), HasSubstr("not enough input arguments"));
  EXPECT_THAT(ErrorOf([&] { mlfGuidata(fig, Value::Scalar(1)); }),
              HasSubstr("too many output arguments"));
  EXPECT_THAT(ErrorOf([] { mlfGuidata(Value::Scalar(0), Value::Scalar(1)); }),
              HasSubstr("too many output arguments"));
  EXPECT_EQ(mlfGuidata(fig).numel(), 0u);  // the refused store left nothing
  EXPECT_THAT(EntryError(mlxGuidata, 0, 0), HasSubstr("not enough input arguments"));
}

TEST_F(GuidataTest, FetchWithNoOutputAskedChangesNothing) {
  mlfVGuidata(fig, Value::Scalar(3));
  mlfVGuidata(control);
  Value in[1] = {control};
  Value out[1];
  mlxGuidata(0, out, 1, in);
  EXPECT_EQ(out[0].num(0), 3);
  EXPECT_EQ(mlfGuidata(fig).num(0), 3);
}

TEST_F(GuidataTest, AStoreWarnsAboutNothing) {
  test::TestEnv env;
  Value in[2] = {control, Value::Scalar(5)};
  Value out[1];
  mlxGuidata(0, out, 2, in);
  mlfNGuidata(0, fig, Value::Scalar(6));
  EXPECT_EQ(env.err, "");
  EXPECT_EQ(mlfGuidata(fig).num(0), 6);
}

TEST_F(GuidataTest, ParentWalkStopsAtTheFigureOrPassesTheRoot) {
  EXPECT_EQ(mlfGuidata_getParentFigure(fig).num(0), fig.num(0));
  EXPECT_TRUE(mlfGuidata_getParentFigure(Value::Scalar(0)).empty());
  EXPECT_TRUE(mlfGuidata_getParentFigure(Value::Empty()).empty());
  Value in[1] = {control};
  Value out[1];
  mlxGuidata_getParentFigure(1, out, 1, in);
  EXPECT_EQ(out[0].num(0), fig.num(0));
}

TEST_F(GuidataTest, EntriesRaiseTheirCountMessagesOutputsFirst) {
  EXPECT_EQ(EntryError(mlxGuidata, 2, 1), CountCheckMessage("guidata", 1, "outputs", 1));
  EXPECT_EQ(EntryError(mlxGuidata, 1, 3), CountCheckMessage("guidata", 1, "inputs", 2));
  EXPECT_EQ(EntryError(mlxGuidata, 2, 3), CountCheckMessage("guidata", 1, "outputs", 1));
  EXPECT_EQ(EntryError(mlxGuidata_getParentFigure, 2, 1),
            CountCheckMessage("guidata/getParentFigure", 99, "outputs", 1));
  EXPECT_EQ(EntryError(mlxGuidata_getParentFigure, 1, 2),
            CountCheckMessage("guidata/getParentFigure", 99, "inputs", 1));
  EXPECT_EQ(EntryError(mlxGuidata_getParentFigure, 2, 2),
            CountCheckMessage("guidata/getParentFigure", 99, "outputs", 1));
}

TEST(GuidataModule, LocalFunctionTableNamesItsEntries) {
  ASSERT_EQ(local_function_table_guidata.count, 1);
  EXPECT_STREQ(local_function_table_guidata.rows[0].name, "getParentFigure");
  EXPECT_EQ(local_function_table_guidata.rows[0].entry, &mlxGuidata_getParentFigure);
}

}  // namespace
}  // namespace dk
