// The design `support` reads (design/design_files.h ParseDesign), completed with the
// reference tree's taxa where groups.tsv does not name them.
#ifndef DROPKIT_CLADES_DESIGN_H_
#define DROPKIT_CLADES_DESIGN_H_

#include <string>
#include <vector>

#include "design/design.h"
#include "design/design_files.h"

namespace dk::clades {

// Fills the places of the name list that groups.tsv does not show with the taxa of the
// reference tree that it does not name, in the tree's order, and extends the list to the
// tree's size. Does nothing to a complete design. Raises when a name of the design is
// not among `reference_taxa` (naming the tree file `reference_source` and the taxon) or
// when a name's place lies beyond the number of the tree's taxa.
void CompleteNames(Design& design, const std::vector<std::string>& reference_taxa,
                   const std::string& reference_source);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_DESIGN_H_
