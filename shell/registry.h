// The program's record for the graphics main: the registry of its nine callable
// functions with their declared argument counts and local function tables, and the
// set-up and release routines of the two platform libraries and of every module.
#ifndef DROPKIT_SHELL_REGISTRY_H_
#define DROPKIT_SHELL_REGISTRY_H_

#include "platform/callable.h"

namespace dk {

extern const FunctionTableRow function_table[9];
extern const InitTermPair init_term_table[11];
extern const MainInfo main_info;

}  // namespace dk

#endif  // DROPKIT_SHELL_REGISTRY_H_
