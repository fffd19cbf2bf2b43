#include "platform/random.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/draw_ahead.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/group_draw.h"
#include "platform/philox_batch.h"
#include "platform/thread_count.h"

namespace dk {
namespace {

static_assert(sizeof(std::size_t) >= sizeof(std::uint64_t), "list sizes up to 2^53 need 64 bits");

// The largest list size: every whole number up to it is exact as a double.
constexpr double kMaxCount = 9007199254740992.0;  // 2^53

constexpr std::uint64_t kWholeSeed = 0;
constexpr std::uint64_t kOtherSeed = 1;
constexpr std::uint64_t kEntropyStart = 2;
constexpr std::uint64_t kCanonicalNan = 0x7FF8000000000000;

RandomState state;
bool started = false;  // false until the first use or reset

// The most threads drawing by default: one thread writing a listing keeps about two busy
// drawing (bench/draw_bench.cpp), and more would only draw further past its end.
constexpr unsigned kDefaultMaxThreads = 4;
// The largest row a value holds.
constexpr std::uint64_t kMaxElements = std::numeric_limits<std::uint32_t>::max();

RestartObserver restart_observer = nullptr;

unsigned thread_setting = 0;  // SetRandomThreads; 0 for the default
std::unique_ptr<DrawAhead> ahead;
GroupDrawer full_drawer;  // whole permutations, drawn on the calling thread
std::vector<double> full_entries;

// The latest group mlfRandperm(n, k) returned and its entries ascending (owned by
// `ahead`), for mlfSort; valid until the next draw or reset.
Value last_group;
const double* last_group_sorted = nullptr;

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

// A 1-by-count row of numbers[0 .. count-1].
Value RowOf(const double* numbers, std::size_t count) {
  // A short row is filled in place: cheaper than building a vector to copy from.
  constexpr std::size_t kShortRow = 32;
  if (count > kShortRow) {
    return Value::Matrix(1, count, std::vector<double>(numbers, numbers + count));
  }
  Value row = Value::Matrix(1, count);
  for (std::size_t i = 0; i < count; ++i) row.set_num(i, numbers[i]);
  return row;
}

// Forgets the work ahead and joins the workers.
void DropWorkAhead() {
  last_group = Value();
  last_group_sorted = nullptr;
  if (ahead != nullptr) ahead->Stop();
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
  if (size > kMaxElements) Value::Matrix(1, size);  // raises the run-time's "too large"
  full_entries.resize(size);
  full_drawer.Draw({s.key0, s.key1}, s.drawn, size, size, full_entries.data(), nullptr);
  Value perm = Value::Matrix(1, size, full_entries);
  ++s.drawn;
  return perm;
}

Value mlfRandperm(const Value& n, const Value& k) {
  try {
    const std::uint64_t size = ReadCount(n, "N");
    const std::uint64_t count = ReadCount(k, "K");
    if (count > size) {
      Raise("randperm: the number of entries (" + std::to_string(count) +
            ") exceeds the list size (" + std::to_string(size) + ")");
    }
    RandomState& s = State();
    if (count > kMaxElements) Value::Matrix(1, count);  // raises the run-time's "too large"
    last_group = Value();
    last_group_sorted = nullptr;
    const DrawAhead::Group group = Ahead().Get({s.key0, s.key1}, s.drawn, size, count);
    Value prefix = RowOf(group.prefix, count);
    ++s.drawn;
    last_group = prefix;
    last_group_sorted = group.sorted;
    return prefix;
  } catch (...) {
    DropWorkAhead();
    throw;
  }
}

Value SortedDraw(const Value& v) {
  if (last_group_sorted == nullptr || !v.same_array(last_group)) return Value();
  return RowOf(last_group_sorted, v.numel());
}

void SetRandomThreads(unsigned count) {
  DropWorkAhead();
  ahead.reset();
  thread_setting = count;
}

Value mlfNRand(int nargout, const Value& keyword, const Value& seed) {
  DropWorkAhead();
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
  seed_drawn = false;
  if (restart_observer != nullptr) restart_observer();
  return Value::Empty();
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
