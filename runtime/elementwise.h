// The elementwise machinery shared by the run-time's operators: numbers, logicals and
// character codes read as doubles, and binary operations in which a scalar stands for
// every element of the other operand.
#ifndef DROPKIT_RUNTIME_ELEMENTWISE_H_
#define DROPKIT_RUNTIME_ELEMENTWISE_H_

#include <string>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "runtime/value.h"

namespace dk::elementwise {

// "a double", "a cell", or "an unset value".
std::string Describe(const Value& v);
// "2x3".
std::string SizeText(const Value& v);

// The elements of a numeric, logical or character array as doubles. Raises
// "<op>: operands must be numbers, logicals or texts, not <Describe(v)>" otherwise.
std::vector<double> Elements(const Value& v, const char* op);

// A double (or logical) array of rows x cols from its elements (none: all zero).
Value Doubles(std::size_t rows, std::size_t cols, const std::vector<double>& data);
Value Logicals(std::size_t rows, std::size_t cols, const std::vector<double>& data);

// Applies f to each pair of elements, a scalar operand standing for every element of
// the other; *shape is set to the operand whose size the result has. Raises
// "<op>: sizes do not agree (AxB and CxD)" for other sizes that differ.
template <typename F>
std::vector<double> Pairwise(const Value& a, const Value& b, const char* op, const Value** shape,
                             F f) {
  const std::vector<double> x = Elements(a, op), y = Elements(b, op);
  *shape = &a;
  if (x.size() == 1) {
    *shape = &b;
  } else if (y.size() != 1 && (a.rows() != b.rows() || a.cols() != b.cols())) {
    Raise(std::string(op) + ": sizes do not agree (" + SizeText(a) + " and " + SizeText(b) + ")");
  }
  std::vector<double> z((*shape)->numel());
  for (std::size_t i = 0; i < z.size(); ++i) {
    z[i] = f(x.size() == 1 ? x[0] : x[i], y.size() == 1 ? y[0] : y[i]);
  }
  return z;
}

// A double array of f over the pairs.
template <typename F>
Value Arithmetic(const Value& a, const Value& b, const char* op, F f) {
  const Value* shape = nullptr;
  std::vector<double> z = Pairwise(a, b, op, &shape, f);
  return Doubles(shape->rows(), shape->cols(), z);
}

// A logical array of the predicate f over the pairs.
template <typename F>
Value Comparison(const Value& a, const Value& b, const char* op, F f) {
  const Value* shape = nullptr;
  std::vector<double> z =
      Pairwise(a, b, op, &shape, [&f](double x, double y) { return f(x, y) ? 1.0 : 0.0; });
  return Logicals(shape->rows(), shape->cols(), z);
}

}  // namespace dk::elementwise

#endif  // DROPKIT_RUNTIME_ELEMENTWISE_H_
