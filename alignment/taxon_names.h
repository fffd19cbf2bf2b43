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
// minds and why; empty when it can. Reasons: empty, a blank, NEXUS punctuation, a
// control character, a name of digits only. An underscore is no reason: NEXUS reads
// it as a blank, the same name there, and tree programs write blanks as underscores.
std::vector<std::string> UnquotedNameProblems(std::string_view name);

// True when `name` is plain ASCII (no blank, control character or byte above 0x7E)
// that UnquotedNameProblems has nothing to say about: what nearly every name is, told
// by one look at each byte.
bool IsPlainAsciiName(std::string_view name);

// `name` as a NEXUS word: unchanged when it holds no blank, punctuation or control
// character and is not all digits, else in single quotes with each quote doubled
// ("Pan's" becomes 'Pan''s'). Underscores stay bare: NEXUS reads "Homo_sapiens" as
// "Homo sapiens", the name a NEXUS data file means by the same word.
std::string NexusQuoted(std::string_view name);

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_TAXON_NAMES_H_
