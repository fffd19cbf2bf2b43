// What PHYLIP and NEXUS files make of taxon names, and how to write a name so that a
// NEXUS reader reads it back unchanged.
#ifndef DROPKIT_ALIGNMENT_TAXON_NAMES_H_
#define DROPKIT_ALIGNMENT_TAXON_NAMES_H_

#include <string>
#include <string_view>
#include <vector>

namespace dk {

// Why `name` cannot stand unquoted in a PHYLIP or NEXUS file (or in the tree files
// programs write from them), one short phrase per reason, each saying which format
// minds and why; empty when it can. Reasons: empty, a blank, an underscore, NEXUS
// punctuation, a control character, a name of digits only.
std::vector<std::string> UnquotedNameProblems(std::string_view name);

// `name` as a NEXUS word: unchanged when NEXUS reads it back as is, else in single
// quotes with each quote doubled ("Pan's" becomes 'Pan''s').
std::string NexusQuoted(std::string_view name);

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_TAXON_NAMES_H_
