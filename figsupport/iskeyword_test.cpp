#include "figsupport/iskeyword.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "frame/module.h"

namespace dk {
namespace {

using ::testing::ElementsAre;

class IskeywordTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeModule_iskeyword(); }
  void TearDown() override { TerminateModule_iskeyword(); }

  static bool Keyword(const Value& s) {
    const Value r = mlfIskeyword(s);
    EXPECT_TRUE(r.is_logical());
    EXPECT_EQ(r.numel(), 1u);
    return r.num(0) != 0;
  }
};

// Calls the array-vector entry with `nrhs` text inputs; returns the error text.
std::string EntryError(int nlhs, int nrhs) {
  std::vector<Value> in(static_cast<std::size_t>(nrhs), Value::Text("end"));
  std::vector<Value> out(static_cast<std::size_t>(nlhs > 0 ? nlhs : 1));
  try {
    mlxIskeyword(nlhs, out.data(), nrhs, in.data());
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST_F(IskeywordTest, WithoutArgumentGivesTheListAsAColumn) {
  const Value list = mlfIskeyword();
  ASSERT_TRUE(list.is_cell());
  EXPECT_EQ(list.rows(), 17u);
  EXPECT_EQ(list.cols(), 1u);
  std::vector<std::string> words;
  for (std::size_t i = 0; i < list.numel(); ++i) words.push_back(list.cell(i).utf8());
  EXPECT_THAT(words, ElementsAre("break", "case", "catch", "continue", "else", "elseif", "end",
                                 "for", "function", "global", "if", "otherwise", "persistent",
                                 "return", "switch", "try", "while"));
}

TEST_F(IskeywordTest, ChangingTheReturnedListLeavesTheModulesOwn) {
  Value list = mlfIskeyword();
  list.mutable_cell(0) = Value::Text("changed");
  EXPECT_EQ(mlfIskeyword().cell(0).utf8(), "break");
  EXPECT_TRUE(Keyword(Value::Text("break")));
}

TEST_F(IskeywordTest, ExactCaseSensitiveWholeWords) {
  for (const char* word : {"while", "elseif", "persistent", "break", "end"}) {
    EXPECT_TRUE(Keyword(Value::Text(word))) << word;
  }
  for (const char* word : {"While", "else if", "END", "whil", "ends", " end"}) {
    EXPECT_FALSE(Keyword(Value::Text(word))) << word;
  }
}

TEST_F(IskeywordTest, NonTextsAreNoKeywords) {
  EXPECT_FALSE(Keyword(Value::EmptyText()));
  EXPECT_FALSE(Keyword(Value::Scalar(5)));
  EXPECT_FALSE(Keyword(Value::Empty()));
  Value cell = Value::Cell(1, 1);
  cell.mutable_cell(0) = Value::Text("while");
  EXPECT_FALSE(Keyword(cell));
  EXPECT_FALSE(Keyword(Value::CharMatrix(2, 3, u"eenndd")));  // "end" down the columns
}

TEST_F(IskeywordTest, EntryChecksOutputsBeforeInputs) {
  EXPECT_EQ(EntryError(2, 1),
            "Run-time Error: File: iskeyword Line: 1 Column: 1 The function \"iskeyword\" was "
            "called with more than the declared number of outputs (1).");
  EXPECT_EQ(EntryError(1, 2),
            "Run-time Error: File: iskeyword Line: 1 Column: 1 The function \"iskeyword\" was "
            "called with more than the declared number of inputs (1).");
  EXPECT_EQ(EntryError(2, 2), EntryError(2, 0));
}

TEST_F(IskeywordTest, EntryFillsTheSlotEvenWithNoOutputAsked) {
  Value in[1] = {Value::Text("for")};
  Value out[1];
  mlxIskeyword(0, out, 1, in);
  EXPECT_EQ(out[0].num(0), 1);
  mlxIskeyword(1, out, 0, in);
  EXPECT_TRUE(out[0].is_cell());
}

}  // namespace
}  // namespace dk
