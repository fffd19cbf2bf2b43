#include "random/random.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "os/env.h"
#include "os/thread_count.h"
#include "random/draw_ahead.h"
#include "random/group_draw.h"
#include "random/philox_batch.h"

namespace dk {
namespace {

static_assert(sizeof(std::size_t) >= sizeof(std::uint64_t), "list sizes up to 2^53 need 64 bits");

constexpr std::uint64_t kWholeSeed = 0;
constexpr std::uint64_t kOtherSeed = 1;
constexpr std::uint64_t kEntropyStart = 2;
constexpr std::uint64_t kCanonicalNan = 0x7FF8000000000000;

RandomState state;
bool started = false;  // false until the first use or reset

// The most threads drawing by default: one thread writing a listing keeps about two busy
// drawing (bench/draw_bench.cpp), and more would only draw further past its end.
constexpr unsigned kDefaultMaxThreads = 4;

RestartObserver restart_observer = nullptr;

unsigned thread_setting = 0;  // SetRandomThreads; 0 for the default
std::unique_ptr<DrawAhead> ahead;
GroupDrawer full_drawer;  // whole permutations, drawn on the calling thread

// The latest group DrawGroup returned, by its serial, and its entries ascending (owned
// by `ahead`); valid until the next draw or reset.
std::uint64_t serial_count = 0;
const double* latest_sorted = nullptr;

EntropyStart entropy_start = EntropyStart::kKey;
bool seed_drawn = false;  // the seed in force came from EntropySeed

RandomState SeedState(double seed);

RandomState& State() {
  if (!started && entropy_start == EntropyStart::kSeed) {
    state = SeedState(static_cast<double>(EntropySeed()));
    started = true;
    seed_drawn = true;
    if (restart_observer != nullptr) restart_observer();
  }
  if (!started) {
    unsigned char bytes[8] = {};
    Env::Current()->Entropy(bytes, sizeof bytes);
    std::uint64_t key = 0;
    for (int b = 7; b >= 0; --b) key = key << 8 | bytes[b];  // little-endian
    state = {key, kEntropyStart, 0};
    started = true;
  }
  return state;
}

RandomState SeedState(double seed) {
  if (std::isfinite(seed) && seed == std::trunc(seed) && seed >= -0x1p63 && seed < 0x1p63) {
    return {static_cast<std::uint64_t>(static_cast<std::int64_t>(seed)), kWholeSeed, 0};
  }
  const std::uint64_t bits = std::isnan(seed) ? kCanonicalNan : std::bit_cast<std::uint64_t>(seed);
  return {bits, kOtherSeed, 0};
}

// The threads that draw groups, the caller's included: DROPKIT_THREADS when set, else
// one per processor, at most 4. Raises for a setting that is not a whole number from 1
// to 256.
unsigned ConfiguredThreads() {
  if (thread_setting != 0) return thread_setting;
  return ThreadCount(kDefaultMaxThreads);
}

DrawAhead& Ahead() {
  if (ahead == nullptr) ahead = std::make_unique<DrawAhead>(ConfiguredThreads() - 1);
  return *ahead;
}

// Forgets the work ahead and joins the workers.
void DropWorkAhead() {
  ++serial_count;
  latest_sorted = nullptr;
  if (ahead != nullptr) ahead->Stop();
}

}  // namespace

void DrawPermutation(std::uint64_t n, double* out) {
  RandomState& s = State();
  full_drawer.Draw({s.key0, s.key1}, s.drawn, n, n, out, nullptr);
  ++s.drawn;
  ++serial_count;
}

DrawnGroup DrawGroup(std::uint64_t n, std::uint64_t k) {
  try {
    RandomState& s = State();
    latest_sorted = nullptr;
    const DrawAhead::Group group = Ahead().Get({s.key0, s.key1}, s.drawn, n, k);
    ++s.drawn;
    latest_sorted = group.sorted;
    return {group.prefix, group.sorted, ++serial_count};
  } catch (...) {
    DropWorkAhead();
    throw;
  }
}

const double* LatestGroupSorted(std::uint64_t serial) {
  return serial == serial_count ? latest_sorted : nullptr;
}

void SetRandomThreads(unsigned count) {
  DropWorkAhead();
  ahead.reset();
  thread_setting = count;
}

void RestartRandom(double seed) {
  DropWorkAhead();
  state = SeedState(seed);
  started = true;
  seed_drawn = false;
  if (restart_observer != nullptr) restart_observer();
}

std::uint64_t EntropySeed() {
  unsigned char bytes[8] = {};
  Env::Current()->Entropy(bytes, sizeof bytes);
  std::uint64_t x = 0;
  for (int i = 7; i >= 0; --i) x = (x << 8) | bytes[i];
  return x & (kEntropySeedLimit - 1);
}

EntropyStart SetEntropyStart(EntropyStart start) {
  return std::exchange(entropy_start, start);
}

bool SeedDrawnFromEntropy() {
  return started && seed_drawn;
}

std::uint64_t DrawnSinceRestart() {
  return started ? state.drawn : 0;
}

RandomSnapshot SnapshotRandom() {
  return {started, state, seed_drawn};
}

void RestoreRandom(const RandomSnapshot& snapshot) {
  DropWorkAhead();
  started = snapshot.started;
  state = snapshot.state;
  seed_drawn = snapshot.seed_drawn;
}

RandomState CurrentRandomState() {
  return State();
}

void ResetRandomToEntropy() {
  DropWorkAhead();
  started = false;
  seed_drawn = false;
  if (restart_observer != nullptr) restart_observer();
}

std::optional<double> SeedInForce() {
  if (!started) return std::nullopt;
  switch (state.key1) {
    case kWholeSeed:
      return static_cast<double>(static_cast<std::int64_t>(state.key0));
    case kOtherSeed:
      return std::bit_cast<double>(state.key0);
    default:
      return std::nullopt;
  }
}

RestartObserver SetRestartObserver(RestartObserver observer) {
  return std::exchange(restart_observer, observer);
}

}  // namespace dk
