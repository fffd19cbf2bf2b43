// The texts the clade-survival command writes (docs/support.md shows each).
#ifndef DROPKIT_CLADES_REPORT_H_
#define DROPKIT_CLADES_REPORT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "clades/support.h"
#include "clades/taxon_tests.h"

namespace dk::clades {

// `part / whole` with exactly three decimals, rounded half up ("0.667"); "" when whole
// is 0.
std::string Ratio3(std::size_t part, std::size_t whole);
// `part / whole` as a whole percentage, rounded half up ("67"); "" when whole is 0.
std::string Percent(std::size_t part, std::size_t whole);

// The members of clade `c`, in list order, joined by ",".
std::string CladeNames(const SupportResult& result, std::size_t c);

// support.tsv: the header "taxa\ttestable\tsurvived\tsurvival\tbranch_length", and
// "\treference_support" when the reference labels any clade's branch, then a row per
// clade in row order. A branch without a length, or without a label, gives an empty cell.
std::string SupportTable(const SupportResult& result);

// outcomes.tsv: the header "taxa" and the group numbers, then a row per clade in row
// order: "1" where the clade survived in the group, "0" where it fell, "" where it was
// not testable or the group has no tree. Needs `keep_outcomes`.
std::string OutcomesTable(const SupportResult& result);

// taxa.tsv: the header "taxon\ttaxa\ttestable_without\tfell_without\ttestable_with\t
// fell_with\tp\tq", then a row per TaxonTests row; p and q with four significant digits.
std::string TaxaTable(const SupportResult& result, const TaxonTests& tests);

// instability.tsv: the header "taxon\tclades\tsignificant\tinstability", then a row per
// TaxonTests score; the instability with three decimals, "" without a tested clade.
std::string InstabilityTable(const SupportResult& result, const TaxonTests& tests);

// by_taxon.tsv: the header "taxon\ttaxa\ttestable_without\tfell_without\t
// fall_rate_without\ttestable_with\tfell_with\tfall_rate_with", then one row per ByTaxon
// entry.
std::string ByTaxonTable(const SupportResult& result, const std::vector<ByTaxonRow>& rows);

// A name as Newick writes it: unchanged when it is made only of letters, digits and
// "_-."; otherwise in single quotes, with each quote doubled.
std::string NewickName(const std::string& name);

// What support.tre labels a testable clade's branch with.
enum class LabelStyle {
  kPercent,  // its survival percentage, a whole number: 71
  kCounts,   // survived/testable: 5/7
  kBoth,     // '71 (5/7)', quoted as Newick needs
};

// support.tre: the shown tree in Newick, with the branch lengths it had, and each
// branch of a testable clade labelled as `style` says.
std::string AnnotatedNewick(const SupportResult& result, LabelStyle style = LabelStyle::kPercent);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_REPORT_H_
