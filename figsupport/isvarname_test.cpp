#include "figsupport/isvarname.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "figsupport/iskeyword.h"
#include "frame/module.h"

namespace dk {
namespace {

using ::testing::HasSubstr;

class IsvarnameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeModule_isvarname();
    InitializeModule_iskeyword();
  }
  void TearDown() override {
    TerminateModule_iskeyword();
    TerminateModule_isvarname();
  }

  static bool Valid(const Value& s) {
    const Value t = mlfIsvarname(s);
    EXPECT_TRUE(t.is_logical());
    EXPECT_EQ(t.numel(), 1u);
    return t.num(0) != 0;
  }
  static bool Valid(const char* s) { return Valid(Value::Text(s)); }
};

std::string EntryError(int nlhs, int nrhs) {
  std::vector<Value> in(static_cast<std::size_t>(nrhs), Value::Text("a"));
  std::vector<Value> out(static_cast<std::size_t>(nlhs > 0 ? nlhs : 1));
  try {
    mlxIsvarname(nlhs, out.data(), nrhs, in.data());
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST_F(IsvarnameTest, ValidNames) {
  for (const char* name : {"a", "x_1", "End", "A9", "OutBox", "a__", "z0_9"}) {
    EXPECT_TRUE(Valid(name)) << name;
  }
}

TEST_F(IsvarnameTest, InvalidCharactersAndFirstCharacters) {
  for (const char* name : {"_x", "1x", "a b", "a-b", "a.b", "x$", "9", "_", " a"}) {
    EXPECT_FALSE(Valid(name)) << name;
  }
}

TEST_F(IsvarnameTest, KeywordsAreNotNamesButOtherCasesAre) {
  EXPECT_FALSE(Valid("end"));
  EXPECT_FALSE(Valid("otherwise"));
  EXPECT_FALSE(Valid("while"));
  EXPECT_TRUE(Valid("While"));
  EXPECT_TRUE(Valid("ends"));
}

TEST_F(IsvarnameTest, AtMostThirtyOneCharacters) {
  const std::string name(31, 'n');
  EXPECT_TRUE(Valid(name.c_str()));
  EXPECT_FALSE(Valid((name + "n").c_str()));
}

TEST_F(IsvarnameTest, TextsWithoutCharactersAreNotNames) {
  EXPECT_FALSE(Valid(Value::EmptyText()));
  EXPECT_FALSE(Valid(Value::CharMatrix(1, 0, u"")));
  EXPECT_FALSE(Valid(Value::CharMatrix(0, 3, u"")));
}

TEST_F(IsvarnameTest, OtherShapesAndClassesAreFalseNotErrors) {
  EXPECT_FALSE(Valid(Value::CharMatrix(2, 2, u"abcd")));  // rows "ac" and "bd"
  EXPECT_FALSE(Valid(Value::CharMatrix(2, 1, u"ab")));
  EXPECT_FALSE(Valid(Value::Scalar(5)));
  EXPECT_FALSE(Valid(Value::Row({97, 98})));
  EXPECT_FALSE(Valid(Value::Empty()));
  EXPECT_FALSE(Valid(Value::Bool(true)));
  Value cell = Value::Cell(1, 1);
  cell.mutable_cell(0) = Value::Text("abc");
  EXPECT_FALSE(Valid(cell));
  EXPECT_FALSE(Valid(Value::Struct()));
}

TEST_F(IsvarnameTest, LettersBeyondAsciiCount) {
  EXPECT_TRUE(Valid(Value::Text(u"\u00E9t\u00E9")));
  EXPECT_FALSE(Valid(Value::Text(u"a\u00D7b")));  // the multiplication sign
}

TEST_F(IsvarnameTest, MissingArgumentNamesS) {
  try {
    mlfIsvarname(Value());
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_THAT(e.what(), HasSubstr("\"s\""));
  }
}

TEST_F(IsvarnameTest, EntryChecksOutputsBeforeInputs) {
  EXPECT_EQ(EntryError(2, 1),
            "Run-time Error: File: isvarname Line: 1 Column: 1 The function \"isvarname\" was "
            "called with more than the declared number of outputs (1).");
  EXPECT_EQ(EntryError(1, 2),
            "Run-time Error: File: isvarname Line: 1 Column: 1 The function \"isvarname\" was "
            "called with more than the declared number of inputs (1).");
  EXPECT_EQ(EntryError(3, 3), EntryError(2, 0));
  EXPECT_THAT(EntryError(1, 0), HasSubstr("\"s\""));
}

TEST_F(IsvarnameTest, EntryFillsTheSlotEvenWithNoOutputAsked) {
  Value in[1] = {Value::Text("x")};
  Value out[1];
  mlxIsvarname(0, out, 1, in);
  EXPECT_EQ(out[0].num(0), 1);
}

}  // namespace
}  // namespace dk
