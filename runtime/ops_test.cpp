#include "runtime/ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;

TEST(Truth, NonEmptyAndAllNonzero) {
  EXPECT_TRUE(mlfTobool(Value::Row({1, 2})));
  EXPECT_FALSE(mlfTobool(Value::Row({1, 0})));
  EXPECT_FALSE(mlfTobool(Value::Empty()));
  EXPECT_TRUE(mlfTobool(Value::Text("a")));
  EXPECT_EQ(ErrorOf([&] { mlfTobool(Value::Cell(1, 1)); }),
            "A cell value cannot be used as a condition");
}

TEST(Compare, LineReadsDifferFromTheEndOfFileValue) {
  const Value eof = Value::Scalar(-1);
  EXPECT_TRUE(mclNeBool(Value::Text("-1\n"), eof));
  EXPECT_TRUE(mclNeBool(Value::Text("x"), eof));
  EXPECT_FALSE(mclNeBool(Value::Scalar(-1), eof));
  EXPECT_TRUE(mclNeBool(Value::Text(std::u16string_view(u"\0", 1)), eof));
}

TEST(Compare, SwitchMatchesExactTextsAndEqualNumbers) {
  EXPECT_TRUE(mclSwitchCompare(Value::Text("Load"), Value::Text("Load")));
  for (const char* other : {"load", "LOAD", "Load ", "Loa", ""}) {
    EXPECT_FALSE(mclSwitchCompare(Value::Text(other), Value::Text("Load"))) << other;
  }
  EXPECT_FALSE(mclSwitchCompare(Value::Scalar(1), Value::Text("Load")));
  EXPECT_TRUE(mclSwitchCompare(Value::Scalar(2), Value::Scalar(2)));
  EXPECT_FALSE(mclSwitchCompare(Value::Cell(1, 1), Value::Text("Load")));
}

TEST(Arithmetic, ScalarsExpandAndSizesMustAgree) {
  EXPECT_EQ(mclPlus(Value::Scalar(1), Value::Row({1, 2})).num(1), 3);
  EXPECT_EQ(mclMinus(Value::Row({5, 6}), Value::Scalar(1)).num(0), 4);
  EXPECT_EQ(ErrorOf([&] {
              mclPlus(Value::Row({1, 2}), Value::Row({1, 2, 3}));
            }),
            "plus: sizes do not agree (1x2 and 1x3)");
  EXPECT_EQ(ErrorOf([&] { mclPlus(Value::Cell(1, 1), Value::Scalar(1)); }),
            "plus: operands must be numbers, logicals or texts, not a cell");
}

TEST(Indexing, CellsGrowFromNothingAndCheckTheirIndices) {
  Value set = Value::Unassigned();
  mlfIndexAssign(&set, "{?}", Value::Scalar(1), Value::Text("a"));
  mlfIndexAssign(&set, "{?}", Value::Scalar(3), Value::Text("c"));
  ASSERT_TRUE(set.is_cell());
  EXPECT_EQ(set.cols(), 3u);
  EXPECT_EQ(mlfIndexRef(set, "{?}", Value::Scalar(3)).utf8(), "c");
  EXPECT_TRUE(mlfIndexRef(set, "{?}", Value::Scalar(2)).empty());
  EXPECT_EQ(ErrorOf([&] { mlfIndexRef(set, "{?}", Value::Scalar(4)); }),
            "Index exceeds the number of elements of the cell array (4 > 3)");
  EXPECT_EQ(ErrorOf([&] { mlfIndexRef(set, "{?}", Value::Scalar(0)); }),
            "Index of the cell array must be a whole number of 1 or more, not 0");
  EXPECT_EQ(ErrorOf([&] { mlfIndexRef(set, "{?}", Value::Scalar(1.5)); }),
            "Index of the cell array must be a whole number of 1 or more, not 1.5");
  EXPECT_EQ(ErrorOf([&] { mlfIndexAssign(&set, "{?}", Value::Scalar(-1), Value()); }),
            "Index of the cell array must be a whole number of 1 or more, not -1");

  Value row = Value::Unassigned();
  mlfIndexAssign(&row, "(?)", Value::Scalar(2), Value::Scalar(7));
  EXPECT_EQ(row.cols(), 2u);
  EXPECT_EQ(row.num(1), 7);
}

TEST(Indexing, RangesAndElements) {
  const Value c = Value::Row({2026, 12, 7, 9, 5, 1.5});
  EXPECT_EQ(mclIntArrayRef1(c, 4), 9);
  EXPECT_EQ(ErrorOf([&] { mclIntArrayRef1(c, 7); }), "Index 7 is out of range 1 to 6");
  const Value r = mlfColon(Value::Scalar(1), Value::Scalar(3));
  EXPECT_EQ(mclArrayRef1(c, r).cols(), 3u);
  EXPECT_EQ(mlfColon(Value::Scalar(1), Value::Scalar(0)).numel(), 0u);
  EXPECT_EQ(mclArrayRef1(Value::Text("abc"), Value::Row({3, 1})).utf8(), "ca");
  EXPECT_EQ(mlfSort(Value::Row({3, 1, 2})).num(0), 1);
  EXPECT_EQ(mlfSort(Value::Row({3, 1, 2})).num(2), 3);
}

TEST(Sorting, LongRowsOfWholeNumbersAndEverythingElse) {
  std::vector<double> whole;
  for (int i = 0; i < 200; ++i) whole.push_back((i * 7919) % 1000);  // duplicates too
  whole.push_back(4294967295.0);
  whole.push_back(0);
  std::vector<double> expected = whole;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(test::Numbers(mlfSort(Value::Row(whole))), expected);
  whole.push_back(2.5);  // not whole: sorted by comparison
  whole.push_back(-3);
  whole.push_back(4294967296.0);
  expected = whole;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(test::Numbers(mlfSort(Value::Row(whole))), expected);
  for (const double top : {255.0, 65535.0, 16777215.0}) {  // one, two and three byte passes
    std::vector<double> narrow;
    for (int i = 0; i < 300; ++i) narrow.push_back(std::fmod(i * 7919.0, top + 1));
    narrow.push_back(-0.0);  // a whole number too: sorted as 0
    expected = narrow;
    std::sort(expected.begin(), expected.end());
    const std::vector<double> sorted = test::Numbers(mlfSort(Value::Row(narrow)));
    EXPECT_EQ(sorted, expected) << top;
    EXPECT_FALSE(std::signbit(sorted[0])) << top;
  }
  const Value with_nan = mlfSort(Value::Row({NAN, 2, 1}));
  EXPECT_EQ(with_nan.num(0), 1);
  EXPECT_TRUE(std::isnan(with_nan.num(2)));
}

TEST(Clock, DateIsIsoAndClockHasSixParts) {
  test::TestEnv env;
  env.now = {2026, 3, 4, 0, 0, 7.5};
  EXPECT_EQ(mlfDate().utf8(), "2026-03-04");
  const Value c = mlfClock();
  EXPECT_EQ(c.numel(), 6u);
  EXPECT_EQ(c.num(3), 0);
  EXPECT_EQ(c.num(5), 7.5);
}

TEST(Equality, ComparesClassFamilySizeAndContent) {
  EXPECT_TRUE(mlfIsequal(Value::Text(".fig"), Value::Text(".fig")));
  EXPECT_FALSE(mlfIsequal(Value::Text(".FIG"), Value::Text(".fig")));
  EXPECT_FALSE(mlfIsequal(Value::Row({1, 2}), Value::Matrix(2, 1, {1, 2})));
  EXPECT_TRUE(mlfIsempty(Value::EmptyText()));
}

TEST(Equality, TextsNumbersAndLogicalsCompareByValue) {
  EXPECT_TRUE(mlfIsequal(Value::Text("a"), Value::Scalar(97)));
  EXPECT_TRUE(mlfIsequal(Value::Bool(true), Value::Scalar(1)));
  EXPECT_TRUE(mlfIsequal(Value::EmptyText(), Value::Empty()));
  EXPECT_FALSE(mlfIsequal(Value::Row({1, 2}), Value::Row({1, 3})));
  EXPECT_FALSE(mlfIsequal(Value::Text("ab"), Value::Text("abc")));
  // A cell is never equal to a number or a text, even an empty one.
  EXPECT_FALSE(mlfIsequal(Value::Cell(0, 0), Value::Empty()));
  EXPECT_FALSE(mlfIsequal(Value::Cell(1, 1), Value::Scalar(0)));
}

TEST(Equality, AbsentEqualsOnlyAbsentAndUnassignedNothing) {
  EXPECT_TRUE(mlfIsequal(Value(), Value()));
  EXPECT_FALSE(mlfIsequal(Value(), Value::Empty()));
  EXPECT_FALSE(mlfIsequal(Value::Empty(), Value()));
  EXPECT_FALSE(mlfIsequal(Value::Unassigned(), Value::Unassigned()));
}

Value Pair(const char* first, Value a, const char* second, Value b) {
  Value s = Value::Struct();
  s.set_field(first, std::move(a));
  s.set_field(second, std::move(b));
  return s;
}

TEST(Equality, StructuresMatchFieldByFieldInAnyOrder) {
  const Value ab = Pair("a", Value::Scalar(1), "b", Value::Text("x"));
  const Value ba = Pair("b", Value::Text("x"), "a", Value::Scalar(1));
  EXPECT_TRUE(mlfIsequal(ab, ba));
  EXPECT_TRUE(mlfIsequal(ba, ab));
  // Other values, other names, or one field more is not equal, from either side.
  EXPECT_FALSE(mlfIsequal(ab, Pair("a", Value::Scalar(2), "b", Value::Text("x"))));
  EXPECT_FALSE(mlfIsequal(ab, Pair("a", Value::Scalar(1), "c", Value::Text("x"))));
  Value abc = ab;
  abc.set_field("c", Value::Empty());
  EXPECT_FALSE(mlfIsequal(ab, abc));
  EXPECT_FALSE(mlfIsequal(abc, ab));
  EXPECT_FALSE(mlfIsequal(Value::Struct(), ab));
  // Nested in cells and structures, the same rule holds.
  Value left = Value::Cell(1, 2);
  left.mutable_cell(0) = Value::Text("t");
  left.mutable_cell(1) = Pair("inner", ab, "n", Value::Scalar(3));
  Value right = Value::Cell(1, 2);
  right.mutable_cell(0) = Value::Text("t");
  right.mutable_cell(1) = Pair("n", Value::Scalar(3), "inner", ba);
  EXPECT_TRUE(mlfIsequal(left, right));
  right.mutable_cell(1) = Pair("n", Value::Scalar(3), "inner", Value::Scalar(0));
  EXPECT_FALSE(mlfIsequal(left, right));
}

}  // namespace
}  // namespace dk
