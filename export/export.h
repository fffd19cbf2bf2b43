// The window's Export command `export`: one copy of an alignment per group, without the
// taxa the group leaves out, and the design files groups.tsv and dropkit.json, written
// into a folder the user chooses, as `dropkit-batch ALIGNMENT --prune-to DIR` writes them
// (docs/jackknife.md).
//
// The groups are drawn over the name list the last Load loaded, from the generator as it
// stands and with the counts in NumBox and RepBox, exactly as the generator's Save draws
// them: with the same seed and counts, Export's groups are Save's. The user then chooses
// the alignment whose taxa the loaded names are; each copy lacks the taxa its group
// leaves out and keeps every taxon the list does not name. The design files describe
// the alignment's taxa, those the list does not name as kept, and record the window's
// box values, the seed in force and the name list.
//
// In order: the counts are read (with the generator's messages), the list is checked
// (loaded, unchanged on disk, each name once), the alignment is asked for and read (every
// loaded name must be one of its taxa), an empty folder is asked for, then the groups are
// drawn and written with a progress window, one step per group. Either the folder
// receives every file or it is left as it was: a cancel or any error writes nothing, and
// a cancelled dialog ends the command without a word. On success the OutBox says what was
// written ("Exported 10 groups to /data/run: 10 alignments, groups.tsv, dropkit.json"),
// and, when the copies are PHYLIP or NEXUS, a warning box lists the taxa whose names
// they cannot hold unquoted (the quoting findings, which a Load does not give).
//
// With the command word "LeaveOneOut", Export makes one group per name of the list
// instead, each leaving out that name alone, in list order; the counts are not read and
// nothing is drawn. With "Keep", it asks for a file of names, one per line, read as the
// batch's --keep-file reads one (blank lines skipped): from then on Export, in either way,
// never leaves them out (each must be a name of the list when Export runs), and the line
// tagged KeptNames says which they are. Save and Show draw from every name, as before.
//
// Threading: one thread, as the run-time.
#ifndef DROPKIT_EXPORT_EXPORT_H_
#define DROPKIT_EXPORT_EXPORT_H_

#include "frame/frame.h"
#include "runtime/value.h"

namespace dk {

// Module set-up: builds the constants.
void InitializeModule_export();
// Module release: releases the constants in reverse order.
void TerminateModule_export();

// Array-vector entry: no outputs and at most one input, else the fixed count messages.
void mlxExport(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entry: `action` absent exports drawn groups, "LeaveOneOut" one group per name,
// "Keep" reads the names to keep. Raises a RuntimeError that says what was wrong on any
// failure, an unknown command word among them.
void mlfExport(const Value& action = Value());

extern const LocalFunctionTable local_function_table_export;

}  // namespace dk

#endif  // DROPKIT_EXPORT_EXPORT_H_
