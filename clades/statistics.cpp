#include "clades/statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace dk::clades {

LogFactorials::LogFactorials(std::size_t n) : table_(n + 1, 0.0) {
  for (std::size_t k = 2; k <= n; ++k) table_[k] = table_[k - 1] + std::log(static_cast<double>(k));
}

double FisherGreater(std::size_t a, std::size_t n1, std::size_t k, std::size_t n2,
                     const LogFactorials& lf) {
  if (a == 0 || k - a >= n2) return 1.0;  // every table these margins allow
  // The distribution is the same with the first row's size and the events swapped: taking
  // the smaller as the row gives equal p-values the same bits, so they sort as ties.
  if (k < n1) {
    const std::size_t n = n1 + n2;
    std::swap(n1, k);
    n2 = n - n1;
  }
  const std::size_t n = n1 + n2;
  // log C(n, n1), the denominator of every term.
  const double all = lf(n) - lf(n1) - lf(n2);
  double p = 0;
  for (std::size_t x = a; x <= std::min(k, n1); ++x) {
    const double ways = lf(k) - lf(x) - lf(k - x) + lf(n - k) - lf(n1 - x) - lf(n2 - (k - x));
    p += std::exp(ways - all);
  }
  return std::min(p, 1.0);
}

std::vector<double> BenjaminiHochberg(const std::vector<double>& p) {
  const std::size_t m = p.size();
  std::vector<std::size_t> order(m);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t i, std::size_t j) { return p[i] < p[j]; });
  std::vector<double> q(m);
  double smallest = 1.0;
  for (std::size_t r = m; r-- > 0;) {
    const double scaled = p[order[r]] * static_cast<double>(m) / static_cast<double>(r + 1);
    smallest = std::min(smallest, scaled);
    q[order[r]] = smallest;
  }
  return q;
}

}  // namespace dk::clades
