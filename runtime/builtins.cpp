#include "runtime/builtins.h"

#include <string>
#include <utility>

#include "base/errors.h"

namespace dk {
namespace {

// Checks that a one-input, one-output platform function got what it needs.
const Value& OneInput(const char* name, int nlhs, int nrhs, Value prhs[]) {
  if (nlhs > 1) Raise(std::string(name) + ": too many output arguments (1 allowed).");
  if (nrhs != 1) {
    Raise(std::string(name) + ": one input argument expected, " + std::to_string(nrhs) + " given.");
  }
  if (prhs[0].absent()) Raise(std::string(name) + ": the input argument has no value.");
  return prhs[0];
}

struct Row {
  std::string_view name;
  MlxFunction entry;
};

const Row kFunctions[] = {
    {"ischar", mlxIschar},     {"isstr", mlxIsstr},     {"isnumeric", mlxIsnumeric},
    {"ishandle", mlxIshandle}, {"isempty", mlxIsempty}, {"size", mlxSize},
};

}  // namespace

MlxFunction FindPlatformFunction(std::string_view name) {
  for (const Row& row : kFunctions) {
    if (row.name == name) return row.entry;
  }
  return nullptr;
}

void mlxIschar(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  plhs[0] = Value::Bool(OneInput("ischar", nlhs, nrhs, prhs).is_char());
}

void mlxIsstr(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  plhs[0] = Value::Bool(OneInput("isstr", nlhs, nrhs, prhs).is_char());
}

void mlxIsnumeric(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  plhs[0] = Value::Bool(OneInput("isnumeric", nlhs, nrhs, prhs).is_numeric());
}

HandleTest& InstalledHandleTest() {
  static HandleTest test = nullptr;
  return test;
}

HandleTest SetHandleTest(HandleTest test) {
  return std::exchange(InstalledHandleTest(), test);
}

void mlxIshandle(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  const Value& v = OneInput("ishandle", nlhs, nrhs, prhs);
  const HandleTest test = InstalledHandleTest();
  if (test == nullptr) Raise("Graphics are not available: no window system is installed");
  plhs[0] = test(v);
}

void mlxIsempty(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  plhs[0] = Value::Bool(OneInput("isempty", nlhs, nrhs, prhs).empty());
}

void mlxSize(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  const Value& v = OneInput("size", nlhs, nrhs, prhs);
  plhs[0] = Value::Row({static_cast<double>(v.rows()), static_cast<double>(v.cols())});
}

}  // namespace dk
