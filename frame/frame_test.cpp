#include "frame/frame.h"

#include <gtest/gtest.h>

#include <string>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;

TEST(CountMessage, NamesTheFileTwiceAndTheDeclaredCount) {
  EXPECT_EQ(CountMessage("openfig", 1, "inputs", 2),
            "Run-time Error: File: openfig Line: 1 Column: 1 The function \"openfig\" was called "
            "with more than the declared number of inputs (2).");
  EXPECT_EQ(CountMessage("movegui/get_parent_fig", 166, "outputs", 1),
            "Run-time Error: File: movegui/get_parent_fig Line: 166 Column: 1 The function "
            "\"movegui/get_parent_fig\" was called with more than the declared number of "
            "outputs (1).");
}

TEST(FixedEntry, ChecksOutputsFirstAndFillsTheFirstSlotAlways) {
  // A two-input, one-output body that records what it was given, afresh in every run.
  int seen_nargout = -1;
  bool seen_second_absent = false;
  const auto two_inputs = [&](int nargout, const Value& a, const Value& b) {
    seen_nargout = nargout;
    seen_second_absent = b.absent();
    return a;
  };
  const Value out_msg = Value::Text("outputs!"), in_msg = Value::Text("inputs!");
  Value plhs[2];
  Value prhs[3] = {Value::Text("x"), Value::Text("y"), Value::Text("z")};
  const auto call = [&](int nlhs, int nrhs) {
    return ErrorOf([&] { FixedEntry<2>(nlhs, plhs, nrhs, prhs, 1, out_msg, in_msg, two_inputs); });
  };
  EXPECT_EQ(call(2, 3), "outputs!");
  EXPECT_EQ(call(1, 3), "inputs!");
  EXPECT_EQ(seen_nargout, -1);  // the body never ran
  EXPECT_EQ(call(0, 1), "(no error)");
  EXPECT_EQ(seen_nargout, 0);
  EXPECT_TRUE(seen_second_absent);
  EXPECT_EQ(plhs[0].utf8(), "x");
}

TEST(Tails, GatherInputsAfterTheFixedOnes) {
  Value prhs[5] = {Value::Scalar(1), Value::Scalar(2), Value::Scalar(3), Value::Scalar(4),
                   Value::Scalar(5)};
  EXPECT_EQ(mclCreateVararginCell(5, prhs, 3).numel(), 2u);
  EXPECT_EQ(mclCreateVararginCell(5, prhs, 3).cell(1).num(0), 5);
  const Value none = mclCreateVararginCell(2, prhs, 3);
  EXPECT_TRUE(none.is_cell());
  EXPECT_EQ(none.numel(), 0u);
  EXPECT_EQ(mclVarargin({Value::Scalar(7)}).numel(), 1u);
}

TEST(Outputs, SpreadOverTheCallersSlots) {
  Value cell = Value::Cell(1, 2);
  cell.mutable_cell(0) = Value::Scalar(1);
  cell.mutable_cell(1) = Value::Scalar(2);
  Value plhs[3];
  mclAssignVarargoutCell(0, plhs, cell, "f");
  EXPECT_EQ(plhs[0].num(0), 1);
  EXPECT_TRUE(plhs[1].absent());
  mclAssignVarargoutCell(2, plhs, cell, "f");
  EXPECT_EQ(plhs[1].num(0), 2);
  EXPECT_EQ(ErrorOf([&] { mclAssignVarargoutCell(3, plhs, cell, "f"); }),
            "\"f\" was asked for 3 outputs but gave only 2.");
  Value second;
  EXPECT_EQ(mlfAssignOutputs(cell, {&second}, 2, "f").num(0), 1);
  EXPECT_EQ(second.num(0), 2);
  EXPECT_TRUE(mlfAssignOutputs(Value::Cell(1, 0), {}, 0, "f").absent());
}

TEST(Checks, ArgumentCountMessagesNameTheFunction) {
  EXPECT_TRUE(mlfNargchk(1, 2, 1, "openfig").empty());
  EXPECT_EQ(mlfNargchk(1, 2, 0, "openfig").utf8(),
            "openfig: not enough input arguments (1 to 2 expected, 0 given).");
  EXPECT_EQ(mlfNargchk(0, 3, 4, "movegui").utf8(),
            "movegui: too many input arguments (0 to 3 expected, 4 given).");
  EXPECT_EQ(mlfNargoutchk(0, 0, 1, "guidata").utf8(),
            "guidata: too many output arguments (0 expected, 1 given).");
  EXPECT_EQ(mclNargin(Value::Scalar(1), Value(), Value::Text("a")), 2);
}

TEST(Checks, UnsetVariablesAreErrorsOrWarningsNamingThem) {
  test::TestEnv env;
  EXPECT_EQ(ErrorOf([] { mclVa(Value(), "filename"); }),
            "Undefined variable \"filename\": the input argument was not passed.");
  EXPECT_EQ(ErrorOf([] { mclVv(Value(), "fig"); }),
            "Undefined variable \"fig\": it is used before it is defined.");
  EXPECT_TRUE(mclVv(Value::Unassigned(), "tag").unassigned());
  mclValidateOutput(Value::Unassigned(), 1, "fig", "openfig");
  mclValidateOutput(Value::Unassigned(), 0, "fig", "openfig");
  mclValidateOutput(Value::Scalar(1), 1, "fig", "openfig");
  EXPECT_EQ(env.err,
            "Warning: Variable \"tag\" is used before it was assigned a value.\n"
            "Warning: Output \"fig\" of \"openfig\" was never assigned.\n");
}

// Calls by name: the current local table first, then the registry, then the platform.
void LocalIschar(int, Value plhs[], int, Value[]) {
  plhs[0] = Value::Text("local");
}
void RegistryIschar(int, Value plhs[], int, Value[]) {
  plhs[0] = Value::Text("registry");
}

TEST(CallsByName, LookInTheLocalTableThenTheRegistryThenThePlatform) {
  const LocalFunctionRow local_rows[] = {{"ischar", LocalIschar, 1, 1}};
  const LocalFunctionTable local = {1, local_rows};
  const FunctionTableRow rows[] = {{"ischar", RegistryIschar, 1, 1, nullptr}};
  const MainInfo info = {1, 1, rows, 0, nullptr, 0, nullptr, 0, nullptr};
  const Value name = Value::Text("ischar");
  EXPECT_TRUE(mlfFeval(1, name, {Value::Text("a")})[0].is_logical());
  {
    ScopedRegistry registry(&info);
    EXPECT_EQ(mlfFeval(1, name, {})[0].utf8(), "registry");
    try {
      LocalFunctionScope scope(&local);
      EXPECT_EQ(mlfFeval(1, name, {})[0].utf8(), "local");
      Raise("leave the body early");
    } catch (const RuntimeError&) {
    }
    EXPECT_EQ(mclCurrentLocalFunctionTable(), nullptr);  // restored on the way out
  }
  EXPECT_EQ(ErrorOf([] { mlfFeval(0, Value::Text("nosuch"), {}); }),
            "Undefined function \"nosuch\".");
  EXPECT_EQ(ErrorOf([] { mlfFeval(0, Value::Scalar(3), {}); }),
            "A function to call must be named by a text");
}

}  // namespace
}  // namespace dk
