// The window's Survival command `survival`: clade survival from the trees of a design's
// groups, computed and written by the batch's own code (`dropkit-batch support`,
// docs/support.md), then shown in a window of its own.
//
// It asks for the reference tree (the tree of the whole alignment), then for the
// design's folder: the folder an Export or `dropkit-batch --prune-to` wrote, holding
// dropkit.json and each group's tree, found by the group's name as `dropkit-batch
// support --trees DIR` finds them. The tree files' names are those the design records;
// a design that records none (an Export of the window's) takes them from the reference
// tree's name: "reference.treefile" means "group001.treefile", ... for the groups.
// Every file `support` writes (support.tsv, support.tre, support.svg, ...) goes into the
// folder "support" of the design's folder, all or nothing, as `dropkit-batch support
// --trees DIR --output DIR/support` writes them. The OutBox then sums up what was done,
// and the window tagged SurvivalWindow (made anew each time) shows the table and the
// annotated tree, each box named by the label beside it, which Alt and its letter reach.
//
// Long work shows its progress, with Cancel. A cancelled dialog ends the command without a
// word; any failure raises a RuntimeError that says what was wrong, and a cancel or a
// failure writes no file.
//
// Threading: one thread, as the run-time.
#ifndef DROPKIT_SURVIVAL_SURVIVAL_H_
#define DROPKIT_SURVIVAL_SURVIVAL_H_

#include "frame/frame.h"
#include "runtime/value.h"

namespace dk {

// Module set-up: builds the constants.
void InitializeModule_survival();
// Module release: releases the constants in reverse order.
void TerminateModule_survival();

// Array-vector entry: no outputs and no inputs, else the fixed count messages.
void mlxSurvival(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entry. Raises a RuntimeError that says what was wrong on any failure.
void mlfSurvival();

extern const LocalFunctionTable local_function_table_survival;

}  // namespace dk

#endif  // DROPKIT_SURVIVAL_SURVIVAL_H_
