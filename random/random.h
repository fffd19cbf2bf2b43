// The random generator: uniformly random permutations that users can draw again from a
// seed they type. runtime/random_values.h gives its functions on values.
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
// groups ahead (random/draw_ahead.h); they never touch Values, and every reset joins
// them. DROPKIT_THREADS=N (1 to 256) fixes the number of threads that draw, the
// caller's included; by default there is one per processor, at most 4, and 1 draws on
// the calling thread alone. The threads change the speed, never a drawn number.
#ifndef DROPKIT_RANDOM_RANDOM_H_
#define DROPKIT_RANDOM_RANDOM_H_

#include <cstdint>
#include <optional>

namespace dk {

// What decides every later draw.
struct RandomState {
  std::uint64_t key0 = 0;
  std::uint64_t key1 = 0;   // 0: whole seed, 1: other seed, 2: entropy
  std::uint64_t drawn = 0;  // permutations drawn since the last reset

  bool operator==(const RandomState&) const = default;
};

// Restarts the generator from `seed` (any number: a whole number, -0 as 0, a fraction,
// an infinity or NaN), as rand("state", seed) does; calls the restart observer.
void RestartRandom(double seed);

// Writes 1..n in uniformly random order to out[0 .. n-1]; the generator moves on by one
// permutation (also for n of 0 or 1).
// REQUIRES: n <= 2^53 and out has room for n numbers.
void DrawPermutation(std::uint64_t n, double* out);

// The first k entries of the permutation that DrawPermutation(n, ...) would give now,
// in the order drawn and ascending, and the generator moves on exactly as that call
// would move it. Costs O(k) time and memory, whatever n is. The entries stay valid until
// the next draw, restart or reset; `serial` numbers the draw (LatestGroupSorted).
// REQUIRES: k <= n <= 2^53.
struct DrawnGroup {
  const double* drawn = nullptr;
  const double* sorted = nullptr;
  std::uint64_t serial = 0;
};
DrawnGroup DrawGroup(std::uint64_t n, std::uint64_t k);

// The sorted entries of the group drawn as `serial`, while they are still valid (no
// draw, restart or reset since); nullptr otherwise.
const double* LatestGroupSorted(std::uint64_t serial);

// The current state; the entropy start is drawn first if the generator was never used.
RandomState CurrentRandomState();

// Forgets any seed, as at program start: the next use draws a fresh key from entropy.
void ResetRandomToEntropy();

// The seed of the generator's latest restart: the number RestartRandom was given (a whole
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
  kSeed,  // restarted from an EntropySeed, as RestartRandom would: that seed is in force, and
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

// Called after each restart (RestartRandom) and each ResetRandomToEntropy, so that a program
// can show the seed in force; whatever it raises passes to the caller of the restart,
// which has happened. Returns the observer it replaces (nullptr: none).
using RestartObserver = void (*)();
RestartObserver SetRestartObserver(RestartObserver observer);

// Fixes the number of threads that draw, the caller's included (for tests and
// benchmarks); 0 goes back to DROPKIT_THREADS or the default. Joins any workers.
void SetRandomThreads(unsigned count);

}  // namespace dk

#endif  // DROPKIT_RANDOM_RANDOM_H_
