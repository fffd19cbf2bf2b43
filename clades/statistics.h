// The statistics of clade survival: Fisher's exact test on a 2x2 table of counts, and
// Benjamini-Hochberg q-values over a family of tests.
#ifndef DROPKIT_CLADES_STATISTICS_H_
#define DROPKIT_CLADES_STATISTICS_H_

#include <cstddef>
#include <vector>

namespace dk::clades {

// Natural logarithms of 0!, 1!, ..., n!, each a sum of logarithms (exact to a few
// units in the last place, the same on every machine with IEEE doubles and a correctly
// rounded log).
class LogFactorials {
 public:
  explicit LogFactorials(std::size_t n);
  double operator()(std::size_t k) const { return table_[k]; }
  std::size_t size() const { return table_.size(); }

 private:
  std::vector<double> table_;
};

// The one-sided p-value of Fisher's exact test that the first row's events are more
// frequent than the second's: of n1 trials in the first row and n2 in the second, with
// a events in the first and k in all, the chance under the hypergeometric distribution
// (margins fixed) of a or more events in the first row. Each term
// C(k, x) C(n - k, n1 - x) / C(n, n1) is computed from `lf`, which must reach n1 + n2.
// REQUIRES: a <= n1, a <= k, k - a <= n2. Returns a value in (0, 1].
double FisherGreater(std::size_t a, std::size_t n1, std::size_t k, std::size_t n2,
                     const LogFactorials& lf);

// Benjamini-Hochberg q-values of `p` (in the same order): q_i = min over p_j >= p_i of
// p_j * m / rank_j, at most 1, m being p's size.
std::vector<double> BenjaminiHochberg(const std::vector<double>& p);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_STATISTICS_H_
