#include "random/group_draw.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <utility>

namespace dk {
namespace {

__extension__ typedef unsigned __int128 Uint128;

// Lists up to this many times the group keep every position in an array: filling it
// costs less than hashing the group's positions (measured for k = 1,000: the array wins
// up to n = 12,000, the table from 16,000).
constexpr std::uint64_t kDenseFactor = 12;
constexpr std::uint64_t kHugeGroup = 1 << 18;

// Groups from lists up to this many times their size are sorted through a bitmap of
// 1..n; the others by counting ranks (a few entries) or by radix. (Comparison sorts
// lose to both: their branches on random numbers are mispredicted half the time.)
constexpr std::uint64_t kBitmapFactor = 16;
constexpr std::size_t kRankSortMax = 16;

}  // namespace

std::uint64_t GroupDrawer::DenseLimit(std::uint64_t k) {
  // Huge groups take the array only where it needs no more memory than the table.
  return k <= kHugeGroup ? k * kDenseFactor : k * 4;
}

// What the moved positions at or past k hold: open addressing on a table of sixteen
// slots per entry of a small group, so that a lookup rarely probes twice; four for
// larger groups, whose tables outgrow the caches anyway, and two for huge ones, to bound
// the memory (measured on bench/draw_bench.cpp's cases and a sweep of k). Keys carry
// the number of the group in their top bits, so a new group starts on a table that
// reads as empty without clearing it.
class GroupDrawer::MovedTable {
 public:
  // Empties the table for a group of k.
  void Prepare(std::uint64_t k) {
    const std::uint64_t wanted = k <= kSmallGroup ? 16 * k : k <= kMidGroup ? 4 * k : 2 * k;
    const std::size_t capacity = std::bit_ceil(std::max<std::uint64_t>(wanted, 16));
    if (capacity != slots_.size()) {
      slots_.assign(capacity, Slot{});
      shift_ = 64 - std::countr_zero(capacity);
      group_ = 0;
    }
    if (++group_ > kLastGroup) {
      std::fill(slots_.begin(), slots_.end(), Slot{});
      group_ = 1;
    }
  }

  // What position `pos` holds now, to read and replace.
  // REQUIRES: pos < 2^53; at most the k of Prepare positions in one group.
  std::uint64_t& At(std::uint64_t pos) {
    const std::uint64_t key = group_ << kPositionBits | pos;
    const std::size_t mask = slots_.size() - 1;
    std::size_t s = static_cast<std::size_t>((pos * 0x9E3779B97F4A7C15ull) >> shift_);
    for (;;) {
      Slot& slot = slots_[s];
      if (slot.key == key) return slot.value;
      if (slot.key >> kPositionBits != group_) {
        slot.key = key;
        slot.value = pos + 1;  // an untouched position holds its own number
        return slot.value;
      }
      s = (s + 1) & mask;
    }
  }

 private:
  static constexpr std::uint64_t kSmallGroup = 1 << 11;   // table up to 512 KiB
  static constexpr std::uint64_t kMidGroup = kHugeGroup;  // up to 16 MiB
  static constexpr int kPositionBits = 53;
  static constexpr std::uint64_t kLastGroup = (std::uint64_t{1} << (64 - kPositionBits)) - 1;
  struct Slot {
    std::uint64_t key = 0;  // group << 53 | position; group 0 marks never used
    std::uint64_t value = 0;
  };
  std::vector<Slot> slots_;
  int shift_ = 64;
  std::uint64_t group_ = 0;
};

GroupDrawer::GroupDrawer() : table_(std::make_unique<MovedTable>()) {}
GroupDrawer::~GroupDrawer() = default;

void GroupDrawer::Draw(PhiloxKey key, std::uint64_t p, std::uint64_t n, std::uint64_t k,
                       double* prefix, double* sorted) {
  Shuffle(PhiloxSteps(key, p), n, k);
  for (std::uint64_t i = 0; i < k; ++i) prefix[i] = static_cast<double>(entries_[i]);
  if (sorted != nullptr) SortEntries(n, sorted);
}

// The forward Fisher-Yates steps 0 .. min(k, n-1) - 1; position i is final once step i
// is done, and the last position of a full permutation keeps what is left.
void GroupDrawer::Shuffle(const PhiloxSteps& steps, std::uint64_t n, std::uint64_t k) {
  entries_.resize(k);
  const bool dense = n <= DenseLimit(k);
  const std::uint64_t low = dense ? n : k;  // positions below it live in held_
  held_.resize(low);
  std::iota(held_.begin(), held_.end(), std::uint64_t{1});
  if (!dense) table_->Prepare(k);
  const std::uint64_t stepped = n == 0 ? 0 : std::min(k, n - 1);
  std::uint64_t words[kBlockSteps];
  for (std::uint64_t first = 0; first < stepped; first += kBlockSteps) {
    const std::size_t count = static_cast<std::size_t>(std::min(stepped - first, kBlockSteps));
    steps.FirstAttempts(first, count, words);
    for (std::size_t s = 0; s < count; ++s) {
      const std::uint64_t i = first + s;
      const std::uint64_t m = n - i;
      Uint128 product = static_cast<Uint128>(words[s]) * m;
      // Lemire: reject while the low word is below 2^64 mod m, which is below m.
      if (static_cast<std::uint64_t>(product) < m) {
        const std::uint64_t threshold = (0 - m) % m;
        for (std::uint64_t attempt = 1; static_cast<std::uint64_t>(product) < threshold;
             ++attempt) {
          product = static_cast<Uint128>(steps.Attempt(i, attempt)) * m;
        }
      }
      const std::uint64_t j = i + static_cast<std::uint64_t>(product >> 64);
      const std::uint64_t mine = held_[i];
      if (j < low) {
        entries_[i] = held_[j];
        held_[j] = mine;
      } else {
        std::uint64_t& there = table_->At(j);
        entries_[i] = there;
        there = mine;
      }
    }
  }
  if (stepped < k) entries_[k - 1] = held_[k - 1];
}

void GroupDrawer::SortEntries(std::uint64_t n, double* sorted) {
  const std::size_t k = entries_.size();
  if (k <= 1) {
    if (k == 1) sorted[0] = static_cast<double>(entries_[0]);
    return;
  }
  if (n <= kBitmapFactor * k) {
    // One bit per number of 1..n, read back in order.
    scratch_.assign(n / 64 + 1, 0);
    for (const std::uint64_t v : entries_) scratch_[v / 64] |= std::uint64_t{1} << (v % 64);
    double* out = sorted;
    for (std::size_t w = 0; w < scratch_.size(); ++w) {
      for (std::uint64_t bits = scratch_[w]; bits != 0; bits &= bits - 1) {
        *out++ = static_cast<double>(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
      }
    }
    return;
  }
  if (k <= kRankSortMax) {
    // Each entry's place is the count of entries below it (they are distinct): k * k
    // comparisons without a branch, fewer instructions than any sort for a few entries.
    for (std::size_t i = 0; i < k; ++i) {
      const std::uint64_t v = entries_[i];
      std::size_t below = 0;
      for (std::size_t j = 0; j < k; ++j) below += entries_[j] < v;
      sorted[below] = static_cast<double>(v);
    }
    return;
  }
  // A radix sort from the low digit up, with digits of about log2(k) bits: few passes,
  // and no branch that depends on the numbers.
  const int width = static_cast<int>(std::bit_width(n));
  const int most = std::clamp(static_cast<int>(std::bit_width(k)), 4, 11);
  const int passes = (width + most - 1) / most;
  const int bits = (width + passes - 1) / passes;
  const std::uint64_t digit = (std::uint64_t{1} << bits) - 1;
  counts_.resize(digit + 1);
  scratch_.resize(k);
  std::uint64_t* from = entries_.data();
  std::uint64_t* to = scratch_.data();
  std::uint32_t* count = counts_.data();
  for (int pass = 0; pass < passes; ++pass) {
    const int shift = pass * bits;
    std::fill(counts_.begin(), counts_.end(), 0);
    for (std::size_t i = 0; i < k; ++i) ++count[(from[i] >> shift) & digit];
    std::uint32_t sum = 0;
    for (std::uint64_t d = 0; d <= digit; ++d) sum += std::exchange(count[d], sum);
    if (pass + 1 < passes) {
      for (std::size_t i = 0; i < k; ++i) to[count[(from[i] >> shift) & digit]++] = from[i];
      std::swap(from, to);
    } else {
      for (std::size_t i = 0; i < k; ++i) {
        sorted[count[(from[i] >> shift) & digit]++] = static_cast<double>(from[i]);
      }
    }
  }
}

}  // namespace dk
