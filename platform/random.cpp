#include "platform/random.h"

#include <Random123/philox.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/errors.h"

namespace dk {
namespace {

__extension__ typedef unsigned __int128 Uint128;

static_assert(sizeof(std::size_t) >= sizeof(std::uint64_t), "list sizes up to 2^53 need 64 bits");

// The largest list size: every whole number up to it is exact as a double.
constexpr double kMaxCount = 9007199254740992.0;  // 2^53

constexpr std::uint64_t kWholeSeed = 0;
constexpr std::uint64_t kOtherSeed = 1;
constexpr std::uint64_t kEntropyStart = 2;
constexpr std::uint64_t kCanonicalNan = 0x7FF8000000000000;

RandomState state;
bool started = false;  // false until the first use or reset

RandomState& State() {
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

// A uniform number in 0..m-1 for step `step` of permutation `s.drawn`, by Lemire's
// multiply-and-reject method; each rejected attempt moves to the next counter.
// REQUIRES: m >= 1.
std::uint64_t Uniform(const RandomState& s, std::uint64_t step, std::uint64_t m) {
  const r123::Philox4x64 philox;
  const r123::Philox4x64::key_type key = {{s.key0, s.key1}};
  for (std::uint64_t attempt = 0;; ++attempt) {
    const r123::Philox4x64::ctr_type ctr = {{s.drawn, step, attempt, 0}};
    const Uint128 product = static_cast<Uint128>(philox(ctr, key)[0]) * m;
    const auto low = static_cast<std::uint64_t>(product);
    // The threshold 2^64 mod m is below m, so the division is needed only when low is too.
    if (low >= m || low >= (0 - m) % m) return static_cast<std::uint64_t>(product >> 64);
  }
}

// Forward Fisher-Yates over all n positions.
Value FullPermutation(const RandomState& s, std::uint64_t n) {
  Value perm = Value::Matrix(1, n);
  for (std::uint64_t i = 0; i < n; ++i) perm.set_num(i, static_cast<double>(i + 1));
  for (std::uint64_t i = 0; i + 1 < n; ++i) {
    const std::uint64_t j = i + Uniform(s, i, n - i);
    const double held = perm.num(i);
    perm.set_num(i, perm.num(j));
    perm.set_num(j, held);
  }
  return perm;
}

// The same steps as FullPermutation, stopped after position k-1 is settled. Only the
// positions a swap has touched are stored; any other position p still holds p + 1.
//
// MovedPositions keeps them: a plain array when the list is not much longer than the
// prefix, otherwise an open-addressing hash table with room for twice the keys a
// prefix of k can store (at most one new key per step), so it never grows.
class MovedPositions {
 public:
  MovedPositions(std::uint64_t n, std::uint64_t k) {
    if (n <= 4 * k) {
      dense_.resize(n);
      for (std::uint64_t p = 0; p < n; ++p) dense_[p] = p + 1;
      return;
    }
    std::uint64_t capacity = 16;
    while (capacity < 2 * k) capacity *= 2;  // at most k keys: the table stays half empty
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
  // The slot holding p, or the empty slot where p would go.
  std::size_t Find(std::uint64_t p) const {
    const std::size_t mask = keys_.size() - 1;
    std::size_t slot = static_cast<std::size_t>((p * 0x9E3779B97F4A7C15ull) >> 20) & mask;
    while (keys_[slot] != p && keys_[slot] != kEmpty) slot = (slot + 1) & mask;
    return slot;
  }
  std::vector<std::uint64_t> dense_;
  std::vector<std::uint64_t> keys_;
  std::unique_ptr<std::uint64_t[]> values_;  // meaningful where keys_ holds a key
};

Value PartialPermutation(const RandomState& s, std::uint64_t n, std::uint64_t k) {
  Value prefix = Value::Matrix(1, k);
  MovedPositions moved(n, k);
  for (std::uint64_t i = 0; i < k; ++i) {
    // The last position has no step of its own: it keeps what is left.
    const std::uint64_t j = i + 1 < n ? i + Uniform(s, i, n - i) : i;
    const std::uint64_t picked = moved.Held(j);
    moved.Set(j, moved.Held(i));  // position i is never read again
    prefix.set_num(i, static_cast<double>(picked));
  }
  return prefix;
}

std::string Number(double x) {
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, x).ptr;
  return std::string(buf, end);
}

// "a 2-by-3 double", or the text itself for a one-row text.
std::string Describe(const Value& v) {
  if (v.absent()) return "an absent value";
  if (v.unassigned()) return "an unassigned value";
  if (v.is_char() && v.rows() == 1) return "the text \"" + v.utf8() + "\"";
  return "a " + std::to_string(v.rows()) + "-by-" + std::to_string(v.cols()) + " " +
         ClassName(v.class_id());
}

// Reads a list size or entry count, `name` in messages. Raises unless `v` is one whole
// number from 0 to 2^53.
std::uint64_t ReadCount(const Value& v, const std::string& name) {
  if (!v.is_numeric() || v.numel() != 1) {
    Raise("randperm: " + name + " must be one number, not " + Describe(v));
  }
  const double x = v.num(0);
  if (!std::isfinite(x) || x < 0 || x != std::trunc(x)) {
    Raise("randperm: " + name + " must be a whole number of 0 or more, not " + Number(x));
  }
  if (x > kMaxCount) {
    Raise("randperm: " + name + " must be at most 2^53 = 9007199254740992, not " + Number(x));
  }
  return static_cast<std::uint64_t>(x);
}

}  // namespace

Value mlfRandperm(const Value& n) {
  const std::uint64_t size = ReadCount(n, "N");
  RandomState& s = State();
  Value perm = FullPermutation(s, size);
  ++s.drawn;
  return perm;
}

Value mlfRandperm(const Value& n, const Value& k) {
  const std::uint64_t size = ReadCount(n, "N");
  const std::uint64_t count = ReadCount(k, "K");
  if (count > size) {
    Raise("randperm: the number of entries (" + std::to_string(count) +
          ") exceeds the list size (" + std::to_string(size) + ")");
  }
  RandomState& s = State();
  Value prefix = PartialPermutation(s, size, count);
  ++s.drawn;
  return prefix;
}

Value mlfNRand(int nargout, const Value& keyword, const Value& seed) {
  if (nargout < 0 || nargout > 1) {
    Raise("rand: a generator reset gives at most one output, not " + std::to_string(nargout));
  }
  if (!keyword.is_char() || keyword.rows() != 1) {
    Raise("rand: the first input must be the keyword \"state\", not " + Describe(keyword));
  }
  if (keyword.utf8() != "state") {
    Raise("rand: unknown keyword \"" + keyword.utf8() + "\"; the only one is \"state\"");
  }
  if (!seed.is_numeric() || seed.numel() != 1) {
    Raise("rand: the seed must be one number, not " + Describe(seed));
  }
  state = SeedState(seed.num(0));
  started = true;
  return Value::Empty();
}

RandomState CurrentRandomState() {
  return State();
}

void ResetRandomToEntropy() {
  started = false;
}

}  // namespace dk
