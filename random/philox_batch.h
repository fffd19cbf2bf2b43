// Philox4x64-10, word 0 only, for the draws of one permutation at a time.
//
// The uniform draws of permutation p use the counters {p, i, a, 0} (step i, attempt a;
// docs/random.md). The first attempts of many steps are independent, so PhiloxSteps
// computes them a block at a time, with the parts of the first three rounds that do not
// depend on the step worked out once per permutation, and with 512-bit vector
// instructions where the processor at hand has them (chosen at run time; narrower
// vectors lose to the processor's own 64-bit multiply, which the other machines use).
// Every path gives the same words; a machine without wide vectors only takes longer.
//
// Threading: all functions are pure; a PhiloxSteps may be shared by threads once built.
#ifndef DROPKIT_RANDOM_PHILOX_BATCH_H_
#define DROPKIT_RANDOM_PHILOX_BATCH_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dk {

struct PhiloxKey {
  std::uint64_t k0 = 0;
  std::uint64_t k1 = 0;
};

// Word 0 of Philox4x64-10 of `counter` under `key`, one call at a time.
std::uint64_t PhiloxWord0(PhiloxKey key, std::uint64_t c0, std::uint64_t c1, std::uint64_t c2,
                          std::uint64_t c3);

// The draws of one permutation.
class PhiloxSteps {
 public:
  PhiloxSteps(PhiloxKey key, std::uint64_t permutation);

  // out[s] = word 0 of Philox({permutation, first + s, 0, 0}, key) for s < count.
  // REQUIRES: out has room for count words.
  void FirstAttempts(std::uint64_t first, std::size_t count, std::uint64_t* out) const;

  // The same words from the vector code of the instruction set chosen at run time, even
  // where FirstAttempts finds one multiply at a time faster (for tests and benchmarks).
  void FirstAttemptsInVectors(std::uint64_t first, std::size_t count, std::uint64_t* out) const;

  // Word 0 of Philox({permutation, step, attempt, 0}, key): a later attempt of a step.
  std::uint64_t Attempt(std::uint64_t step, std::uint64_t attempt) const {
    return PhiloxWord0(key_, permutation_, step, attempt, 0);
  }

  // What a permutation's first attempts share; filled by the constructor.
  struct Schedule {
    std::uint64_t k0[10];  // the key of each round
    std::uint64_t k1[10];
    std::uint64_t round2_xor;   // hi(M0 * (step ^ k0)) is xored with this in round 2
    std::uint64_t round3_xor0;  // xored into word 0 after round 3
    std::uint64_t round3_xor2;  // xored into word 2 after round 3
    std::uint64_t round3_word3;
  };

 private:
  PhiloxKey key_;
  std::uint64_t permutation_;
  Schedule schedule_;
};

// For tests and benchmarks: the names of the compiled instruction sets this processor
// can run, the one chosen by default first and "plain" (any x86-64) last.
std::vector<std::string> PhiloxPaths();

// For tests and benchmarks: makes every later PhiloxSteps, on any thread, use the named
// path; an empty name goes back to the default. Returns false, changing nothing, for a
// name not in PhiloxPaths().
bool UsePhiloxPath(std::string_view name);

}  // namespace dk

#endif  // DROPKIT_RANDOM_PHILOX_BATCH_H_
