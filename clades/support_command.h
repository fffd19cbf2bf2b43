// dropkit-batch support: clade survival from the groups' trees.
//
//   dropkit-batch support --reference TREE --trees FILE... --design DESIGN
//                         [--outgroup NAME] [--by-taxon] --output DIR
//
// docs/support.md describes what it computes and the files it writes.
#ifndef DROPKIT_CLADES_SUPPORT_COMMAND_H_
#define DROPKIT_CLADES_SUPPORT_COMMAND_H_

#include <string>
#include <vector>

#include "clades/limits.h"

namespace dk::clades {

struct SupportOptions {
  std::string reference;           // the tree of the whole data set
  std::vector<std::string> trees;  // one file per group, or one file of all groups' trees
  std::string design;              // dropkit.json or groups.tsv
  std::string outgroup;            // empty: unrooted
  bool by_taxon = false;
  std::string output;  // the folder to write into; made when missing
  InputLimits limits;
};

// Reads the inputs, computes clade survival and writes DIR/support.tsv, support.tre,
// support.svg and, with by_taxon, by_taxon.tsv. Either every file is written or, on any
// error, none is changed; the error (dk::RuntimeError) names the file and what was wrong.
// Returns a one-line summary of what was done.
std::string RunSupport(const SupportOptions& options);

}  // namespace dk::clades

// The command's entry: argv[0] names the command ("dropkit-batch support"), the rest
// are its options. Prints errors on standard error, prefixed by argv[0]. Returns the exit
// status: 0 on success (and for --help), 2 for a command line it refuses, 1 for any
// other error.
int SupportCommand(int argc, char** argv);

#endif  // DROPKIT_CLADES_SUPPORT_COMMAND_H_
