// Writing an alignment without some of its taxa, in the format it was read in.
#ifndef DROPKIT_ALIGNMENT_PRUNED_H_
#define DROPKIT_ALIGNMENT_PRUNED_H_

#include <string>
#include <vector>

#include "alignment/alignment.h"

namespace dk {

// The file name extension of a pruned copy: ".fasta", ".phy" or ".nex".
const char* PrunedExtension(InputFormat format);

// The text of `alignment` without the taxa whose flag in `omitted` is set (one flag
// per taxon, in the input's order); the others keep their order.
//
// FASTA: the records kept, each exactly as it stands in the input. PHYLIP: a header
// with the counts, then one line per taxon (strict: the name padded to 10 columns;
// relaxed: the name padded with blanks to the longest name and one more), sequential
// whatever the input was. NEXUS: a TAXA block, a CHARACTERS block with the input's
// FORMAT and labels, and a SETS block with its CHARSET and CHARPARTITION commands.
// REQUIRES: omitted.size() == alignment.names.size().
std::string PrunedAlignment(const Alignment& alignment, const std::vector<bool>& omitted);

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_PRUNED_H_
