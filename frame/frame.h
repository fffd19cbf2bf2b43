// The calling frame shared by every callable function: entry signatures, the
// registry's row types, argument-count checks, the current local function table and
// the checks made when a variable is read.
#ifndef DROPKIT_FRAME_FRAME_H_
#define DROPKIT_FRAME_FRAME_H_

#include <array>
#include <cstddef>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk {

// The fixed count-check message: "Run-time Error: File: <file> Line: <line> Column: 1
// The function "<file>" was called with more than the declared number of <what>
// (<declared>)."  `what` is "outputs" or "inputs".
std::string CountMessage(const char* file, int line, const char* what, int declared);

// Raises `outputs_message` when nlhs exceeds max_outputs, then `inputs_message` when
// nrhs exceeds max_inputs (max_inputs < 0: no inputs check).
void CheckCounts(int nlhs, int nrhs, int max_outputs, int max_inputs, const Value& outputs_message,
                 const Value& inputs_message);

// The array-vector entry of a function with N fixed inputs and at most one output:
// checks the counts (outputs first), passes the first min(nrhs, N) inputs (the others
// absent) to body(nargout, inputs...), and stores the result in plhs[0], also when
// nlhs is 0.
template <std::size_t N, typename Body>
void FixedEntry(int nlhs, Value plhs[], int nrhs, Value prhs[], int max_outputs,
                const Value& outputs_message, const Value& inputs_message, Body body) {
  CheckCounts(nlhs, nrhs, max_outputs, static_cast<int>(N), outputs_message, inputs_message);
  std::array<Value, N> in;
  for (std::size_t i = 0; i < N && i < static_cast<std::size_t>(nrhs); ++i) in[i] = prhs[i];
  Value out = std::apply([&](const auto&... a) { return body(nlhs, a...); }, in);
  if (max_outputs > 0) plhs[0] = std::move(out);
}

// The number of inputs that were passed (not absent).
template <typename... V>
int mclNargin(const V&... inputs) {
  return (0 + ... + (inputs.absent() ? 0 : 1));
}

// A variable tail: a 1-by-n cell of prhs[first .. nrhs-1]; 1-by-0 when there are none.
Value mclCreateVararginCell(int nrhs, Value prhs[], int first = 0);
// A variable tail from values.
Value mclVarargin(std::vector<Value> values);

// Spreads a body's output cell over the caller's slots: element i goes to plhs[i] for
// i < nlhs, and element 1 to plhs[0] also when nlhs is 0. Raises when more outputs are
// asked than `function` gave.
void mclAssignVarargoutCell(int nlhs, Value plhs[], const Value& outputs, const char* function);

// The caller's further output slots, for the direct entries of variable-output
// functions: outputs 2, 3, ... go there.
using OutputList = std::vector<Value*>;
// Hands a body's output cell to a direct entry's caller: returns element 1 (absent when
// the cell is empty) and stores elements 2.. through `outputs`. Raises when more
// outputs are asked than `function` gave.
Value mlfAssignOutputs(const Value& cell, const OutputList& outputs, int nargout,
                       const char* function);

// Argument-count checks of a body: the empty matrix when lo <= n <= hi, else a message
// naming `function` ("openfig: not enough input arguments (1 to 2 expected, 0 given).").
Value mlfNargchk(int lo, int hi, int n, const char* function);
Value mlfNargoutchk(int lo, int hi, int n, const char* function);

// Ends a body with one output: warns (naming the output and the function) when the
// caller asked for an output that was never assigned; returns the output.
Value mclValidateOutput(Value output, int nargout, const char* name, const char* function);

// Makes a module's local function table current for the life of a body.
class LocalFunctionScope {
 public:
  explicit LocalFunctionScope(const LocalFunctionTable* table)
      : previous_(mclSetCurrentLocalFunctionTable(table)) {}
  ~LocalFunctionScope() { mclSetCurrentLocalFunctionTable(previous_); }
  LocalFunctionScope(const LocalFunctionScope&) = delete;
  LocalFunctionScope& operator=(const LocalFunctionScope&) = delete;

 private:
  const LocalFunctionTable* previous_;
};

// Raises the undefined-variable error: kind 0 for an input argument that was not
// passed, 1 for a local variable that was never set.
[[noreturn]] void mclValidateError(int kind, const char* name);
// Warns that `name` is read before it was assigned; returns true (the caller may
// then use an empty matrix in its place).
bool mclUninitWarning(const char* name);
// Warns that output `output` of `function` was never assigned.
void mclValidateOutputWarning(const char* output, const char* function);

// Reads an input: raises for an absent one, warns for an unassigned one.
const Value& mclVa(const Value& v, const char* name);
// Reads a local variable: raises for one that was never set, warns for the marker.
const Value& mclVv(const Value& v, const char* name);

}  // namespace dk

#endif  // DROPKIT_FRAME_FRAME_H_
