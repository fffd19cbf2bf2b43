// Numeric operations of the run-time: elementwise minimum and maximum, products,
// division by a scalar, order comparisons, a class test, assignment into several
// elements and the matching of a text against a list of texts.
//
// Operands are numeric, logical or character arrays (a character counts by its 16-bit
// code). Binary elementwise operations take two arrays of the same size, or one of them
// a scalar, which is expanded to the other's size. Every operation returns a new value,
// never changes its arguments (but for the target of mclArrayAssign1), and raises an
// error that names the operation ("min: ...") on a value it does not accept.
//
// Threading: as the values, one thread.
#ifndef DROPKIT_RUNTIME_NUMERIC_H_
#define DROPKIT_RUNTIME_NUMERIC_H_

#include "runtime/value.h"

namespace dk {

// The smaller (mlfMin) or larger (mlfMax) of each pair of elements, as a double array.
// A NaN loses against a number: min(NaN, 3) is 3.
Value mlfMin(const Value& a, const Value& b);
Value mlfMax(const Value& a, const Value& b);

// The product of the elements: of all of them for a row, a column or a 0-by-0 array (1
// for none), else a row with one product per column.
Value mlfProd(const Value& v);

// a / b for a scalar b: every element of a divided by b, as a double array. Raises when
// b is not a scalar (no matrix division).
Value mclMrdivide(const Value& a, const Value& b);

// a < b reduced to one truth value (every element true and at least one element).
bool mclLtBool(const Value& a, const Value& b);
// a > b, a logical array.
Value mclGt(const Value& a, const Value& b);

// A logical scalar: true for a double array of any size (not for logicals or texts).
Value mlfIsnumeric(const Value& v);

// Stores the elements of `source` at the 1-based `indices` of *target, one element of
// `source` per index, or one scalar for all of them. A numeric row, column or empty
// target grows to reach the largest index (a column stays a column; the gap fills with
// zeros); a matrix does not grow. An unassigned or absent target starts empty.
void mclArrayAssign1(Value* target, const Value& source, const Value& indices);

// The 1-based positions, as a column, of the texts in `list` (a cell of texts, or one
// text) that begin with `text`, or with `flag` "exact" that equal it exactly (letter
// case counts). An element of the cell that is not a text, or a `text` of several
// rows, matches nothing. No match gives a 0-by-1 empty column.
Value mlfStrmatch(const Value& text, const Value& list, const Value& flag = Value());

}  // namespace dk

#endif  // DROPKIT_RUNTIME_NUMERIC_H_
