// Operators, indexing and small array functions of the run-time.
//
// Indices count from 1. Every operation returns a new value that the caller owns and
// raises a clear error (naming the operation and what was wrong) on values it does
// not accept.
#ifndef DROPKIT_RUNTIME_OPS_H_
#define DROPKIT_RUNTIME_OPS_H_

#include <cstddef>
#include <utility>

#include "runtime/value.h"

namespace dk {

inline Value mlfScalar(double x) {
  return Value::Scalar(x);
}

// Truth of a condition: not empty and every element nonzero. Texts count by their
// character codes; cells and structures raise an error.
bool mlfTobool(const Value& v);

// The out-of-line parts of the inline operations below.
namespace internal {
Value PlusOfArrays(Value a, const Value& b);
bool NotEqualArrays(const Value& a, const Value& b);
[[noreturn]] void RaiseIndexOutOfRange(const Value& source, std::size_t i);
}  // namespace internal

// Elementwise arithmetic on numbers (and character codes), with a scalar expanded to
// the other operand's size. Raises for operands of different sizes. The first operand
// is taken by value: `n = mclPlus(std::move(n), one)` updates a scalar in place.
inline Value mclPlus(Value a, const Value& b) {
  // A count stepped by one in a loop takes this way, without a call.
  if (a.is_numeric() && a.numel() == 1 && b.is_numeric() && b.numel() == 1) {
    a.set_num(0, a.num(0) + b.num(0));
    return a;
  }
  return internal::PlusOfArrays(std::move(a), b);
}
Value mclMinus(Value a, const Value& b);
// Elementwise not-equal, reduced to one truth value (mlfTobool of the result).
inline bool mclNeBool(const Value& a, const Value& b) {
  // A line read against the end-of-file value -1: no character code is negative.
  if (a.is_char() && !a.empty() && b.is_numeric() && b.numel() == 1 && b.num(0) < 0) return true;
  return internal::NotEqualArrays(a, b);
}

// A switch case test: true for two equal texts (same length and units, letter case
// counts) or two equal numeric scalars; false otherwise.
bool mclSwitchCompare(const Value& switch_value, const Value& case_value);

// mlfIsempty: true for a value with no elements.
// mlfIsequal: true for values of the same size and equal content. Numbers, logicals and
// characters compare by numeric value (the text "a" equals 97); cells element by
// element; structures field by field, whatever order their fields were added in. An
// absent value equals only another absent value; unassigned values equal nothing.
bool mlfIsempty(const Value& v);
bool mlfIsequal(const Value& a, const Value& b);

// Element `index` (a 1-based scalar) of a cell, spec "{?}", or of an array, spec "(?)".
// Raises for an index that is not a whole number from 1 to the number of elements.
Value mlfIndexRef(const Value& source, const char* spec, const Value& index);
// Stores `value` at `index` of *target: "{?}" stores into a cell, growing it (an
// unassigned, absent or empty target becomes a cell row); "(?)" stores a number into
// a numeric array, growing a row.
void mlfIndexAssign(Value* target, const char* spec, const Value& index, Value value);

// The elements of an array at 1-based indices (a scalar or a row of indices); the
// result has the shape of the index list (a row).
Value mclArrayRef1(const Value& source, const Value& indices);
// Element i (1-based) of a numeric array.
inline double mclIntArrayRef1(const Value& source, std::size_t i) {
  if (!(source.is_numeric() || source.is_logical()) || i < 1 || i > source.numel()) {
    internal::RaiseIndexOutOfRange(source, i);
  }
  return source.num(i - 1);
}

// The row a, a+1, ..., b; the 1-by-0 empty row when b is below a.
Value mlfColon(const Value& a, const Value& b);
// An ascending copy of a numeric row.
Value mlfSort(const Value& v);

// The clock as [year month day hour minute seconds] and today's date as text
// "YYYY-MM-DD" (ISO 8601), both from the current Env.
Value mlfClock();
Value mlfDate();

// Checks that `v` is a 1-by-1 finite whole number from `lo` to `hi` and returns it;
// raises "<what> must be ..." otherwise.
double WholeScalar(const Value& v, const char* what, double lo, double hi);

}  // namespace dk

#endif  // DROPKIT_RUNTIME_OPS_H_
