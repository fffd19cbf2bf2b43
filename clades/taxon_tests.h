// Which taxa hold clades together: for each taxon and each clade, whether the clade falls
// more often in the groups that left the taxon out than in those that kept it, tested
// exactly, with the false discovery rate over all the pairs tested (docs/support.md).
#ifndef DROPKIT_CLADES_TAXON_TESTS_H_
#define DROPKIT_CLADES_TAXON_TESTS_H_

#include <cstddef>
#include <vector>

#include "clades/support.h"

namespace dk::clades {

struct TaxonTest {
  ByTaxonRow counts;
  double p = 1;  // one-sided Fisher's exact test: the clade falls more often without it
  double q = 1;  // Benjamini-Hochberg over every pair tested
};

struct TaxonScore {
  std::size_t taxon = 0;
  std::size_t clades = 0;       // the pairs tested for it
  std::size_t significant = 0;  // of those, with q at most kTaxonAlpha
  // The mean over those clades of the fall rate without the taxon less the fall rate
  // with it: how much survival drops, on average, when it is left out. 0 with no clades.
  double instability = 0;
};

inline constexpr double kTaxonAlpha = 0.05;

struct TaxonTests {
  // The pairs tested where the clade fell at least once without the taxon, by q, then
  // p, then taxon in list order, then clade in row order.
  std::vector<TaxonTest> rows;
  // One per taxon of the list: by instability (highest first), taxa without a tested
  // clade last, ties in list order.
  std::vector<TaxonScore> scores;
};

// The pairs tested are those where the clade was testable both with and without the
// taxon and fell at least once. Fisher's test conditions on those margins, so leaving
// out the other pairs (whose p-value is 1 whatever happened) keeps the false discovery
// rate. Needs `keep_outcomes`.
TaxonTests TestTaxa(const SupportResult& result);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_TAXON_TESTS_H_
