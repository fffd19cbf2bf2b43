// For tests: the generator of docs/random.md written as plainly as the document reads,
// on Random123's own Philox4x64, with no shortcut of any kind. The fast paths of
// philox_batch, group_draw, draw_ahead and random must agree with it.
#ifndef DROPKIT_TESTING_RANDOM_REFERENCE_H_
#define DROPKIT_TESTING_RANDOM_REFERENCE_H_

#include <Random123/philox.h>

#include <cstdint>
#include <functional>
#include <map>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "random/philox_batch.h"

namespace dk::test {

// Word 0 of Philox4x64-10 of counter {c0, c1, c2, c3} under key {k0, k1}.
inline std::uint64_t ReferenceWord0(std::uint64_t k0, std::uint64_t k1, std::uint64_t c0,
                                    std::uint64_t c1, std::uint64_t c2, std::uint64_t c3) {
  const r123::Philox4x64 philox;
  return philox(r123::Philox4x64::ctr_type{{c0, c1, c2, c3}},
                r123::Philox4x64::key_type{{k0, k1}})[0];
}

// U(m) for step i of permutation p: Lemire's multiply-and-reject method.
inline std::uint64_t ReferenceUniform(std::uint64_t k0, std::uint64_t k1, std::uint64_t p,
                                      std::uint64_t i, std::uint64_t m) {
  __extension__ typedef unsigned __int128 Uint128;
  const std::uint64_t t = (0 - m) % m;
  for (std::uint64_t a = 0;; ++a) {
    const Uint128 prod = static_cast<Uint128>(ReferenceWord0(k0, k1, p, i, a, 0)) * m;
    if (static_cast<std::uint64_t>(prod) >= t) return static_cast<std::uint64_t>(prod >> 64);
  }
}

// Permutation p of 1..n: the forward Fisher-Yates shuffle on an array of n numbers.
inline std::vector<std::uint64_t> ReferencePermutation(std::uint64_t k0, std::uint64_t k1,
                                                       std::uint64_t p, std::uint64_t n) {
  std::vector<std::uint64_t> a(n);
  std::iota(a.begin(), a.end(), std::uint64_t{1});
  for (std::uint64_t i = 0; i + 1 < n; ++i) {
    const std::uint64_t j = i + ReferenceUniform(k0, k1, p, i, n - i);
    std::swap(a[i], a[j]);
  }
  return a;
}

// The first k entries of permutation p of 1..n: the same shuffle stopped once position
// k-1 is settled, with the moved positions in a map (any other position q holds q + 1).
inline std::vector<std::uint64_t> ReferencePrefix(std::uint64_t k0, std::uint64_t k1,
                                                  std::uint64_t p, std::uint64_t n,
                                                  std::uint64_t k) {
  std::map<std::uint64_t, std::uint64_t> moved;
  const auto held = [&](std::uint64_t q) {
    const auto it = moved.find(q);
    return it == moved.end() ? q + 1 : it->second;
  };
  std::vector<std::uint64_t> prefix;
  for (std::uint64_t i = 0; i < k; ++i) {
    const std::uint64_t j = i + 1 < n ? i + ReferenceUniform(k0, k1, p, i, n - i) : i;
    prefix.push_back(held(j));
    moved[j] = held(i);
  }
  return prefix;
}

// Runs `check` once for each instruction set compiled into the vector code that this
// processor has (the plain one always among them), with the draws pinned to it.
inline void ForEachVectorTarget(const std::function<void(const char* target)>& check) {
  for (const std::string& path : PhiloxPaths()) {
    UsePhiloxPath(path);
    check(path.c_str());
  }
  UsePhiloxPath("");
}

}  // namespace dk::test

#endif  // DROPKIT_TESTING_RANDOM_REFERENCE_H_
