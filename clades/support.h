// Clade survival: for each clade of the reference tree, in how many groups it could be
// tested and in how many it survived (docs/support.md defines both).
#ifndef DROPKIT_CLADES_SUPPORT_H_
#define DROPKIT_CLADES_SUPPORT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "clades/bipartitions.h"
#include "clades/design.h"
#include "clades/tree.h"

namespace dk::clades {

struct SupportInput {
  Design design;             // complete (CompleteNames done)
  Tree reference;            // the analysis of all taxa
  std::vector<Tree> groups;  // one tree per group, in group order
  // Per group, when not empty: true where the group has no tree. Its entry in `groups` is
  // then not read, and the group is left out of every count.
  std::vector<bool> missing;
  // The outgroup's taxa (rooted comparison: the clades are the sides away
  // from them); empty: unrooted. Several must stand on one side of a reference branch.
  std::vector<std::string> outgroup;
  // Branches of this length or less are absent in every tree; negative: none is.
  double collapse_below = -1;
  bool keep_outcomes = false;  // keep each group's outcome (for ByTaxon)
};

struct SupportResult {
  std::vector<std::string> names;  // the list, in list order
  CladeTable clades;
  std::vector<std::size_t> testable;  // per clade
  std::vector<std::size_t> survived;  // per clade
  // The reference tree to show: rooted on the outgroup when there is one, and the clade
  // of each of its nodes' branches (-1 for none).
  Tree shown;
  std::vector<long> shown_clade;
  // When kept: each group's outcome, and the taxa of the list its tree does not hold.
  std::vector<GroupOutcome> outcomes;
  std::vector<std::vector<std::size_t>> absent;
  std::vector<std::size_t> missing;  // the groups without a tree, numbered from 1
  // Per clade: the reference tree's own label on its branch (another program's support),
  // "" when it has none.
  std::vector<std::string> reference_support;
};

// Checks the trees against the design and counts. Raises an error naming the tree (its
// file and number, and its group) and the taxon when: a tree holds a taxon that is not
// in the design, or holds it twice; a group's tree holds a taxon its group left out; the
// reference lacks a taxon of the design; an outgroup taxon is not a taxon of the design,
// or the outgroup's taxa do not stand on one side of a reference branch; the
// number of group trees differs from the design's number of groups (or, for a design
// from groups.tsv, is below the largest group number). When a group's tree holds a
// taxon its group left out but exactly the taxa another group kept, the error says the
// trees look out of group order.
SupportResult ComputeSupport(const SupportInput& input);

// One line of the by-taxon table: a taxon, a clade, and how often the clade fell
// (was testable and did not survive) among the groups whose tree lacks the taxon and
// among those whose tree holds it.
struct ByTaxonRow {
  std::size_t taxon;
  std::size_t clade;
  std::size_t testable_without, fell_without;
  std::size_t testable_with, fell_with;
};

// The pairs (taxon, clade) where the clade was testable at least once both with and
// without the taxon, ordered by taxon in list order, then by clade in row order. Needs
// `keep_outcomes`.
std::vector<ByTaxonRow> TaxonCladeCounts(const SupportResult& result);

// Those of TaxonCladeCounts where the clade fell more often, as a share of its tests,
// without the taxon.
std::vector<ByTaxonRow> ByTaxon(const SupportResult& result);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_SUPPORT_H_
