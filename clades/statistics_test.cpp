#include "clades/statistics.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace dk::clades {
namespace {

// C(n, k) in whole numbers, for the small tables below.
double Choose(std::uint64_t n, std::uint64_t k) {
  std::uint64_t c = 1;
  for (std::uint64_t i = 1; i <= k; ++i) c = c * (n - k + i) / i;
  return static_cast<double>(c);
}

// The one-sided p-value summed term by term from whole binomial coefficients.
double ByHand(std::uint64_t a, std::uint64_t n1, std::uint64_t k, std::uint64_t n2) {
  double p = 0;
  for (std::uint64_t x = a; x <= std::min(k, n1); ++x)
    if (k - x <= n2) p += Choose(k, x) * Choose(n1 + n2 - k, n1 - x) / Choose(n1 + n2, n1);
  return p;
}

TEST(Statistics, FishersTestAgreesWithWholeNumberSumsOnEverySmallTable) {
  const LogFactorials lf(1200);
  // Gamma,Delta in the example: fell 2 of 2 without Beta, 0 of 5 with it: 1/C(7,2).
  EXPECT_NEAR(FisherGreater(2, 2, 2, 5, lf), 1.0 / 21, 1e-15);
  EXPECT_DOUBLE_EQ(FisherGreater(0, 3, 2, 4, lf), 1.0);
  // Swapping the row's size and the events gives the same p, to the bit (a tie in taxa.tsv).
  EXPECT_EQ(FisherGreater(8, 110, 105, 1090, lf), FisherGreater(8, 105, 110, 1095, lf));
  for (std::size_t n1 = 1; n1 <= 12; ++n1)
    for (std::size_t n2 = 1; n2 <= 12; ++n2)
      for (std::size_t k = 0; k <= n1 + n2; ++k)
        for (std::size_t a = k > n2 ? k - n2 : 0; a <= std::min(k, n1); ++a)
          ASSERT_NEAR(FisherGreater(a, n1, k, n2, lf), ByHand(a, n1, k, n2), 1e-12)
              << a << " " << n1 << " " << k << " " << n2;
}

TEST(Statistics, BenjaminiHochbergKeepsOrderAndTakesTheSmallestLaterRatio) {
  // By hand: ranks 1..5 of 0.01 0.04 0.03 0.005 0.5 give 0.025 0.05 0.05 0.025 0.5.
  const std::vector<double> q = BenjaminiHochberg({0.01, 0.04, 0.03, 0.005, 0.5});
  const std::vector<double> expected{0.025, 0.05, 0.05, 0.025, 0.5};
  for (std::size_t i = 0; i < q.size(); ++i) EXPECT_NEAR(q[i], expected[i], 1e-15) << i;
  EXPECT_EQ(BenjaminiHochberg({0.9, 0.8}), (std::vector<double>{0.9, 0.9}));
  EXPECT_TRUE(BenjaminiHochberg({}).empty());
}

}  // namespace
}  // namespace dk::clades
