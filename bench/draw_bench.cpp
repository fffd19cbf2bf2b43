// draw_bench: how long the groups of a listing take to draw and sort, as the listing
// asks for them (mlfRandperm(n, k), then mlfSort), against the code this replaced
// (kept below as the baseline) measured in the same run.
//
// Usage: draw_bench [--reps R]
//   --reps R   timed repetitions of each case; the minimum is reported (default 5)
//
// Cases: 1,000 groups of 1,000 names from 100,000 and from 10,000,000 names, and
// 100,000 groups of 10 from 100,000 names; each at 1 and 2 threads (SetRandomThreads).
// Then the Philox words alone, on each instruction set this processor has.
#include <Random123/philox.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "random/philox_batch.h"
#include "runtime/ops.h"
#include "runtime/random_values.h"
#include "runtime/value.h"

namespace {

using Clock = std::chrono::steady_clock;
__extension__ typedef unsigned __int128 Uint128;

// ---- The baseline: the draws and the sort as they were ---------------------------

namespace baseline {

struct State {
  std::uint64_t key0 = 0, key1 = 0, drawn = 0;
};

std::uint64_t Uniform(const State& s, std::uint64_t step, std::uint64_t m) {
  const r123::Philox4x64 philox;
  const r123::Philox4x64::key_type key = {{s.key0, s.key1}};
  for (std::uint64_t attempt = 0;; ++attempt) {
    const r123::Philox4x64::ctr_type ctr = {{s.drawn, step, attempt, 0}};
    const Uint128 product = static_cast<Uint128>(philox(ctr, key)[0]) * m;
    const auto low = static_cast<std::uint64_t>(product);
    if (low >= m || low >= (0 - m) % m) return static_cast<std::uint64_t>(product >> 64);
  }
}

class MovedPositions {
 public:
  MovedPositions(std::uint64_t n, std::uint64_t k) {
    if (n <= 4 * k) {
      dense_.resize(n);
      for (std::uint64_t p = 0; p < n; ++p) dense_[p] = p + 1;
      return;
    }
    std::uint64_t capacity = 16;
    while (capacity < 2 * k) capacity *= 2;
    keys_.assign(capacity, kEmpty);
    values_ = std::make_unique_for_overwrite<std::uint64_t[]>(capacity);
  }
  std::uint64_t Held(std::uint64_t p) const {
    if (!dense_.empty()) return dense_[p];
    const std::size_t slot = Find(p);
    return keys_[slot] == p ? values_[slot] : p + 1;
  }
  void Set(std::uint64_t p, std::uint64_t v) {
    if (!dense_.empty()) {
      dense_[p] = v;
      return;
    }
    const std::size_t slot = Find(p);
    keys_[slot] = p;
    values_[slot] = v;
  }

 private:
  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
  std::size_t Find(std::uint64_t p) const {
    const std::size_t mask = keys_.size() - 1;
    std::size_t slot = static_cast<std::size_t>((p * 0x9E3779B97F4A7C15ull) >> 20) & mask;
    while (keys_[slot] != p && keys_[slot] != kEmpty) slot = (slot + 1) & mask;
    return slot;
  }
  std::vector<std::uint64_t> dense_;
  std::vector<std::uint64_t> keys_;
  std::unique_ptr<std::uint64_t[]> values_;
};

dk::Value PartialPermutation(const State& s, std::uint64_t n, std::uint64_t k) {
  dk::Value prefix = dk::Value::Matrix(1, k);
  MovedPositions moved(n, k);
  for (std::uint64_t i = 0; i < k; ++i) {
    const std::uint64_t j = i + 1 < n ? i + Uniform(s, i, n - i) : i;
    const std::uint64_t picked = moved.Held(j);
    moved.Set(j, moved.Held(i));
    prefix.set_num(i, static_cast<double>(picked));
  }
  return prefix;
}

bool SortWholeNumbers(std::vector<double>& values) {
  std::vector<std::uint32_t> keys(values.size()), scratch(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double x = values[i];
    if (!(x >= 0 && x <= 4294967295.0)) return false;
    keys[i] = static_cast<std::uint32_t>(x);
    if (keys[i] != x) return false;
  }
  for (int shift = 0; shift < 32; shift += 8) {
    std::size_t count[257] = {};
    for (const std::uint32_t k : keys) ++count[((k >> shift) & 0xFF) + 1];
    for (int b = 0; b < 256; ++b) count[b + 1] += count[b];
    for (const std::uint32_t k : keys) scratch[count[(k >> shift) & 0xFF]++] = k;
    keys.swap(scratch);
  }
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = keys[i];
  return true;
}

dk::Value Sort(const dk::Value& v) {
  std::vector<double> out(v.numel());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = v.num(i);
  if (out.size() >= 64 && SortWholeNumbers(out)) {
  } else {
    std::sort(out.begin(), out.end());
  }
  if (out.empty()) return dk::Value::Matrix(v.rows(), v.cols());
  return dk::Value::Matrix(v.rows(), v.cols(), std::move(out));
}

}  // namespace baseline

// ---- Timing ---------------------------------------------------------------------

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The minimum over `reps` rounds of each of `runs`, in milliseconds. The runs take turns
// within a round, so a machine busy with other work slows them alike.
std::vector<double> MinTimes(int reps, const std::vector<std::function<void()>>& runs) {
  std::vector<double> best(runs.size(), INFINITY);
  for (int r = 0; r < reps; ++r) {
    for (std::size_t i = 0; i < runs.size(); ++i) {
      const auto start = Clock::now();
      runs[i]();
      best[i] = std::min(best[i], Milliseconds(Clock::now() - start));
    }
  }
  return best;
}

struct Case {
  std::uint64_t groups, k, n;
};

// A checksum of every sorted group, to show that both sides drew the same.
std::uint64_t Fold(std::uint64_t sum, const dk::Value& sorted) {
  for (std::size_t i = 0; i < sorted.numel(); ++i) {
    sum = (sum ^ static_cast<std::uint64_t>(sorted.num(i))) * 0x100000001B3ull;
  }
  return sum;
}

constexpr double kSeed = 1;

std::uint64_t DrawListing(const Case& c) {
  dk::mlfNRand(0, dk::Value::Text("state"), dk::Value::Scalar(kSeed));
  const dk::Value n = dk::Value::Scalar(static_cast<double>(c.n));
  const dk::Value k = dk::Value::Scalar(static_cast<double>(c.k));
  std::uint64_t sum = 0;
  for (std::uint64_t g = 0; g < c.groups; ++g) {
    const dk::Value drawn = dk::mlfRandperm(n, k);
    sum = Fold(sum, dk::mlfSort(drawn));
  }
  return sum;
}

std::uint64_t BaselineListing(const Case& c) {
  baseline::State s{static_cast<std::uint64_t>(kSeed), 0, 0};
  std::uint64_t sum = 0;
  for (std::uint64_t g = 0; g < c.groups; ++g) {
    const dk::Value drawn = baseline::PartialPermutation(s, c.n, c.k);
    ++s.drawn;
    sum = Fold(sum, baseline::Sort(drawn));
  }
  return sum;
}

void RunCase(const Case& c, int reps) {
  std::printf("%llu groups of %llu from %llu names (min of %d runs)\n",
              static_cast<unsigned long long>(c.groups), static_cast<unsigned long long>(c.k),
              static_cast<unsigned long long>(c.n), reps);
  constexpr unsigned kThreads[] = {1, 2};
  std::uint64_t sums[3] = {};
  const std::vector<double> ms = MinTimes(reps, {[&] { sums[0] = BaselineListing(c); },
                                                 [&] {
                                                   dk::SetRandomThreads(kThreads[0]);
                                                   sums[1] = DrawListing(c);
                                                 },
                                                 [&] {
                                                   dk::SetRandomThreads(kThreads[1]);
                                                   sums[2] = DrawListing(c);
                                                 }});
  dk::SetRandomThreads(0);
  const double per_group = 1000.0 / static_cast<double>(c.groups);
  std::printf("  baseline (the former code): %8.2f ms  %7.3f us a group\n", ms[0],
              ms[0] * per_group);
  for (std::size_t i = 0; i < 2; ++i) {
    const unsigned threads = kThreads[i];
    const double t = ms[i + 1];
    std::printf("  %u thread%s:                 %8.2f ms  %7.3f us a group  %5.2fx faster%s\n",
                threads, threads == 1 ? " " : "s", t, t * per_group, ms[0] / t,
                sums[i + 1] == sums[0] ? "" : "  GROUPS DIFFER FROM THE BASELINE");
  }
  std::fflush(stdout);
}

// Philox words: the former one call per word against PhiloxSteps on each target.
void RunPhilox(int reps) {
  constexpr std::size_t kWords = 1 << 20;
  constexpr std::size_t kBlock = 256;
  std::vector<std::uint64_t> out(kBlock);
  std::uint64_t sink = 0;
  const auto one_call = [&] {
    const r123::Philox4x64 philox;
    for (std::size_t i = 0; i < kWords; ++i) {
      sink ^= philox(r123::Philox4x64::ctr_type{{7, i, 0, 0}}, {{1, 0}})[0];
    }
  };
  const dk::PhiloxSteps steps({1, 0}, 7);
  const auto batch = [&](const std::string& target, bool vectors) {
    return [&, target, vectors] {
      dk::UsePhiloxPath(target);
      for (std::size_t i = 0; i < kWords; i += kBlock) {
        if (vectors) {
          steps.FirstAttemptsInVectors(i, kBlock, out.data());
        } else {
          steps.FirstAttempts(i, kBlock, out.data());
        }
        sink ^= out[kBlock - 1];
      }
    };
  };
  const std::vector<std::string> targets = dk::PhiloxPaths();
  std::vector<std::function<void()>> runs = {one_call};
  for (const std::string& target : targets) {
    runs.push_back(batch(target, false));
    runs.push_back(batch(target, true));
  }
  const std::vector<double> ms = MinTimes(reps, runs);
  dk::UsePhiloxPath("");
  const auto ns = [&](double t) { return t * 1e6 / kWords; };
  std::printf("Philox words (min of %d runs of %zu)\n  one call a word:  %6.2f ns a word\n", reps,
              kWords, ns(ms[0]));
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const double chosen = ms[1 + 2 * i], vectors = ms[2 + 2 * i];
    std::printf("  %-8s  chosen: %6.2f ns a word (%5.2fx)  in vectors: %6.2f ns a word (%5.2fx)\n",
                targets[i].c_str(), ns(chosen), ms[0] / chosen, ns(vectors), ms[0] / vectors);
  }
  if (sink == 42) std::printf("\n");  // keeps the words from being optimized away
}

int Run(int reps) {
  RunCase({1000, 1000, 100000}, reps);
  RunCase({1000, 1000, 10000000}, reps);
  RunCase({100000, 10, 100000}, reps);
  RunPhilox(reps);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    int reps = 5;
    for (int i = 1; i < argc; ++i) {
      const std::string_view arg = argv[i];
      if (arg == "--reps" && i + 1 < argc) {
        reps = std::atoi(argv[++i]);
      } else {
        throw std::runtime_error("usage: draw_bench [--reps R]");
      }
    }
    if (reps < 1) throw std::runtime_error("--reps must be >= 1");
    return Run(reps);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "draw_bench: %s\n", e.what());
    return 1;
  }
}
