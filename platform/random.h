// The run-time's random generator: uniformly random permutations that users can draw
// again from a seed they type.
//
// Every draw is a pure function of the generator state (a two-word key and the count of
// permutations drawn since the last reset), so the same seed gives the same listings on
// every machine and build. docs/random.md gives the exact rules; they are a promise to
// users and must not change.
//
// Until the first reset the key comes from Env::Current()->Entropy, drawn on first use.
//
// Threading: the state is process-wide and unguarded; the program uses it from one thread.
// While a listing draws group after group of one size, worker threads draw the next
// groups ahead (platform/draw_ahead.h); they never touch Values, and every reset joins
// them. DROPKIT_THREADS=N (1 to 256) fixes the number of threads that draw, the
// caller's included; by default there is one per processor, at most 4, and 1 draws on
// the calling thread alone. The threads change the speed, never a drawn number.
#ifndef DROPKIT_PLATFORM_RANDOM_H_
#define DROPKIT_PLATFORM_RANDOM_H_

#include <cstdint>
#include <optional>

#include "platform/value.h"

namespace dk {

// What decides every later draw.
struct RandomState {
  std::uint64_t key0 = 0;
  std::uint64_t key1 = 0;   // 0: whole seed, 1: other seed, 2: entropy
  std::uint64_t drawn = 0;  // permutations drawn since the last reset

  bool operator==(const RandomState&) const = default;
};

// A 1-by-n row holding 1..n in uniformly random order; the generator moves on by one
// permutation (also for n of 0 or 1).
// REQUIRES: n is one whole number from 0 to 2^53; otherwise raises and draws nothing.
Value mlfRandperm(const Value& n);

// The first k entries of the permutation that mlfRandperm(n) would return now, as a
// 1-by-k row, and the generator moves on exactly as mlfRandperm(n) would move it.
// Costs O(k) time and memory, whatever n is.
// REQUIRES: n and k are whole numbers with 0 <= k <= n <= 2^53; otherwise raises and
// draws nothing.
Value mlfRandperm(const Value& n, const Value& k);

// When `v` is the very array the latest mlfRandperm(n, k) returned (not a copy that was
// changed since), its entries in ascending order, as mlfSort(v) gives them: they are
// sorted as they are drawn. An absent value otherwise.
Value SortedDraw(const Value& v);

// With `keyword` the text "state", restarts the generator from `seed` (one number) and
// returns the 0-by-0 matrix. Raises for any other keyword, a seed that is not one
// number, or more than one output.
Value mlfNRand(int nargout, const Value& keyword, const Value& seed);

// The current state; the entropy start is drawn first if the generator was never used.
RandomState CurrentRandomState();

// Forgets any seed, as at program start: the next use draws a fresh key from entropy.
void ResetRandomToEntropy();

// The seed of the generator's latest restart: the number mlfNRand was given (a whole
// number as that number, -0 as 0); nullopt while the generator runs from entropy, before
// any restart and after ResetRandomToEntropy. Draws nothing.
std::optional<double> SeedInForce();

// The largest seed EntropySeed gives, plus one: 2^53, so every seed prints as a whole
// number and reads back exactly as a double.
inline constexpr std::uint64_t kEntropySeedLimit = std::uint64_t{1} << 53;

// A whole number from 0 to kEntropySeedLimit - 1, uniformly drawn from
// Env::Current()->Entropy (eight bytes, little-endian, the low 53 bits).
std::uint64_t EntropySeed();

// How the generator starts when it is used before any restart.
enum class EntropyStart {
  kKey,   // from a key drawn from entropy: no seed is in force (the default)
  kSeed,  // restarted from an EntropySeed, as mlfNRand would: that seed is in force, and
          // the restart observer hears of it, so that every draw can be made again
};
// Sets how the generator starts from now on; returns the previous setting.
EntropyStart SetEntropyStart(EntropyStart start);

// True when the seed in force was drawn from entropy (EntropyStart::kSeed), not given.
bool SeedDrawnFromEntropy();

// The permutations drawn since the latest restart (or entropy start); 0 before the
// generator is used. Draws nothing.
std::uint64_t DrawnSinceRestart();

// Everything that decides later draws, whether the generator has started or not: taken
// before a command, it undoes the draws of a command that was cancelled.
struct RandomSnapshot {
  bool started = false;
  RandomState state;
  bool seed_drawn = false;
};
// The generator as it stands; draws nothing.
RandomSnapshot SnapshotRandom();
// Puts the generator back as `snapshot` found it (joining any work ahead); the restart
// observer is not called.
void RestoreRandom(const RandomSnapshot& snapshot);

// Called after each restart (mlfNRand) and each ResetRandomToEntropy, so that a program
// can show the seed in force; whatever it raises passes to the caller of the restart,
// which has happened. Returns the observer it replaces (nullptr: none).
using RestartObserver = void (*)();
RestartObserver SetRestartObserver(RestartObserver observer);

// Fixes the number of threads that draw, the caller's included (for tests and
// benchmarks); 0 goes back to DROPKIT_THREADS or the default. Joins any workers.
void SetRandomThreads(unsigned count);

}  // namespace dk

#endif  // DROPKIT_PLATFORM_RANDOM_H_
