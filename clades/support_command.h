// dropkit-batch support: clade survival from the groups' trees.
//
//   dropkit-batch support [--reference TREE] --trees DIR|FILE... [--design DESIGN]
//                         [--tree-name PATTERN] [--allow-missing] [--outgroup NAME]...
//                         [--collapse-below LENGTH] [--labels percent|counts|both]
//                         [--by-taxon] --output DIR
//
// docs/support.md describes what it computes and the files it writes.
#ifndef DROPKIT_CLADES_SUPPORT_COMMAND_H_
#define DROPKIT_CLADES_SUPPORT_COMMAND_H_

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "clades/limits.h"
#include "clades/report.h"

namespace dk::clades {

struct SupportOptions {
  // The tree of the whole data set; "" with the design's folder: the reference job's.
  std::string reference;
  // The design's folder, files named for their groups (clades/group_trees.h), or, in
  // group order, one file per group or one file of all groups' trees.
  std::vector<std::string> trees;
  std::string design;          // dropkit.json or groups.tsv; "" with a folder: its dropkit.json
  std::string tree_name;       // the groups' tree files, with {group}; "" as the design records
  bool allow_missing = false;  // go on without groups that have no tree (missing.tsv)
  // The outgroup's taxa, each value a name of the design or a comma list of them; empty:
  // unrooted.
  std::vector<std::string> outgroup;
  double collapse_below = -1;  // branches of this length or less are absent; < 0: none
  LabelStyle labels = LabelStyle::kPercent;  // support.tre's labels
  bool by_taxon = false;
  std::string output;  // the folder to write into; made when missing
  InputLimits limits;
  // When set, told on the calling thread how far the work has come: `done` of `total`
  // steps (each tree file read, then reading the trees, computing, writing). What it
  // throws ends the run as an error would, with nothing written.
  std::function<void(std::size_t done, std::size_t total)> progress;
};

// Reads the inputs, computes clade survival and writes DIR/support.tsv, support.tre,
// support.svg, outcomes.tsv, taxa.tsv and instability.tsv, with by_taxon by_taxon.tsv,
// and with allow_missing missing.tsv (the groups without a tree). Missing trees are an error,
// naming every such group, without it. Either every file is written or, on any error, none is
// changed; the error (dk::RuntimeError) names the file and what was wrong. Returns a one-line
// summary of what was done.
std::string RunSupport(const SupportOptions& options);

}  // namespace dk::clades

// The command's entry: argv[0] names the command ("dropkit-batch support"), the rest
// are its options. Prints errors on standard error, prefixed by argv[0]. Returns the exit
// status: 0 on success (and for --help), 2 for a command line it refuses, 1 for any
// other error.
int SupportCommand(int argc, char** argv);

#endif  // DROPKIT_CLADES_SUPPORT_COMMAND_H_
