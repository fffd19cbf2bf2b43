// The design of a jackknife run: the name list and the taxa each group leaves out, read
// from dropkit.json or groups.tsv (docs/support.md gives both formats).
#ifndef DROPKIT_CLADES_DESIGN_H_
#define DROPKIT_CLADES_DESIGN_H_

#include <cstddef>
#include <string>
#include <vector>

#include "clades/limits.h"

namespace dk::clades {

struct Design {
  std::string source;  // the file it came from, for messages
  // The name list in list order. From dropkit.json it is whole; from groups.tsv it holds
  // only the names some group leaves out, each at its place `line` - 1, with "" in the
  // places of names the file does not show, until CompleteNames fills them.
  std::vector<std::string> names;
  bool names_complete = false;
  // For each group (group 1 first), the indices into `names` it leaves out, ascending.
  std::vector<std::vector<std::size_t>> omitted;
  // dropkit.json states the number of groups; groups.tsv only shows the largest group
  // number that leaves something out, so more trees than groups may be given.
  bool group_count_exact = false;
  // dropkit.json's record of the tree file each group's job writes, holding {group}
  // ("{group}.treefile"); empty when it has none.
  std::string tree_name;
};

// Reads a design from the bytes of a file called `source`: dropkit.json when the text
// starts with "{", groups.tsv otherwise. Raises an error naming the file, and the line or
// the key, on any departure from the format: an unknown "format" or "format_version", a
// group naming a taxon not in "names", a repeated name, a name whose line disagrees with
// another row, a name at a place beyond `limits.taxa`.
Design ParseDesign(const std::string& bytes, const std::string& source, const InputLimits& limits);

// Fills the places of the name list that groups.tsv does not show with the taxa of the
// reference tree that it does not name, in the tree's order, and extends the list to the
// tree's size. Does nothing to a complete design. Raises when a name of the design is
// not among `reference_taxa` (naming the tree file `reference_source` and the taxon) or
// when a name's place lies beyond the number of the tree's taxa.
void CompleteNames(Design& design, const std::vector<std::string>& reference_taxa,
                   const std::string& reference_source);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_DESIGN_H_
