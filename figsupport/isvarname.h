// isvarname: whether a value is a text that may name a variable or a structure field.
//
// A valid name is a one-row text of 1 to 31 characters that begins with a letter (as
// mlfIsletter decides), holds only letters, the digits 0-9 and underscores, and is not
// a keyword (iskeyword). Any other value, of any class or shape, gives false and never
// an error. Holds no state between calls.
#ifndef DROPKIT_FIGSUPPORT_ISVARNAME_H_
#define DROPKIT_FIGSUPPORT_ISVARNAME_H_

#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk {

// Module set-up and release of the constants.
void InitializeModule_isvarname();
void TerminateModule_isvarname();

// Array-vector entry: at most 1 output and 1 input, else the fixed count messages.
void mlxIsvarname(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entry: a logical scalar. An absent `s` raises the undefined-variable error
// naming "s". REQUIRES: the iskeyword module is set up too.
Value mlfIsvarname(const Value& s);

extern const LocalFunctionTable local_function_table_isvarname;

}  // namespace dk

#endif  // DROPKIT_FIGSUPPORT_ISVARNAME_H_
