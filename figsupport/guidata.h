// guidata: one value per figure, kept for the application in the figure's application
// data under the name "UsedByGUIData_m".
//
// guidata(h) fetches the value stored on the figure that holds h (h is the figure or any
// object inside it): the empty matrix when nothing was stored. guidata(h, data) stores
// data there, replacing the previous value, and must be called with no output asked.
// A handle that is not one live handle whose walk up the tree meets a figure raises
// "H must be the handle to a figure or figure descendent."
#ifndef DROPKIT_FIGSUPPORT_GUIDATA_H_
#define DROPKIT_FIGSUPPORT_GUIDATA_H_

#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk {

// Module set-up and release of the constants.
void InitializeModule_guidata();
void TerminateModule_guidata();

// Array-vector entry: at most 1 output and 2 inputs, else the fixed count messages.
void mlxGuidata(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entries; an absent `data_in` is a call without it. mlfGuidata asks for one
// output, so it serves fetches only; a store goes through mlfNGuidata with nargout 0 or
// through mlfVGuidata.
Value mlfNGuidata(int nargout, const Value& h, const Value& data_in = Value());
Value mlfGuidata(const Value& h, const Value& data_in = Value());
void mlfVGuidata(const Value& h, const Value& data_in = Value());

// The local function getParentFigure: the figure itself, the figure that holds the
// object `fig`, or the empty matrix when the walk up passes the root.
void mlxGuidata_getParentFigure(int nlhs, Value plhs[], int nrhs, Value prhs[]);
Value mlfGuidata_getParentFigure(const Value& fig);

extern const LocalFunctionTable local_function_table_guidata;

}  // namespace dk

#endif  // DROPKIT_FIGSUPPORT_GUIDATA_H_
