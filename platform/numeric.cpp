#include "platform/numeric.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/text.h"

namespace dk {
namespace {

std::string Describe(const Value& v) {
  if (v.absent() || v.unassigned()) return "an unset value";
  return std::string("a ") + ClassName(v.class_id());
}

std::string SizeText(const Value& v) {
  return std::to_string(v.rows()) + "x" + std::to_string(v.cols());
}

std::vector<double> Elements(const Value& v, const char* op) {
  if (!(v.is_numeric() || v.is_logical() || v.is_char())) {
    Raise(std::string(op) + ": operands must be numbers, logicals or texts, not " + Describe(v));
  }
  std::vector<double> out(v.numel());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = v.is_char() ? v.unit(i) : v.num(i);
  return out;
}

Value Doubles(std::size_t rows, std::size_t cols, std::vector<double> data) {
  if (data.empty()) return Value::Matrix(rows, cols);
  return Value::Matrix(rows, cols, std::move(data));
}

// Applies f to each pair of elements, a scalar operand standing for every element.
// Gives the result's elements; *shape is the operand whose size the result has.
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

template <typename F>
Value Arithmetic(const Value& a, const Value& b, const char* op, F f) {
  const Value* shape = nullptr;
  std::vector<double> z = Pairwise(a, b, op, &shape, f);
  return Doubles(shape->rows(), shape->cols(), std::move(z));
}

template <typename F>
Value Comparison(const Value& a, const Value& b, const char* op, F f) {
  const Value* shape = nullptr;
  std::vector<double> z =
      Pairwise(a, b, op, &shape, [&f](double x, double y) { return f(x, y) ? 1.0 : 0.0; });
  if (z.empty()) return Value::LogicalMatrix(shape->rows(), shape->cols());
  return Value::LogicalMatrix(shape->rows(), shape->cols(), std::move(z));
}

std::size_t WholeIndex(double i, const char* op) {
  if (!(i >= 1) || i != std::floor(i) || i > 4294967295.0) {
    Raise(std::string(op) + ": an index must be a whole number of 1 or more, not " +
          FormatNumber(i));
  }
  return static_cast<std::size_t>(i) - 1;
}

bool SameUnits(const Value& a, const Value& b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (a.unit(i) != b.unit(i)) return false;
  }
  return true;
}

}  // namespace

Value mlfMin(const Value& a, const Value& b) {
  return Arithmetic(a, b, "min", [](double x, double y) { return std::isnan(x) || y < x ? y : x; });
}

Value mlfMax(const Value& a, const Value& b) {
  return Arithmetic(a, b, "max", [](double x, double y) { return std::isnan(x) || y > x ? y : x; });
}

Value mlfProd(const Value& v) {
  const std::vector<double> x = Elements(v, "prod");
  const bool vector = v.rows() == 1 || v.cols() == 1 || (v.rows() == 0 && v.cols() == 0);
  if (vector) {
    double p = 1;
    for (double e : x) p *= e;
    return Value::Scalar(p);
  }
  std::vector<double> out(v.cols(), 1.0);
  for (std::size_t c = 0; c < v.cols(); ++c) {
    for (std::size_t r = 0; r < v.rows(); ++r) out[c] *= x[c * v.rows() + r];
  }
  return Doubles(1, v.cols(), std::move(out));
}

Value mclMrdivide(const Value& a, const Value& b) {
  if (Elements(b, "mrdivide").size() != 1) {
    Raise("mrdivide: only division by a scalar is supported, not by a " + SizeText(b) + " array");
  }
  return Arithmetic(a, b, "mrdivide", [](double x, double y) { return x / y; });
}

bool mclLtBool(const Value& a, const Value& b) {
  const Value lt = Comparison(a, b, "lt", [](double x, double y) { return x < y; });
  if (lt.empty()) return false;
  for (std::size_t i = 0; i < lt.numel(); ++i) {
    if (lt.num(i) == 0) return false;
  }
  return true;
}

Value mclGt(const Value& a, const Value& b) {
  return Comparison(a, b, "gt", [](double x, double y) { return x > y; });
}

Value mlfIsnumeric(const Value& v) {
  return Value::Bool(v.is_numeric());
}

void mclArrayAssign1(Value* target, const Value& source, const Value& indices) {
  const std::vector<double> where = Elements(indices, "subsasgn");
  const std::vector<double> what = Elements(source, "subsasgn");
  if (what.size() != 1 && what.size() != where.size()) {
    Raise("subsasgn: " + std::to_string(where.size()) + " places cannot take " +
          std::to_string(what.size()) + " elements");
  }
  if (target->absent() || target->unassigned()) *target = Value::Empty();
  if (!target->is_numeric()) {
    Raise("subsasgn: elements can only be stored into a numeric array, not " + Describe(*target));
  }
  std::size_t needed = target->numel();
  for (double i : where) needed = std::max(needed, WholeIndex(i, "subsasgn") + 1);
  if (needed > target->numel()) {
    if (target->rows() > 1 && target->cols() > 1) {
      Raise("subsasgn: index " + std::to_string(needed) + " is beyond the " + SizeText(*target) +
            " matrix");
    }
    std::vector<double> grown(needed, 0.0);
    for (std::size_t k = 0; k < target->numel(); ++k) grown[k] = target->num(k);
    const bool column = target->cols() == 1 && target->rows() > 1;
    *target = column ? Value::Matrix(needed, 1, std::move(grown)) : Value::Row(std::move(grown));
  }
  for (std::size_t k = 0; k < where.size(); ++k) {
    target->set_num(WholeIndex(where[k], "subsasgn"), what.size() == 1 ? what[0] : what[k]);
  }
}

Value mlfStrmatch(const Value& text, const Value& list, const Value& flag) {
  if (!text.is_char()) Raise("strmatch: the text to match must be a text, not " + Describe(text));
  bool exact = false;
  if (!flag.absent()) {
    if (!flag.is_char() || flag.utf8() != "exact") {
      Raise("strmatch: the third argument must be \"exact\"");
    }
    exact = true;
  }
  if (!list.is_cell() && !(list.is_char() && list.rows() <= 1)) {
    Raise("strmatch: the list must be a cell of texts or one text, not " + Describe(list));
  }
  const std::size_t n = text.numel();
  const std::size_t count = list.is_cell() ? list.numel() : 1;
  std::vector<double> found;
  if (text.rows() > 1) return Doubles(0, 1, {});
  for (std::size_t i = 0; i < count; ++i) {
    const Value& entry = list.is_cell() ? list.cell(i) : list;
    if (!entry.is_char() || entry.rows() > 1) continue;
    const bool size_fits = exact ? entry.numel() == n : entry.numel() >= n;
    if (size_fits && SameUnits(entry, text, n)) found.push_back(static_cast<double>(i + 1));
  }
  const std::size_t matches = found.size();
  return Doubles(matches, 1, std::move(found));
}

}  // namespace dk
