#include "runtime/random_values.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/errors.h"

namespace dk {
namespace {

// The largest list size: every whole number up to it is exact as a double.
constexpr double kMaxCount = 9007199254740992.0;  // 2^53
// The largest row a value holds.
constexpr std::uint64_t kMaxElements = std::numeric_limits<std::uint32_t>::max();

// The latest group mlfRandperm(n, k) returned and the serial of its draw, for mlfSort.
Value last_group;
std::uint64_t last_serial = 0;

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
  CurrentRandomState();  // a generator never used starts here, as for any draw
  if (size > kMaxElements) Value::Matrix(1, size);  // raises the run-time's "too large"
  std::vector<double> entries(size);
  DrawPermutation(size, entries.data());
  return Value::Matrix(1, size, entries);
}

Value mlfRandperm(const Value& n, const Value& k) {
  const std::uint64_t size = ReadCount(n, "N");
  const std::uint64_t count = ReadCount(k, "K");
  if (count > size) {
    Raise("randperm: the number of entries (" + std::to_string(count) +
          ") exceeds the list size (" + std::to_string(size) + ")");
  }
  CurrentRandomState();
  if (count > kMaxElements) Value::Matrix(1, count);  // raises the run-time's "too large"
  last_group = Value();
  const DrawnGroup group = DrawGroup(size, count);
  last_group = RowOf(group.drawn, count);
  last_serial = group.serial;
  return last_group;
}

Value SortedDraw(const Value& v) {
  const double* sorted = LatestGroupSorted(last_serial);
  if (sorted == nullptr || !v.same_array(last_group)) return Value();
  return RowOf(sorted, v.numel());
}

Value mlfNRand(int nargout, const Value& keyword, const Value& seed) {
  last_group = Value();
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
  RestartRandom(seed.num(0));
  return Value::Empty();
}

}  // namespace dk
