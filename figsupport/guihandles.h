// guihandles: a structure of handles built from the tags of the objects in a figure.
//
// Every object of the figure (the figure itself and everything below it, hidden handles
// included) whose tag is a valid variable name (isvarname) adds its handle to the field
// of that name; fields stand in the order their tags are first met, and each holds a
// 1-by-k row of handles in the order the search met them. When no object has such a tag
// the result is the 0-by-0 empty matrix. Holds no state and changes no object.
#ifndef DROPKIT_FIGSUPPORT_GUIHANDLES_H_
#define DROPKIT_FIGSUPPORT_GUIHANDLES_H_

#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk {

// Module set-up and release of the constants.
void InitializeModule_guihandles();
void TerminateModule_guihandles();

// Array-vector entry: at most 1 output and 1 input, else the fixed count messages.
void mlxGuihandles(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entry. `h` is the figure or any object inside it; absent, the current figure.
// A handle that is not one live handle whose walk up the tree meets a figure raises
// "H must be the handle to a figure or figure descendent."
// REQUIRES: the isvarname and iskeyword modules are set up too.
Value mlfGuihandles(const Value& h = Value());

// The local function getParentFigure: the figure itself, the figure that holds the
// object `fig`, or the empty matrix when the walk up passes the root.
void mlxGuihandles_getParentFigure(int nlhs, Value plhs[], int nrhs, Value prhs[]);
Value mlfGuihandles_getParentFigure(const Value& fig);
// The local function createHandles: the handle structure of the figure `fig`.
void mlxGuihandles_createHandles(int nlhs, Value plhs[], int nrhs, Value prhs[]);
Value mlfGuihandles_createHandles(const Value& fig);

extern const LocalFunctionTable local_function_table_guihandles;

}  // namespace dk

#endif  // DROPKIT_FIGSUPPORT_GUIHANDLES_H_
