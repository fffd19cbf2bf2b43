#include "runtime/numeric.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/errors.h"
#include "runtime/elementwise.h"
#include "runtime/text.h"

namespace dk {
namespace {

using elementwise::Arithmetic;
using elementwise::Comparison;
using elementwise::Describe;
using elementwise::Doubles;
using elementwise::Elements;
using elementwise::SizeText;

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
  return Doubles(1, v.cols(), out);
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
    *target = column ? Value::Matrix(needed, 1, grown) : Value::Row(grown);
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
  return Doubles(matches, 1, found);
}

}  // namespace dk
