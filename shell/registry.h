// The program's record for the graphics main: the registry of its ten callable
// functions with their declared argument counts and local function tables, and the
// set-up and release routines of the two platform libraries and of every module.
#ifndef DROPKIT_SHELL_REGISTRY_H_
#define DROPKIT_SHELL_REGISTRY_H_

#include <string>

#include "runtime/callable.h"
#include "runtime/loaded_list.h"

namespace dk {

extern const FunctionTableRow function_table[10];
extern const InitTermPair init_term_table[12];
extern const MainInfo main_info;

// Installs what the run-time asks of the program beyond its registry: a callback's
// "handles" argument (the structure guidata keeps on the figure) and the review of each
// name list loaded (review/list_review.h) and the window's label of the seed in force
// after each restart of the generator. Done before main runs wherever main_info is
// linked in; a program that does not use the registry (the batch command) calls it.
void InstallProgramHooks();

// What the programs do after each Load: reviews the names (review/list_review.h),
// hands the review to Export as the list it works on, and shows a warning box with the
// findings, if any.
void ReviewLoadedList(const LoadedList& list);

// What the window's Help > About says: "Dropkit" and its version, what it is for, and
// where its documentation is (the installed copy, runtime/paths.h DocsFolder, or the
// sources'). The window program hands it to SetAboutText before its window opens.
std::string AboutDropkit();

}  // namespace dk

#endif  // DROPKIT_SHELL_REGISTRY_H_
