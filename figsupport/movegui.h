// movegui: moves a figure window to one of ten named places on the screen ("north",
// "south", "east", "west", "northeast", "southeast", "northwest", "southwest",
// "center", "onscreen") or to a corner [x y] in pixels, and caps its outer size to the
// screen's.
//
// Up to three arguments in any order: a one-element handle of a figure or of an object
// in one, a place name (exact, letter case counts) and a corner. A negative x or y of
// a corner measures from the right or top edge of the screen. Without a handle the
// figure of the running callback moves, else the current figure; without a place,
// "onscreen", which brings a window lying partly off the screen back onto it. While a
// callback runs, a second argument of any other kind is ignored.
//
// The window is placed through its "OuterPosition". Its "Units" and
// "ActivePositionProperty", and the root's "Units", hold their values from before the
// call when it completes. Argument errors come before anything is changed. Holds no
// state between calls.
#ifndef DROPKIT_FIGSUPPORT_MOVEGUI_H_
#define DROPKIT_FIGSUPPORT_MOVEGUI_H_

#include <vector>

#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk {

// Module set-up and release of the constants (the place names and their list, numbers,
// property names, the error texts and the count messages).
void InitializeModule_movegui();
void TerminateModule_movegui();

// Array-vector entry: no output, else the fixed count message; any number of inputs
// (more than three fail in the body).
void mlxMovegui(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entry: the arguments in order. An absent value ends the list, as the null
// that closes an argument list does.
void mlfMovegui(std::vector<Value> args);

// The local function get_parent_fig: the figure that holds the object `h` (h itself
// for a figure), or the empty matrix when the walk up the parents meets none (the
// root). Array-vector entry: at most 1 output and 1 input, else the fixed messages.
void mlxMovegui_get_parent_fig(int nlhs, Value plhs[], int nrhs, Value prhs[]);
Value mlfMovegui_get_parent_fig(const Value& h);

extern const LocalFunctionTable local_function_table_movegui;

}  // namespace dk

#endif  // DROPKIT_FIGSUPPORT_MOVEGUI_H_
