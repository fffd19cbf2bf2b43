// The generator command function `randlist`: one command word ("Load", "Save",
// "ManualInit" or "Show") per call, acting on a name list kept between calls.
//
// "Load" reads a name list file, one name per line; "Save" writes a randomized
// omission listing file; "ManualInit" restarts the random generator from the seed in
// the InitBox control; "Show" puts a listing into the OutBox control. Any other word
// shows the message box "Fell through case" and returns normally.
//
// Every command either completes or raises an error that says what was wrong; a
// command that ends in an error leaves the name list, the files on disk and the
// OutBox text as they were.
#ifndef DROPKIT_GENERATOR_RANDLIST_H_
#define DROPKIT_GENERATOR_RANDLIST_H_

#include "frame/frame.h"
#include "runtime/value.h"

namespace dk {

// Module set-up: registers the persistent variables and builds the constants.
void InitializeModule_randlist();
// Module release: releases the constants in reverse order, then the persistent variables.
void TerminateModule_randlist();

// Array-vector entry: at most 0 outputs and 1 input, else the fixed count messages.
void mlxRandlist(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entry.
void mlfRandlist(const Value& action);

extern const LocalFunctionTable local_function_table_randlist;

}  // namespace dk

#endif  // DROPKIT_GENERATOR_RANDLIST_H_
