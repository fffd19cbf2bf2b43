// The texts the clade-survival command writes (docs/support.md shows each).
#ifndef DROPKIT_CLADES_REPORT_H_
#define DROPKIT_CLADES_REPORT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "clades/support.h"

namespace dk::clades {

// `part / whole` with exactly three decimals, rounded half up ("0.667"); "" when whole
// is 0.
std::string Ratio3(std::size_t part, std::size_t whole);
// `part / whole` as a whole percentage, rounded half up ("67"); "" when whole is 0.
std::string Percent(std::size_t part, std::size_t whole);

// The members of clade `c`, in list order, joined by ",".
std::string CladeNames(const SupportResult& result, std::size_t c);

// support.tsv: the header "taxa\ttestable\tsurvived\tsurvival", then a row per clade in
// row order.
std::string SupportTable(const SupportResult& result);

// by_taxon.tsv: the header "taxon\ttaxa\ttestable_without\tfell_without\t
// fall_rate_without\ttestable_with\tfell_with\tfall_rate_with", then one row per ByTaxon
// entry.
std::string ByTaxonTable(const SupportResult& result, const std::vector<ByTaxonRow>& rows);

// A name as Newick writes it: unchanged when it is made only of letters, digits and
// "_-."; otherwise in single quotes, with each quote doubled.
std::string NewickName(const std::string& name);

// support.tre: the shown tree in Newick, with the branch lengths it had, and each
// branch of a testable clade labelled with its survival percentage (whole numbers).
std::string AnnotatedNewick(const SupportResult& result);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_REPORT_H_
