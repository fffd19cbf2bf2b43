// openfig: opens a window from a figure file and returns the figure's handle.
//
// Under the policy "new" it always loads a fresh copy; under "reuse" it loads the file
// only when no copy recorded for the file's base name is still open, and otherwise
// hands back the copy added last. Either way the figure is then moved onto the screen
// and, when visible, made the current figure and raised.
//
// The copies are recorded on the root object's application data, one list of handles
// per token: the base name followed by "_SINGLETON_handle", cut to 31 characters. The
// folder plays no part, so same-named files in two folders share one list. Closed
// figures drop out of a list at the next call for its token.
#ifndef DROPKIT_FIGSUPPORT_OPENFIG_H_
#define DROPKIT_FIGSUPPORT_OPENFIG_H_

#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk {

// Module set-up and release of the fifteen constants.
void InitializeModule_openfig();
void TerminateModule_openfig();

// Array-vector entry: at most 1 output and 2 inputs, else the fixed count messages.
void mlxOpenfig(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entry. `filename`: a text, with or without folder and ".fig". `policy`: "new"
// or "reuse"; absent means not supplied, which counts as "new".
// Raises "Argument must be a .fig file" for an extension other than exactly ".fig" and
// "Second input argument must be 'new' or 'reuse'." for any other policy; neither
// changes a recorded list.
Value mlfOpenfig(const Value& filename, const Value& policy = Value());

extern const LocalFunctionTable local_function_table_openfig;

}  // namespace dk

#endif  // DROPKIT_FIGSUPPORT_OPENFIG_H_
