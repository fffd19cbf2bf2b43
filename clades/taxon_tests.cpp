#include "clades/taxon_tests.h"

#include <algorithm>

#include "clades/statistics.h"

namespace dk::clades {

TaxonTests TestTaxa(const SupportResult& result) {
  std::vector<ByTaxonRow> pairs = TaxonCladeCounts(result);
  std::erase_if(pairs, [](const ByTaxonRow& r) { return r.fell_without + r.fell_with == 0; });
  std::size_t most = 0;
  for (const ByTaxonRow& r : pairs) most = std::max(most, r.testable_without + r.testable_with);
  const LogFactorials lf(most);
  std::vector<double> p(pairs.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const ByTaxonRow& r = pairs[i];
    p[i] = FisherGreater(r.fell_without, r.testable_without, r.fell_without + r.fell_with,
                         r.testable_with, lf);
  }
  const std::vector<double> q = BenjaminiHochberg(p);

  TaxonTests out;
  out.scores.resize(result.names.size());
  for (std::size_t t = 0; t < out.scores.size(); ++t) out.scores[t].taxon = t;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const ByTaxonRow& r = pairs[i];
    TaxonScore& score = out.scores[r.taxon];
    ++score.clades;
    score.significant += q[i] <= kTaxonAlpha;
    score.instability +=
        static_cast<double>(r.fell_without) / static_cast<double>(r.testable_without) -
        static_cast<double>(r.fell_with) / static_cast<double>(r.testable_with);
    if (r.fell_without > 0) out.rows.push_back({r, p[i], q[i]});
  }
  for (TaxonScore& score : out.scores)
    if (score.clades > 0) score.instability /= static_cast<double>(score.clades);
  // Pairs come in taxon, then clade order, so a stable sort keeps that among ties.
  std::stable_sort(out.rows.begin(), out.rows.end(), [](const TaxonTest& a, const TaxonTest& b) {
    return a.q != b.q ? a.q < b.q : a.p < b.p;
  });
  std::stable_sort(out.scores.begin(), out.scores.end(),
                   [](const TaxonScore& a, const TaxonScore& b) {
                     if ((a.clades > 0) != (b.clades > 0)) return a.clades > 0;
                     return a.instability > b.instability;
                   });
  return out;
}

}  // namespace dk::clades
