// iskeyword: whether a text is one of the seventeen reserved words of the language,
// or, called without an argument, the list of those words.
//
// The comparison is exact and case-sensitive ("End" is no keyword); a value that is
// not a text is no keyword. Holds no state between calls.
#ifndef DROPKIT_FIGSUPPORT_ISKEYWORD_H_
#define DROPKIT_FIGSUPPORT_ISKEYWORD_H_

#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk {

// Module set-up and release of the constants (the count messages, the words and their list).
void InitializeModule_iskeyword();
void TerminateModule_iskeyword();

// Array-vector entry: at most 1 output and 1 input, else the fixed count messages.
void mlxIskeyword(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entry. With `s` absent (no argument): a 17-by-1 cell of the keywords, "break"
// first and "while" last. Otherwise a logical scalar, true when `s` is a keyword.
Value mlfIskeyword(const Value& s = Value());

extern const LocalFunctionTable local_function_table_iskeyword;

}  // namespace dk

#endif  // DROPKIT_FIGSUPPORT_ISKEYWORD_H_
