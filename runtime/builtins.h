// The platform's own callable functions, reachable by name after the program's own:
// "ischar", "isstr", "isnumeric", "ishandle", "isempty" and "size".
#ifndef DROPKIT_RUNTIME_BUILTINS_H_
#define DROPKIT_RUNTIME_BUILTINS_H_

#include <string_view>

#include "runtime/callable.h"

namespace dk {

// The test behind "ishandle": a logical array of the input's size, true where an entry
// is a live graphics handle. The graphics model installs it (gui/graphics.h) for as long
// as it is installed; without one, "ishandle" raises. Returns the test it replaces.
using HandleTest = Value (*)(const Value& v);
HandleTest SetHandleTest(HandleTest test);

// The entry of the platform function called `name`, or nullptr.
MlxFunction FindPlatformFunction(std::string_view name);

// Entries, each taking one input and giving one output.
void mlxIschar(int nlhs, Value plhs[], int nrhs, Value prhs[]);     // true for a char array
void mlxIsstr(int nlhs, Value plhs[], int nrhs, Value prhs[]);      // the same as ischar
void mlxIsnumeric(int nlhs, Value plhs[], int nrhs, Value prhs[]);  // true for a double array
void mlxIshandle(int nlhs, Value plhs[], int nrhs, Value prhs[]);   // live handles (SetHandleTest)
void mlxIsempty(int nlhs, Value plhs[], int nrhs, Value prhs[]);
void mlxSize(int nlhs, Value plhs[], int nrhs, Value prhs[]);  // [rows cols]

}  // namespace dk

#endif  // DROPKIT_RUNTIME_BUILTINS_H_
