#include "runtime/numeric.h"

#include <cmath>
#include <functional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::Numbers;

using ::testing::ElementsAre;
using ::testing::HasSubstr;

Value Cell(std::initializer_list<Value> items) {
  Value c = Value::Cell(1, items.size());
  std::size_t i = 0;
  for (const Value& v : items) c.mutable_cell(i++) = v;
  return c;
}

TEST(NumericMinMax, ElementwiseWithScalarExpansion) {
  const Value corner = Value::Row({-50, 700});
  EXPECT_THAT(Numbers(mlfMax(corner, Value::Row({0, 0}))), ElementsAre(0, 700));
  EXPECT_THAT(Numbers(mlfMin(corner, Value::Scalar(600))), ElementsAre(-50, 600));
  const Value col = mlfMin(Value::Scalar(3), Value::Matrix(2, 1, {5, 1}));
  EXPECT_EQ(col.rows(), 2u);  // the result takes the array's shape
  EXPECT_THAT(Numbers(col), ElementsAre(3, 1));
  EXPECT_THAT(Numbers(mlfMin(Value::Scalar(NAN), Value::Scalar(3))), ElementsAre(3));
  EXPECT_TRUE(mlfMin(Value::Empty(), Value::Scalar(1)).empty());
  EXPECT_THAT(ErrorOf([] {
                mlfMin(Value::Row({1, 2}), Value::Row({1, 2, 3}));
              }),
              HasSubstr("min: sizes do not agree (1x2 and 1x3)"));
}

TEST(NumericProd, VectorsGiveOneProductMatricesOnePerColumn) {
  EXPECT_EQ(mlfProd(Value::Row({1, 2})).num(0), 2);
  EXPECT_EQ(mlfProd(Value::Matrix(3, 1, {2, 3, 4})).num(0), 24);
  EXPECT_EQ(mlfProd(Value::Empty()).num(0), 1);
  EXPECT_THAT(Numbers(mlfProd(Value::Matrix(2, 2, {1, 2, 3, 4}))), ElementsAre(2, 12));
}

TEST(NumericDivideAndCompare, ScalarDivisionAndOrderTests) {
  EXPECT_THAT(Numbers(mclMrdivide(Value::Row({723, 567}), Value::Scalar(2))),
              ElementsAre(361.5, 283.5));
  EXPECT_THAT(ErrorOf([] {
                mclMrdivide(Value::Scalar(1), Value::Row({1, 2}));
              }),
              HasSubstr("only division by a scalar"));
  EXPECT_TRUE(mclLtBool(Value::Scalar(-1), Value::Scalar(0)));
  EXPECT_FALSE(mclLtBool(Value::Scalar(0), Value::Scalar(0)));
  EXPECT_FALSE(mclLtBool(Value::Row({-1, 1}), Value::Scalar(0)));  // every element must hold
  EXPECT_FALSE(mclLtBool(Value::Empty(), Value::Scalar(0)));
  const Value gt = mclGt(Value::Row({5, 1}), Value::Scalar(2));
  EXPECT_TRUE(gt.is_logical());
  EXPECT_THAT(Numbers(gt), ElementsAre(1, 0));
  EXPECT_FALSE(mlfIsnumeric(Value::Bool(true)).num(0));
}

TEST(NumericAssign, StoresAtIndicesGrowingVectors) {
  Value pos = Value::Row({10, 20});
  mclArrayAssign1(&pos, Value::Row({300, 200}), Value::Row({3, 4}));
  EXPECT_THAT(Numbers(pos), ElementsAre(10, 20, 300, 200));
  Value col = Value::Matrix(2, 1, {1, 2});
  mclArrayAssign1(&col, Value::Scalar(9), Value::Row({4}));
  EXPECT_EQ(col.cols(), 1u);
  EXPECT_THAT(Numbers(col), ElementsAre(1, 2, 0, 9));
  Value shared = Value::Row({1, 2});
  const Value copy = shared;
  mclArrayAssign1(&shared, Value::Scalar(7), Value::Row({1, 2}));
  EXPECT_THAT(Numbers(shared), ElementsAre(7, 7));
  EXPECT_THAT(Numbers(copy), ElementsAre(1, 2));  // the copy is untouched
  Value fresh = Value::Unassigned();
  mclArrayAssign1(&fresh, Value::Scalar(5), Value::Scalar(2));
  EXPECT_THAT(Numbers(fresh), ElementsAre(0, 5));

  EXPECT_THAT(ErrorOf([&] {
                mclArrayAssign1(&pos, Value::Row({1, 2, 3}), Value::Row({1, 2}));
              }),
              HasSubstr("2 places cannot take 3 elements"));
  EXPECT_THAT(ErrorOf([&] { mclArrayAssign1(&pos, Value::Scalar(1), Value::Scalar(0.5)); }),
              HasSubstr("whole number of 1 or more, not 0.5"));
  Value matrix = Value::Matrix(2, 2, {1, 2, 3, 4});
  EXPECT_THAT(ErrorOf([&] { mclArrayAssign1(&matrix, Value::Scalar(1), Value::Scalar(5)); }),
              HasSubstr("beyond the 2x2 matrix"));
}

TEST(NumericStrmatch, ExactAndPrefixMatches) {
  const Value names = Cell(
      {Value::Text("north"), Value::Text("northeast"), Value::Scalar(3), Value::Text("North")});
  const Value exact = Value::Text("exact");
  const Value one = mlfStrmatch(Value::Text("north"), names, exact);
  EXPECT_EQ(one.cols(), 1u);
  EXPECT_THAT(Numbers(one), ElementsAre(1));
  EXPECT_THAT(Numbers(mlfStrmatch(Value::Text("north"), names)), ElementsAre(1, 2));
  const Value none = mlfStrmatch(Value::Text("nort"), names, exact);
  EXPECT_EQ(none.rows(), 0u);
  EXPECT_EQ(none.cols(), 1u);
  EXPECT_TRUE(mlfStrmatch(Value::EmptyText(), names, exact).empty());
  EXPECT_TRUE(mlfStrmatch(Value::CharMatrix(2, 1, u"ns"), names, exact).empty());
  EXPECT_THAT(Numbers(mlfStrmatch(Value::Text("ab"), Value::Text("abc"))), ElementsAre(1));
  EXPECT_THAT(ErrorOf([&] { mlfStrmatch(Value::Scalar(1), names, exact); }),
              HasSubstr("must be a text"));
  EXPECT_THAT(ErrorOf([&] { mlfStrmatch(Value::Text("a"), names, Value::Text("whole")); }),
              HasSubstr("\"exact\""));
}

}  // namespace
}  // namespace dk
