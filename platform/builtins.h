// The platform's own callable functions, reachable by name after the program's own:
// "ischar", "isstr", "isnumeric", "ishandle", "isempty" and "size".
#ifndef DROPKIT_PLATFORM_BUILTINS_H_
#define DROPKIT_PLATFORM_BUILTINS_H_

#include <string_view>

#include "platform/callable.h"

namespace dk {

// The entry of the platform function called `name`, or nullptr.
MlxFunction FindPlatformFunction(std::string_view name);

// Entries, each taking one input and giving one output.
void mlxIschar(int nlhs, Value plhs[], int nrhs, Value prhs[]);     // true for a char array
void mlxIsstr(int nlhs, Value plhs[], int nrhs, Value prhs[]);      // the same as ischar
void mlxIsnumeric(int nlhs, Value plhs[], int nrhs, Value prhs[]);  // true for a double array
void mlxIshandle(int nlhs, Value plhs[], int nrhs, Value prhs[]);   // live handles (graphics.h)
void mlxIsempty(int nlhs, Value plhs[], int nrhs, Value prhs[]);
void mlxSize(int nlhs, Value plhs[], int nrhs, Value prhs[]);  // [rows cols]

}  // namespace dk

#endif  // DROPKIT_PLATFORM_BUILTINS_H_
