#include "frame/frame.h"

#include "base/errors.h"
#include "os/env.h"
#include "runtime/last_error.h"

namespace dk {
std::string CountMessage(const char* file, int line, const char* what, int declared) {
  return std::string("Run-time Error: File: ") + file + " Line: " + std::to_string(line) +
         " Column: 1 The function \"" + file +
         "\" was called with more than the declared number of " + what + " (" +
         std::to_string(declared) + ").";
}

void CheckCounts(int nlhs, int nrhs, int max_outputs, int max_inputs, const Value& outputs_message,
                 const Value& inputs_message) {
  if (nlhs > max_outputs) mlfError(outputs_message);
  if (max_inputs >= 0 && nrhs > max_inputs) mlfError(inputs_message);
}

Value mclCreateVararginCell(int nrhs, Value prhs[], int first) {
  const int n = nrhs > first ? nrhs - first : 0;
  Value tail = Value::Cell(1, static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) tail.mutable_cell(static_cast<std::size_t>(i)) = prhs[first + i];
  return tail;
}

Value mclVarargin(std::vector<Value> values) {
  return mclCreateVararginCell(static_cast<int>(values.size()), values.data());
}

namespace {

[[noreturn]] void RaiseTooManyOutputs(const char* function, int asked, std::size_t given) {
  Raise(std::string("\"") + function + "\" was asked for " + std::to_string(asked) +
        " outputs but gave only " + std::to_string(given) + ".");
}

}  // namespace

void mclAssignVarargoutCell(int nlhs, Value plhs[], const Value& outputs, const char* function) {
  const std::size_t given = outputs.is_cell() ? outputs.numel() : 0;
  if (static_cast<std::size_t>(nlhs) > given) RaiseTooManyOutputs(function, nlhs, given);
  for (std::size_t i = 0; i < given && (i < static_cast<std::size_t>(nlhs) || i == 0); ++i) {
    plhs[i] = outputs.cell(i);
  }
}

Value mlfAssignOutputs(const Value& cell, const OutputList& outputs, int nargout,
                       const char* function) {
  const std::size_t given = cell.is_cell() ? cell.numel() : 0;
  if (static_cast<std::size_t>(nargout) > given) RaiseTooManyOutputs(function, nargout, given);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    if (outputs[i] != nullptr && i + 1 < given) *outputs[i] = cell.cell(i + 1);
  }
  return given > 0 ? cell.cell(0) : Value();
}

namespace {

Value CountCheck(int lo, int hi, int n, const char* function, const char* what) {
  if (n >= lo && n <= hi) return Value::Empty();
  const std::string range =
      lo == hi ? std::to_string(lo) : std::to_string(lo) + " to " + std::to_string(hi);
  return Value::Text(std::string(function) + ": " + (n < lo ? "not enough " : "too many ") + what +
                     " arguments (" + range + " expected, " + std::to_string(n) + " given).");
}

}  // namespace

Value mlfNargchk(int lo, int hi, int n, const char* function) {
  return CountCheck(lo, hi, n, function, "input");
}

Value mlfNargoutchk(int lo, int hi, int n, const char* function) {
  return CountCheck(lo, hi, n, function, "output");
}

Value mclValidateOutput(Value output, int nargout, const char* name, const char* function) {
  if (nargout >= 1 && output.unassigned()) mclValidateOutputWarning(name, function);
  return output;
}

void mclValidateError(int kind, const char* name) {
  if (kind == 0) {
    Raise(std::string("Undefined variable \"") + name + "\": the input argument was not passed.");
  }
  Raise(std::string("Undefined variable \"") + name + "\": it is used before it is defined.");
}

bool mclUninitWarning(const char* name) {
  Warn(std::string("Variable \"") + name + "\" is used before it was assigned a value.");
  return true;
}

void mclValidateOutputWarning(const char* output, const char* function) {
  Warn(std::string("Output \"") + output + "\" of \"" + function + "\" was never assigned.");
}

const Value& mclVa(const Value& v, const char* name) {
  if (v.absent()) mclValidateError(0, name);
  if (v.unassigned()) mclUninitWarning(name);
  return v;
}

const Value& mclVv(const Value& v, const char* name) {
  if (v.absent()) mclValidateError(1, name);
  if (v.unassigned()) mclUninitWarning(name);
  return v;
}

}  // namespace dk
