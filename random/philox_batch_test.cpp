#include "random/philox_batch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "testing/random_reference.h"

namespace dk {
namespace {

using test::ForEachVectorTarget;
using test::ReferenceWord0;

// splitmix64: arbitrary but fixed words for the engine.
std::uint64_t Mix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};

TEST(PhiloxBatchTest, OneCallIsTheEngine) {
  EXPECT_EQ(PhiloxWord0({0, 0}, 0, 0, 0, 0), 0x16554d9eca36314cu);  // docs/random.md
  std::uint64_t state = 7;
  for (int t = 0; t < 500; ++t) {
    const std::uint64_t k0 = Mix(state), k1 = Mix(state), c0 = Mix(state), c1 = Mix(state),
                        c2 = Mix(state), c3 = Mix(state);
    ASSERT_EQ(PhiloxWord0({k0, k1}, c0, c1, c2, c3), ReferenceWord0(k0, k1, c0, c1, c2, c3))
        << "case " << t;
  }
  EXPECT_EQ(PhiloxWord0({kAllOnes, kAllOnes}, kAllOnes, kAllOnes, kAllOnes, kAllOnes),
            ReferenceWord0(kAllOnes, kAllOnes, kAllOnes, kAllOnes, kAllOnes, kAllOnes));
}

TEST(PhiloxBatchTest, WorkedExampleOnEveryPath) {
  ForEachVectorTarget([](const char* target) {
    const std::vector<std::uint64_t> expected = {0xa7687e2d34c89dc6u, 0x13fe1ddbb29d354cu,
                                                 0x0833f5731c0d3264u, 0xe6c73045027911c9u};
    std::vector<std::uint64_t> words(4), vec(4);
    PhiloxSteps(PhiloxKey{42, 0}, 0).FirstAttempts(0, 4, words.data());
    PhiloxSteps(PhiloxKey{42, 0}, 0).FirstAttemptsInVectors(0, 4, vec.data());
    EXPECT_EQ(words, expected) << target;
    EXPECT_EQ(vec, expected) << target;
  });
}

// Every count from 0 past two pairs of full vectors of the widest instruction set, from several
// first steps, keys and permutations (extremes included): each word is the engine's,
// and nothing past the count is written.
TEST(PhiloxBatchTest, FirstAttemptsOnEveryPathAreTheEngines) {
  const PhiloxKey keys[] = {{0, 0}, {42, 0}, {kAllOnes, 2}, {0x400A000000000000, 1}};
  const std::uint64_t perms[] = {0, 1, 123456789, kAllOnes};
  const std::uint64_t firsts[] = {0, 5, std::uint64_t{1} << 40, kAllOnes - 9};
  constexpr std::uint64_t kGuard = 0x5A5A5A5A5A5A5A5A;
  ForEachVectorTarget([&](const char* target) {
    for (const PhiloxKey& key : keys) {
      for (const std::uint64_t p : perms) {
        const PhiloxSteps steps(key, p);
        for (const std::uint64_t first : firsts) {
          for (std::size_t count = 0; count <= 35; ++count) {
            std::vector<std::uint64_t> out(count + 1, kGuard), vec(count + 1, kGuard);
            steps.FirstAttempts(first, count, out.data());
            steps.FirstAttemptsInVectors(first, count, vec.data());
            for (std::size_t s = 0; s < count; ++s) {
              const std::uint64_t expected = ReferenceWord0(key.k0, key.k1, p, first + s, 0, 0);
              ASSERT_EQ(out[s], expected) << target << " key " << key.k0 << "/" << key.k1 << " p "
                                          << p << " step " << first + s;
              ASSERT_EQ(vec[s], expected) << target << " in vectors, step " << first + s;
            }
            ASSERT_EQ(out[count], kGuard) << target << ": wrote past " << count << " words";
            ASSERT_EQ(vec[count], kGuard) << target << ": vectors wrote past " << count;
          }
        }
        for (const std::uint64_t attempt : {1u, 2u, 77u}) {
          EXPECT_EQ(steps.Attempt(4030, attempt),
                    ReferenceWord0(key.k0, key.k1, p, 4030, attempt, 0))
              << target;
        }
      }
    }
  });
}

TEST(PhiloxBatchTest, PathsEndWithThePlainOneAndUnknownNamesChangeNothing) {
  const std::vector<std::string> paths = PhiloxPaths();
  ASSERT_FALSE(paths.empty());
  EXPECT_EQ(paths.back(), "plain");
  ASSERT_TRUE(UsePhiloxPath("plain"));
  EXPECT_FALSE(UsePhiloxPath("AVX9"));
  std::uint64_t word = 0;
  PhiloxSteps({3, 1}, 2).FirstAttempts(5, 1, &word);  // still on the plain path, and right
  EXPECT_EQ(word, ReferenceWord0(3, 1, 2, 5, 0, 0));
  EXPECT_TRUE(UsePhiloxPath(""));
}

}  // namespace
}  // namespace dk
