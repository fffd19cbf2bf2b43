#include "runtime/arrays.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::Numbers;

using ::testing::ElementsAre;
using ::testing::HasSubstr;

bool Letter(char16_t u) {
  return mlfIsletter(Value::Text(std::u16string_view(&u, 1))).num(0) != 0;
}

TEST(ArraysShape, LengthAndSizeAlongADimension) {
  const Value m = Value::Matrix(2, 5);
  EXPECT_EQ(mclLengthInt(m), 5u);
  EXPECT_EQ(mclLengthInt(Value::Matrix(0, 3)), 0u);
  EXPECT_EQ(mclLengthInt(Value::Cell(4, 1)), 4u);
  EXPECT_EQ(mlfSize(m, Value::Scalar(1)).num(0), 2);
  EXPECT_EQ(mlfSize(m, Value::Scalar(2)).num(0), 5);
  EXPECT_EQ(mlfSize(m, Value::Scalar(3)).num(0), 1);
  EXPECT_EQ(mlfSize(Value::CharMatrix(1, 0, u""), Value::Scalar(1)).num(0), 1);
  EXPECT_THAT(ErrorOf([] { mlfSize(Value::Empty(), Value::Scalar(0)); }), HasSubstr("size"));
  EXPECT_THAT(ErrorOf([] { mclLengthInt(Value()); }), HasSubstr("length"));
}

TEST(ArraysShape, IscharOnlyForCharacterArrays) {
  EXPECT_TRUE(mlfIschar(Value::EmptyText()).is_logical());
  EXPECT_EQ(mlfIschar(Value::EmptyText()).num(0), 1);
  EXPECT_EQ(mlfIschar(Value::CharMatrix(2, 2, u"abcd")).num(0), 1);
  EXPECT_EQ(mlfIschar(Value::Scalar(97)).num(0), 0);
  EXPECT_EQ(mlfIschar(Value::Cell(1, 1)).num(0), 0);
}

TEST(ArraysLetters, AsciiBoundaries) {
  for (char16_t u : {u'A', u'Z', u'a', u'z', u'm'}) EXPECT_TRUE(Letter(u)) << char(u);
  for (char16_t u : {u'@', u'[', u'`', u'{', u'0', u'9', u'_', u' ', u'-'}) {
    EXPECT_FALSE(Letter(u)) << char(u);
  }
}

TEST(ArraysLetters, LettersOfOtherScriptsButNotSigns) {
  for (char16_t u : {u'\u00E9', u'\u00C0', u'\u00FF', u'\u03B1', u'\u0416', u'\u05D0', u'\u4E2D',
                     u'\uAC00', u'\uFF21'}) {
    EXPECT_TRUE(Letter(u)) << int(u);
  }
  // Multiplication and division signs, the Greek question mark area, a combining mark,
  // a digit of another script and a surrogate half.
  for (char16_t u : {u'\u00D7', u'\u00F7', u'\u0387', u'\u0301', u'\u0660', char16_t(0xD800)}) {
    EXPECT_FALSE(Letter(u)) << int(u);
  }
}

TEST(ArraysLetters, KeepsShapeAndIsFalseForNonTexts) {
  const Value r = mlfIsletter(Value::CharMatrix(2, 2, u"a1_B"));
  EXPECT_TRUE(r.is_logical());
  EXPECT_EQ(r.rows(), 2u);
  EXPECT_THAT(Numbers(r), ElementsAre(1, 0, 0, 1));
  EXPECT_THAT(Numbers(mlfIsletter(Value::Row({65, 97}))), ElementsAre(0, 0));
  EXPECT_EQ(mlfIsletter(Value::CharMatrix(1, 0, u"")).cols(), 0u);
}

TEST(ArraysCompare, TextAgainstCharacterScalarsElementwise) {
  const Value s = Value::Text("a0_9");
  EXPECT_THAT(Numbers(mclEq(s, Value::Text("_"))), ElementsAre(0, 0, 1, 0));
  EXPECT_THAT(Numbers(mclLe(Value::Text("0"), s)), ElementsAre(1, 1, 1, 1));
  EXPECT_THAT(Numbers(mclLe(s, Value::Text("9"))), ElementsAre(0, 1, 0, 1));
  EXPECT_TRUE(mclEq(Value::Scalar(1), Value::Scalar(1)).is_logical());
}

TEST(ArraysCompare, SizesMustAgreeUnlessOneIsAScalar) {
  EXPECT_THAT(ErrorOf([] {
                mclEq(Value::Row({1, 2}), Value::Row({1, 2, 3}));
              }),
              HasSubstr("eq: sizes do not agree (1x2 and 1x3)"));
  EXPECT_EQ(mclLe(Value::Scalar(1), Value::Matrix(0, 0)).numel(), 0u);
  EXPECT_THAT(ErrorOf([] { mclLe(Value::Cell(1, 1), Value::Scalar(1)); }),
              HasSubstr("le: operands must be numbers, logicals or texts, not a cell"));
}

TEST(ArraysLogic, AndOrNotOnTruthOfElements) {
  const Value a = Value::Row({1, 0, 2, 0});
  const Value b = Value::Row({3, 3, 0, 0});
  EXPECT_THAT(Numbers(mclAnd(a, b)), ElementsAre(1, 0, 0, 0));
  EXPECT_THAT(Numbers(mclOr(a, b)), ElementsAre(1, 1, 1, 0));
  EXPECT_THAT(Numbers(mclNot(a)), ElementsAre(0, 1, 0, 1));
  EXPECT_TRUE(mclNot(a).is_logical());
  EXPECT_THAT(Numbers(mclAnd(Value::Bool(true), b)), ElementsAre(1, 1, 0, 0));
}

TEST(ArraysLogic, NanHasNoTruth) {
  const Value nan = Value::Scalar(std::nan(""));
  EXPECT_THAT(ErrorOf([&] { mclAnd(Value::Scalar(0), nan); }), HasSubstr("and: NaN"));
  EXPECT_THAT(ErrorOf([&] { mclOr(Value::Scalar(1), nan); }), HasSubstr("or: NaN"));
  EXPECT_THAT(ErrorOf([&] { mclNot(nan); }), HasSubstr("not: NaN"));
}

TEST(ArraysReduce, AllAndAnyOfVectorsAndEmpties) {
  EXPECT_EQ(mlfAll(Value::Row({1, 2})).num(0), 1);
  EXPECT_EQ(mlfAll(Value::Matrix(3, 1, {1, 0, 1})).num(0), 0);
  EXPECT_EQ(mlfAll(Value::Matrix(1, 0)).num(0), 1);
  EXPECT_EQ(mlfAll(Value::Empty()).num(0), 1);
  EXPECT_EQ(mlfAny(Value::Empty()).num(0), 0);
  EXPECT_EQ(mlfAny(Value::LogicalMatrix(17, 1, std::vector<double>(17, 0))).num(0), 0);
  EXPECT_TRUE(mlfAny(Value::Row({0, 1})).is_logical());
  EXPECT_EQ(mlfAny(Value::Row({0, 1})).num(0), 1);
}

TEST(ArraysReduce, MatricesReducePerColumn) {
  const Value m = Value::Matrix(2, 3, {1, 1, 1, 0, 0, 0});
  EXPECT_THAT(Numbers(mlfAll(m)), ElementsAre(1, 0, 0));
  EXPECT_THAT(Numbers(mlfAny(m)), ElementsAre(1, 1, 0));
  EXPECT_THAT(ErrorOf([] { mlfAll(Value::Struct()); }), HasSubstr("all:"));
}

TEST(ArraysStrcmp, WholeTextsExactly) {
  const auto same = [](const Value& a, const Value& b) { return mlfStrcmp(a, b).num(0) != 0; };
  EXPECT_TRUE(same(Value::Text("while"), Value::Text("while")));
  EXPECT_FALSE(same(Value::Text("while"), Value::Text("While")));
  EXPECT_FALSE(same(Value::Text("whil"), Value::Text("while")));
  EXPECT_FALSE(same(Value::Scalar(5), Value::Scalar(5)));
  EXPECT_FALSE(same(Value::Row({97}), Value::Text("a")));
  EXPECT_TRUE(same(Value::EmptyText(), Value::CharMatrix(1, 0, u"")));
  EXPECT_FALSE(same(Value::CharMatrix(2, 1, u"ab"), Value::Text("ab")));
  EXPECT_TRUE(mlfStrcmp(Value::Text("a"), Value::Text("a")).is_logical());
}

TEST(ArraysStrcmp, TextAgainstEachElementOfACell) {
  Value list = Value::Cell(3, 1);
  list.mutable_cell(0) = Value::Text("if");
  list.mutable_cell(1) = Value::Scalar(1);
  list.mutable_cell(2) = Value::Text("end");
  const Value r = mlfStrcmp(Value::Text("end"), list);
  EXPECT_EQ(r.rows(), 3u);
  EXPECT_THAT(Numbers(r), ElementsAre(0, 0, 1));
  EXPECT_THAT(Numbers(mlfStrcmp(list, Value::Text("if"))), ElementsAre(1, 0, 0));
  // A cell compared as a whole is no text.
  Value one = Value::Cell(1, 1);
  one.mutable_cell(0) = Value::Text("end");
  EXPECT_THAT(Numbers(mlfStrcmp(one, list)), ElementsAre(0, 0, 0));
  EXPECT_THAT(Numbers(mlfStrcmp(list, list)), ElementsAre(1, 0, 1));  // 1 is no text
  EXPECT_THAT(ErrorOf([] { mlfStrcmp(Value(), Value::Text("a")); }), HasSubstr("strcmp"));
}

TEST(ArraysFields, SetfieldStartsFromTheEmptyMatrixAndKeepsOrder) {
  Value s = mlfSetfield(Value::Empty(), Value::Text("b"), Value::Scalar(1));
  ASSERT_TRUE(s.is_struct());
  s = mlfSetfield(s, Value::Text("a"), Value::Scalar(2));
  const Value t = mlfSetfield(s, Value::Text("b"), Value::Scalar(3));
  EXPECT_THAT(t.field_names(), ElementsAre("b", "a"));
  EXPECT_EQ(mlfGetfield(t, Value::Text("b")).num(0), 3);
  EXPECT_EQ(mlfGetfield(s, Value::Text("b")).num(0), 1);  // the argument is unchanged
  EXPECT_THAT(ErrorOf([] { mlfSetfield(Value::Scalar(1), Value::Text("a"), Value::Empty()); }),
              HasSubstr("setfield: needs a structure, not a double"));
  EXPECT_THAT(ErrorOf([] { mlfSetfield(Value::Empty(), Value::EmptyText(), Value::Empty()); }),
              HasSubstr("setfield: the field name"));
}

TEST(ArraysFields, IsfieldAndGetfieldMatchExactly) {
  const Value s = mlfSetfield(Value::Empty(), Value::Text("OutBox"), Value::Scalar(1));
  EXPECT_EQ(mlfIsfield(s, Value::Text("OutBox")).num(0), 1);
  EXPECT_EQ(mlfIsfield(s, Value::Text("outbox")).num(0), 0);
  EXPECT_EQ(mlfIsfield(Value::Empty(), Value::Text("OutBox")).num(0), 0);
  EXPECT_EQ(mlfIsfield(s, Value::Scalar(1)).num(0), 0);
  EXPECT_THAT(ErrorOf([&] { mlfGetfield(s, Value::Text("outbox")); }),
              HasSubstr("getfield: the structure has no field \"outbox\""));
  EXPECT_THAT(ErrorOf([] { mlfGetfield(Value::Empty(), Value::Text("a")); }),
              HasSubstr("getfield"));
}

TEST(ArraysHorzcat, EmptyMatricesDropOutAndRowsJoin) {
  const Value r = mlfHorzcat({Value::Empty(), Value::Scalar(7)});
  EXPECT_EQ(r.rows(), 1u);
  EXPECT_THAT(Numbers(r), ElementsAre(7));
  EXPECT_THAT(Numbers(mlfHorzcat({Value::Row({1, 2}), Value::Scalar(3)})), ElementsAre(1, 2, 3));
  const Value m = mlfHorzcat({Value::Matrix(2, 1, {1, 2}), Value::Matrix(2, 1, {3, 4})});
  EXPECT_EQ(m.cols(), 2u);
  EXPECT_THAT(Numbers(m), ElementsAre(1, 2, 3, 4));
  EXPECT_TRUE(mlfHorzcat({Value::Empty(), Value::Empty()}).is_numeric());
  EXPECT_EQ(mlfHorzcat({Value::Empty(), Value::Empty()}).numel(), 0u);
}

TEST(ArraysHorzcat, ClassesAndMismatches) {
  EXPECT_EQ(mlfHorzcat({Value::Text("ab"), Value::Text("c")}).utf8(), "abc");
  EXPECT_TRUE(mlfHorzcat({Value::Bool(true), Value::Bool(false)}).is_logical());
  EXPECT_TRUE(mlfHorzcat({Value::Bool(true), Value::Scalar(2)}).is_numeric());
  EXPECT_THAT(ErrorOf([] {
                mlfHorzcat({Value::Row({1}), Value::Matrix(2, 1)});
              }),
              HasSubstr("horzcat: parts have different numbers of rows (1x1 and 2x1)"));
  EXPECT_THAT(ErrorOf([] {
                mlfHorzcat({Value::Text("a"), Value::Scalar(1)});
              }),
              HasSubstr("horzcat: texts and numbers"));
  EXPECT_THAT(ErrorOf([] { mlfHorzcat({Value::Cell(1, 1)}); }), HasSubstr("not a cell"));
}

}  // namespace
}  // namespace dk
