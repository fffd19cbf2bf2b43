// The clades (bipartitions) of a reference tree, and which of them a group's tree,
// restricted to the taxa it holds, still has.
//
// Taxa are numbers 0..n-1 (their places in the name list). A tree's leaves are given
// as a vector `leaf_taxon` over its nodes: the taxon of each leaf, -1 for inner nodes.
// Every branch of a tree splits its taxa in two; a clade is named by the side without
// the anchor taxon: the first taxon of the list for unrooted trees, the outgroup for
// trees rooted on it (then the clade is the side away from the outgroup).
#ifndef DROPKIT_CLADES_BIPARTITIONS_H_
#define DROPKIT_CLADES_BIPARTITIONS_H_

#include <cstddef>
#include <vector>

#include "clades/split_set.h"
#include "clades/tree.h"

namespace dk::clades {

// How clades are named and which branches count.
struct CladeRules {
  // The outgroup's taxa, ascending; a clade is then the side of a branch away from all
  // of them. Empty: unrooted, a clade named by its side without the list's first taxon.
  std::vector<std::size_t> outgroup;
  // A branch of this length or less (as an edge of the unrooted tree, tree.h EdgeLengths)
  // is absent: its split is no clade of the tree. Negative: every branch counts. A branch
  // without a length always counts.
  double collapse_below = -1;
};

struct CladeTable {
  std::size_t taxa = 0;
  std::size_t anchor = 0;      // the list's first taxon, or the outgroup's first
  bool rooted = false;         // there is an outgroup
  std::vector<Word> outgroup;  // its taxa as bits; empty when unrooted
  double collapse_below = -1;
  // One row per clade, in row order: by number of taxa, then by the list order of the
  // members (of two clades of one size, the one holding the first taxon that only one
  // of them holds comes first).
  SplitSet sets;
  std::vector<std::size_t> members;  // taxa in each clade
  std::vector<double> length;        // each clade's branch length in the tree; NaN: none
};

// The clades of `tree`, whose leaves are exactly the taxa 0..taxa-1, each once. Only
// branches whose both sides hold at least two taxa, that `rules` do not collapse and
// whose side away from the outgroup holds none of it, make clades; branches that split
// alike (the two below a root of degree two) make one.
CladeTable FindClades(const Tree& tree, const std::vector<int>& leaf_taxon, std::size_t taxa,
                      const CladeRules& rules = {});

// For each node of `tree` (same taxa as the table), the row of the clade its branch to
// the parent makes, or -1 (the root, leaves, branches that make no clade).
std::vector<long> CladeOfEachNode(const CladeTable& clades, const Tree& tree,
                                  const std::vector<int>& leaf_taxon);

// What one group's tree says about each clade: bit c of `testable` is set when clade c,
// restricted to the taxa of the tree, keeps two taxa on each side (and, when rooted,
// the tree holds some of the outgroup and keeps those it holds on one side of a branch);
// bit c of `survived` when besides the tree has the restricted split. The table's
// collapse rule applies to the tree's branches too.
struct GroupOutcome {
  std::vector<Word> testable;
  std::vector<Word> survived;
};

// Compares trees with one table; keeps its buffers between calls.
class CladeComparer {
 public:
  explicit CladeComparer(const CladeTable& clades);
  // `tree` holds each of its taxa once, all below `clades.taxa`.
  GroupOutcome Compare(const Tree& tree, const std::vector<int>& leaf_taxon);

 private:
  const CladeTable& clades_;
  SplitSet splits_;
  std::vector<Word> below_;  // taxa below each node
  std::vector<Word> present_;
  std::vector<Word> side_;
};

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_BIPARTITIONS_H_
