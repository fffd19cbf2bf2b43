// Highway compiles the vector part of this file once for each instruction set it knows
// (foreach_target.h includes the file again per target); Paths() below picks one at run
// time. Only Highway's headers are used: its shared library measures the timer's
// resolution when it is loaded, which would cost every run of the program about 4 ms, so
// the choice is made here from the processor's own feature flags instead of by
// HWY_DYNAMIC_DISPATCH.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "random/philox_batch.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "random/philox_batch.h"

// ---- Shared by every target: compiled once --------------------------------------
#ifndef DROPKIT_RANDOM_PHILOX_BATCH_ONCE_
#define DROPKIT_RANDOM_PHILOX_BATCH_ONCE_

namespace dk {
namespace philox {

__extension__ typedef unsigned __int128 Uint128;

constexpr std::uint64_t kM0 = 0xD2E7470EE14C6C93;
constexpr std::uint64_t kM1 = 0xCA5A826395121157;
constexpr std::uint64_t kW0 = 0x9E3779B97F4A7C15;
constexpr std::uint64_t kW1 = 0xBB67AE8584CAA73B;

inline std::uint64_t MulHiLo(std::uint64_t a, std::uint64_t b, std::uint64_t* lo) {
  const Uint128 product = static_cast<Uint128>(a) * b;
  *lo = static_cast<std::uint64_t>(product);
  return static_cast<std::uint64_t>(product >> 64);
}

// The first attempt of one step, on the schedule of its permutation: rounds 1 to 3
// reduced to their two step-dependent products, rounds 4 to 9 in full, and of round 10
// only the product that word 0 needs.
inline std::uint64_t FirstAttempt(const PhiloxSteps::Schedule& s, std::uint64_t step) {
  std::uint64_t lo2 = 0, lo3 = 0;
  const std::uint64_t hi2 = MulHiLo(kM0, step ^ s.k0[0], &lo2);
  const std::uint64_t hi3 = MulHiLo(kM1, hi2 ^ s.round2_xor, &lo3);
  std::uint64_t c0 = hi3 ^ s.round3_xor0, c1 = lo3, c2 = lo2 ^ s.round3_xor2, c3 = s.round3_word3;
  for (int r = 3; r < 9; ++r) {
    std::uint64_t lo0 = 0, lo1 = 0;
    const std::uint64_t hi0 = MulHiLo(kM0, c0, &lo0);
    const std::uint64_t hi1 = MulHiLo(kM1, c2, &lo1);
    c0 = hi1 ^ c1 ^ s.k0[r];
    c1 = lo1;
    c2 = hi0 ^ c3 ^ s.k1[r];
    c3 = lo0;
  }
  std::uint64_t unused = 0;
  return MulHiLo(kM1, c2, &unused) ^ c1 ^ s.k0[9];
}

void ScalarFirstAttempts(const PhiloxSteps::Schedule& s, std::uint64_t first, std::size_t count,
                         std::uint64_t* out) {
  for (std::size_t i = 0; i < count; ++i) out[i] = FirstAttempt(s, first + i);
}

}  // namespace philox
}  // namespace dk

#endif  // DROPKIT_RANDOM_PHILOX_BATCH_ONCE_

// ---- Per target -----------------------------------------------------------------
HWY_BEFORE_NAMESPACE();
namespace dk {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128

// One lane gains nothing over the processor's own 64-bit multiply.
void VectorFirstAttempts(const PhiloxSteps::Schedule& s, std::uint64_t first, std::size_t count,
                         std::uint64_t* out) {
  philox::ScalarFirstAttempts(s, first, count, out);
}

#else

using D = hn::ScalableTag<std::uint64_t>;
using V = hn::Vec<D>;

// A 64-bit multiplier split into 32-bit halves, each in the low half of every lane.
struct Multiplier {
  V lo, hi;
};

// The full product a * m of every lane: returns the high words, sets *lo to the low
// ones. Four 32-by-32 products per lane (the instruction sets have no wider one).
HWY_INLINE V MulHiLo(V a, const Multiplier& m, V* lo) {
  const D d;
  const hn::Repartition<std::uint32_t, D> d32;
  const V low32 = hn::Set(d, 0xFFFFFFFFu);
  // Swapping the halves of a lane (a shuffle) instead of shifting spares the shift unit,
  // the busiest one here; the products read only the low half of each lane.
  const auto a32 = hn::BitCast(d32, a);
  const auto a_hi = hn::Shuffle2301(a32);
  const V ll = hn::MulEven(a32, hn::BitCast(d32, m.lo));
  const V hl = hn::MulEven(a_hi, hn::BitCast(d32, m.lo));
  const V lh = hn::MulEven(a32, hn::BitCast(d32, m.hi));
  const V hh = hn::MulEven(a_hi, hn::BitCast(d32, m.hi));
  const V t = hn::Add(hl, hn::ShiftRight<32>(ll));  // below 2^64: no carry lost
  const V u = hn::Add(lh, hn::And(t, low32));       // likewise
  // The low word: the low half of ll below the low half of u.
  *lo = hn::BitCast(d, hn::OddEven(hn::Shuffle2301(hn::BitCast(d32, u)), hn::BitCast(d32, ll)));
  return hn::Add(hn::Add(hh, hn::ShiftRight<32>(t)), hn::ShiftRight<32>(u));
}

// Only the high words of a * m.
HWY_INLINE V MulHi(V a, const Multiplier& m) {
  V unused;
  return MulHiLo(a, m, &unused);
}

// One full round on the words c0..c3 with round keys k0, k1.
HWY_INLINE void Round(const Multiplier& m0, const Multiplier& m1, V k0, V k1, V& c0, V& c1, V& c2,
                      V& c3) {
  V lo0, lo1;
  const V hi0 = MulHiLo(c0, m0, &lo0);
  const V hi1 = MulHiLo(c2, m1, &lo1);
  c0 = hn::Xor3(hi1, c1, k0);
  c1 = lo1;
  c2 = hn::Xor3(hi0, c3, k1);
  c3 = lo0;
}

// Word 0 of the first attempts of two vectors of steps, computed side by side so that
// one's multiplies fill the other's waits.
HWY_INLINE void FirstAttempts2(const PhiloxSteps::Schedule& s, const Multiplier& m0,
                               const Multiplier& m1, V step_a, V step_b, V* out_a, V* out_b) {
  const D d;
  const V k0 = hn::Set(d, s.k0[0]), xor2 = hn::Set(d, s.round2_xor);
  V lo2a, lo2b, lo3a, lo3b;
  const V hi2a = MulHiLo(hn::Xor(step_a, k0), m0, &lo2a);
  const V hi2b = MulHiLo(hn::Xor(step_b, k0), m0, &lo2b);
  const V hi3a = MulHiLo(hn::Xor(hi2a, xor2), m1, &lo3a);
  const V hi3b = MulHiLo(hn::Xor(hi2b, xor2), m1, &lo3b);
  const V xor30 = hn::Set(d, s.round3_xor0), xor32 = hn::Set(d, s.round3_xor2);
  V a0 = hn::Xor(hi3a, xor30), a1 = lo3a, a2 = hn::Xor(lo2a, xor32);
  V b0 = hn::Xor(hi3b, xor30), b1 = lo3b, b2 = hn::Xor(lo2b, xor32);
  V a3 = hn::Set(d, s.round3_word3), b3 = a3;
  for (int r = 3; r < 9; ++r) {
    const V rk0 = hn::Set(d, s.k0[r]), rk1 = hn::Set(d, s.k1[r]);
    Round(m0, m1, rk0, rk1, a0, a1, a2, a3);
    Round(m0, m1, rk0, rk1, b0, b1, b2, b3);
  }
  const V k9 = hn::Set(d, s.k0[9]);
  *out_a = hn::Xor3(MulHi(a2, m1), a1, k9);
  *out_b = hn::Xor3(MulHi(b2, m1), b1, k9);
}

void VectorFirstAttempts(const PhiloxSteps::Schedule& s, std::uint64_t first, std::size_t count,
                         std::uint64_t* out) {
  const D d;
  const std::size_t lanes = hn::Lanes(d);
  const Multiplier m0 = {hn::Set(d, philox::kM0 & 0xFFFFFFFF), hn::Set(d, philox::kM0 >> 32)};
  const Multiplier m1 = {hn::Set(d, philox::kM1 & 0xFFFFFFFF), hn::Set(d, philox::kM1 >> 32)};
  const V iota = hn::Iota(d, 0);
  const V next = hn::Set(d, lanes);
  std::size_t i = 0;
  for (; i + 2 * lanes <= count; i += 2 * lanes) {
    const V steps = hn::Add(hn::Set(d, first + i), iota);
    V a, b;
    FirstAttempts2(s, m0, m1, steps, hn::Add(steps, next), &a, &b);
    hn::StoreU(a, d, out + i);
    hn::StoreU(b, d, out + i + lanes);
  }
  if (i + lanes <= count) {
    // One vector's worth or more left: two, keeping what is asked for.
    std::uint64_t rest[2 * HWY_MAX_BYTES / sizeof(std::uint64_t)];
    const V steps = hn::Add(hn::Set(d, first + i), iota);
    V a, b;
    FirstAttempts2(s, m0, m1, steps, hn::Add(steps, next), &a, &b);
    hn::StoreU(a, d, rest);
    hn::StoreU(b, d, rest + lanes);
    for (std::size_t r = 0; i < count; ++r, ++i) out[i] = rest[r];
  }
  // Less than a vector left: one word at a time costs less than a vector's worth.
  philox::ScalarFirstAttempts(s, first + i, count - i, out + i);
}

#endif

// Vectors of four 32-by-32 products per 64-bit lane beat the processor's 64-bit
// multiply only when they are 512 bits wide (bench/draw_bench.cpp: on a Xeon with
// AVX-512, 5.6 ns a word against 6.1 for one multiply at a time, while AVX2 takes 12).
void FirstAttemptsImpl(const PhiloxSteps::Schedule& s, std::uint64_t first, std::size_t count,
                       std::uint64_t* out) {
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
  VectorFirstAttempts(s, first, count, out);
#else
  philox::ScalarFirstAttempts(s, first, count, out);
#endif
}

}  // namespace HWY_NAMESPACE
}  // namespace dk
HWY_AFTER_NAMESPACE();

// ---- Dispatch: compiled once ----------------------------------------------------
#if HWY_ONCE
namespace dk {
namespace {

using FirstAttemptsFn = void (*)(const PhiloxSteps::Schedule&, std::uint64_t, std::size_t,
                                 std::uint64_t*);

// One compiled instruction set: the code FirstAttempts runs on it, and its vector code.
struct Path {
  const char* name = nullptr;
  FirstAttemptsFn chosen = nullptr;
  FirstAttemptsFn vectors = nullptr;
};

// The paths this processor can run, best first; the plain one, compiled for every
// x86-64, last. The features are those Highway compiles each target with. The table is
// never destroyed (trivially destructible), so workers still drawing while the process
// exits never see it go.
struct PathTable {
  Path paths[5];
  std::size_t count = 0;
  void Add(const Path& path) { paths[count++] = path; }
};

#if HWY_ARCH_X86
// F16C, from CPUID leaf 1 (ECX bit 29): not every compiler's __builtin_cpu_supports
// knows its name.
bool HasF16c() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & (1u << 29)) != 0;
}
#endif

const PathTable& Paths() {
  static const PathTable table = [] {
    PathTable out;
#if HWY_ARCH_X86
    __builtin_cpu_init();
    const bool ssse3 = __builtin_cpu_supports("ssse3");
    const bool sse4 = ssse3 && __builtin_cpu_supports("sse4.1") &&
                      __builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("pclmul") &&
                      __builtin_cpu_supports("aes");
    const bool avx2 = sse4 && __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
                      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                      __builtin_cpu_supports("fma") && HasF16c();
    const bool avx3 = avx2 && __builtin_cpu_supports("avx512f") &&
                      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                      __builtin_cpu_supports("avx512bw");
#if (HWY_TARGETS & HWY_AVX3) && HWY_STATIC_TARGET != HWY_AVX3
    if (avx3) out.Add({"AVX3", &N_AVX3::FirstAttemptsImpl, &N_AVX3::VectorFirstAttempts});
#endif
#if (HWY_TARGETS & HWY_AVX2) && HWY_STATIC_TARGET != HWY_AVX2
    if (avx2) out.Add({"AVX2", &N_AVX2::FirstAttemptsImpl, &N_AVX2::VectorFirstAttempts});
#endif
#if (HWY_TARGETS & HWY_SSE4) && HWY_STATIC_TARGET != HWY_SSE4
    if (sse4) out.Add({"SSE4", &N_SSE4::FirstAttemptsImpl, &N_SSE4::VectorFirstAttempts});
#endif
#if (HWY_TARGETS & HWY_SSSE3) && HWY_STATIC_TARGET != HWY_SSSE3
    if (ssse3) out.Add({"SSSE3", &N_SSSE3::FirstAttemptsImpl, &N_SSSE3::VectorFirstAttempts});
#endif
    (void)avx3, (void)avx2, (void)sse4, (void)ssse3;
#endif  // HWY_ARCH_X86
    out.Add({"plain", &HWY_STATIC_DISPATCH(FirstAttemptsImpl),
             &HWY_STATIC_DISPATCH(VectorFirstAttempts)});
    return out;
  }();
  return table;
}

std::atomic<const Path*> pinned_path{nullptr};  // UsePhiloxPath; null for the best

const Path& CurrentPath() {
  const Path* pinned = pinned_path.load(std::memory_order_acquire);
  return pinned != nullptr ? *pinned : Paths().paths[0];
}

}  // namespace

std::vector<std::string> PhiloxPaths() {
  std::vector<std::string> names;
  const PathTable& table = Paths();
  for (std::size_t i = 0; i < table.count; ++i) names.emplace_back(table.paths[i].name);
  return names;
}

bool UsePhiloxPath(std::string_view name) {
  if (name.empty()) {
    pinned_path.store(nullptr, std::memory_order_release);
    return true;
  }
  const PathTable& table = Paths();
  for (std::size_t i = 0; i < table.count; ++i) {
    if (name == table.paths[i].name) {
      pinned_path.store(&table.paths[i], std::memory_order_release);
      return true;
    }
  }
  return false;
}

std::uint64_t PhiloxWord0(PhiloxKey key, std::uint64_t c0, std::uint64_t c1, std::uint64_t c2,
                          std::uint64_t c3) {
  std::uint64_t k0 = key.k0, k1 = key.k1;
  for (int r = 0; r < 10; ++r) {
    if (r > 0) {
      k0 += philox::kW0;
      k1 += philox::kW1;
    }
    std::uint64_t lo0 = 0, lo1 = 0;
    const std::uint64_t hi0 = philox::MulHiLo(philox::kM0, c0, &lo0);
    const std::uint64_t hi1 = philox::MulHiLo(philox::kM1, c2, &lo1);
    c0 = hi1 ^ c1 ^ k0;
    c1 = lo1;
    c2 = hi0 ^ c3 ^ k1;
    c3 = lo0;
  }
  return c0;
}

PhiloxSteps::PhiloxSteps(PhiloxKey key, std::uint64_t permutation)
    : key_(key), permutation_(permutation) {
  Schedule& s = schedule_;
  for (int r = 0; r < 10; ++r) {
    s.k0[r] = key.k0 + philox::kW0 * static_cast<std::uint64_t>(r);
    s.k1[r] = key.k1 + philox::kW1 * static_cast<std::uint64_t>(r);
  }
  // Round 1 on {p, step, 0, 0}: word 0 becomes step ^ k0, word 1 zero; words 2 and 3
  // depend on p alone.
  std::uint64_t lo = 0;
  const std::uint64_t round1_word2 = philox::MulHiLo(philox::kM0, permutation, &lo) ^ s.k1[0];
  const std::uint64_t round1_word3 = lo;
  // Round 2: the product of word 2 is fixed; that of word 0 depends on the step.
  const std::uint64_t hi = philox::MulHiLo(philox::kM1, round1_word2, &lo);
  const std::uint64_t round2_word0 = hi ^ s.k0[1];
  const std::uint64_t round2_word1 = lo;
  s.round2_xor = round1_word3 ^ s.k1[1];
  // Round 3: the product of word 0 is fixed; that of word 2 depends on the step.
  const std::uint64_t hi0 = philox::MulHiLo(philox::kM0, round2_word0, &lo);
  s.round3_xor0 = round2_word1 ^ s.k0[2];
  s.round3_xor2 = hi0 ^ s.k1[2];
  s.round3_word3 = lo;
}

void PhiloxSteps::FirstAttempts(std::uint64_t first, std::size_t count, std::uint64_t* out) const {
  CurrentPath().chosen(schedule_, first, count, out);
}

void PhiloxSteps::FirstAttemptsInVectors(std::uint64_t first, std::size_t count,
                                         std::uint64_t* out) const {
  CurrentPath().vectors(schedule_, first, count, out);
}

}  // namespace dk
#endif  // HWY_ONCE
