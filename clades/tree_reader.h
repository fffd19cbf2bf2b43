// Reads tree files, Newick or NEXUS, with NCL.
//
// Each file's text is first bounded and split into trees (tree_text.h): a Newick file at
// its semicolons, a NEXUS file around the tree commands of its TREES block. The trees are
// then read by NCL in batches on a few worker threads, each with its own reader (a NEXUS
// batch is the file with only that batch's tree commands). The result does not depend on
// the number of threads.
#ifndef DROPKIT_CLADES_TREE_READER_H_
#define DROPKIT_CLADES_TREE_READER_H_

#include <string>
#include <vector>

#include "clades/limits.h"
#include "clades/tree.h"

namespace dk::clades {

// The text of one tree file and the name to show for it.
struct TreeFile {
  std::string path;
  std::string text;
};

// Returns, for each file in order, its trees in file order; each tree's origin names the
// file and the tree's number in it. Raises an error naming the file and the tree (and
// the line, when known) when a text is not a tree NCL accepts, nests deeper than
// `limits.depth`, holds a leaf without a name or a tree with more leaves than
// `limits.taxa`, or when the files hold more than `limits.trees` trees in all.
std::vector<std::vector<Tree>> ReadTreeFiles(const std::vector<TreeFile>& files,
                                             const InputLimits& limits);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_TREE_READER_H_
