#include "runtime/arrays.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "base/errors.h"
#include "runtime/elementwise.h"
#include "runtime/ops.h"

namespace dk {
namespace {

using elementwise::Comparison;
using elementwise::Describe;
using elementwise::Elements;
using elementwise::Logicals;
using elementwise::SizeText;

// Raises for an absent value or the unassigned marker.
void RequireSet(const Value& v, const char* op) {
  if (v.absent() || v.unassigned()) Raise(std::string(op) + ": the argument is an unset value");
}

bool IsNumberLike(const Value& v) {
  return v.is_numeric() || v.is_logical() || v.is_char();
}

bool Truth(double x, const char* op) {
  if (std::isnan(x)) Raise(std::string(op) + ": NaN has no truth value");
  return x != 0;
}

// all / any: one result per column, or one for a vector (and for 0-by-0).
template <typename F>
Value Reduce(const Value& v, const char* op, bool start, F combine) {
  const std::vector<double> x = Elements(v, op);
  const bool vector = v.rows() == 1 || v.cols() == 1 || (v.rows() == 0 && v.cols() == 0);
  const std::size_t groups = vector ? 1 : v.cols();
  const std::size_t per_group = vector ? x.size() : v.rows();
  std::vector<double> out(groups);
  for (std::size_t g = 0; g < groups; ++g) {
    bool r = start;
    for (std::size_t i = 0; i < per_group; ++i) r = combine(r, x[g * per_group + i] != 0);
    out[g] = r ? 1.0 : 0.0;
  }
  if (vector) return Value::Bool(out[0] != 0);
  return Logicals(1, groups, out);
}

// Inclusive ranges of UTF-16 units that count as letters, in ascending order.
struct Range {
  char16_t lo, hi;
};
constexpr Range kLetters[] = {
    {0x0041, 0x005A}, {0x0061, 0x007A}, {0x00AA, 0x00AA}, {0x00B5, 0x00B5}, {0x00BA, 0x00BA},
    {0x00C0, 0x00D6}, {0x00D8, 0x00F6}, {0x00F8, 0x02AF},  // Latin-1, Latin Extended, IPA
    {0x0370, 0x0373}, {0x0376, 0x0377}, {0x037B, 0x037D}, {0x037F, 0x037F}, {0x0386, 0x0386},
    {0x0388, 0x038A}, {0x038C, 0x038C}, {0x038E, 0x03A1}, {0x03A3, 0x03F5},  // Greek
    {0x03F7, 0x0481}, {0x048A, 0x052F},                                      // Coptic, Cyrillic
    {0x0531, 0x0556}, {0x0561, 0x0587},                                      // Armenian
    {0x05D0, 0x05EA},                                                        // Hebrew
    {0x0620, 0x064A},                                                        // Arabic
    {0x1E00, 0x1EFF},                                                        // Latin Ext. Add.
    {0x3041, 0x3096}, {0x30A1, 0x30FA},                                      // kana
    {0x4E00, 0x9FFF},                                                        // CJK ideographs
    {0xAC00, 0xD7A3},                                                        // Hangul
    {0xFF21, 0xFF3A}, {0xFF41, 0xFF5A},                                      // fullwidth Latin
};

bool IsLetter(char16_t u) {
  const auto it = std::upper_bound(std::begin(kLetters), std::end(kLetters), u,
                                   [](char16_t x, const Range& r) { return x < r.lo; });
  return it != std::begin(kLetters) && u <= std::prev(it)->hi;
}

bool SameText(const Value& a, const Value& b) {
  if (!a.is_char() || !b.is_char()) return false;
  if (a.empty() && b.empty()) return true;
  if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
  for (std::size_t i = 0; i < a.numel(); ++i) {
    if (a.unit(i) != b.unit(i)) return false;
  }
  return true;
}

bool IsOneRowText(const Value& v) {
  return v.is_char() && v.rows() == 1;
}

void RequireStruct(const Value& s, const char* op) {
  if (!s.is_struct()) Raise(std::string(op) + ": needs a structure, not " + Describe(s));
}

std::string FieldName(const Value& name, const char* op) {
  if (!IsOneRowText(name) || name.empty()) {
    Raise(std::string(op) + ": the field name must be a one-row text, not " +
          (name.is_char() ? "a " + SizeText(name) + " char array" : Describe(name)));
  }
  return name.utf8();
}

}  // namespace

std::size_t mclLengthInt(const Value& v) {
  RequireSet(v, "length");
  return v.length();
}

Value mlfSize(const Value& v, const Value& dim) {
  RequireSet(v, "size");
  const double d = WholeScalar(dim, "size: the dimension", 1, 4294967295.0);
  if (d == 1) return Value::Scalar(static_cast<double>(v.rows()));
  if (d == 2) return Value::Scalar(static_cast<double>(v.cols()));
  return Value::Scalar(1);
}

Value mlfIschar(const Value& v) {
  RequireSet(v, "ischar");
  return Value::Bool(v.is_char());
}

Value mlfIsletter(const Value& v) {
  RequireSet(v, "isletter");
  std::vector<double> out(v.numel());
  if (v.is_char()) {
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = IsLetter(v.unit(i)) ? 1.0 : 0.0;
  }
  return Logicals(v.rows(), v.cols(), out);
}

Value mclEq(const Value& a, const Value& b) {
  return Comparison(a, b, "eq", [](double x, double y) { return x == y; });
}

Value mclLe(const Value& a, const Value& b) {
  return Comparison(a, b, "le", [](double x, double y) { return x <= y; });
}

Value mclAnd(const Value& a, const Value& b) {
  // Both operands are checked for NaN, so no short cut.
  return Comparison(a, b, "and", [](double x, double y) {
    const bool p = Truth(x, "and"), q = Truth(y, "and");
    return p && q;
  });
}

Value mclOr(const Value& a, const Value& b) {
  return Comparison(a, b, "or", [](double x, double y) {
    const bool p = Truth(x, "or"), q = Truth(y, "or");
    return p || q;
  });
}

Value mclNot(const Value& a) {
  const std::vector<double> x = Elements(a, "not");
  std::vector<double> out(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) out[i] = Truth(x[i], "not") ? 0.0 : 1.0;
  return Logicals(a.rows(), a.cols(), out);
}

Value mlfAll(const Value& v) {
  return Reduce(v, "all", true, [](bool r, bool e) { return r && e; });
}

Value mlfAny(const Value& v) {
  return Reduce(v, "any", false, [](bool r, bool e) { return r || e; });
}

Value mlfStrcmp(const Value& a, const Value& b) {
  RequireSet(a, "strcmp");
  RequireSet(b, "strcmp");
  if (!a.is_cell() && !b.is_cell()) return Value::Bool(SameText(a, b));
  const bool pairwise = a.is_cell() && b.is_cell() && a.rows() == b.rows() && a.cols() == b.cols();
  const Value& shape = b.is_cell() ? b : a;
  std::vector<double> out(shape.numel());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const bool same = pairwise      ? SameText(a.cell(i), b.cell(i))
                      : b.is_cell() ? SameText(a, b.cell(i))
                                    : SameText(a.cell(i), b);
    out[i] = same ? 1.0 : 0.0;
  }
  return Logicals(shape.rows(), shape.cols(), out);
}

Value mlfIsfield(const Value& s, const Value& name) {
  RequireSet(s, "isfield");
  RequireSet(name, "isfield");
  return Value::Bool(s.is_struct() && IsOneRowText(name) && s.has_field(name.utf8()));
}

Value mlfGetfield(const Value& s, const Value& name) {
  RequireStruct(s, "getfield");
  const std::string field = FieldName(name, "getfield");
  if (!s.has_field(field)) Raise("getfield: the structure has no field \"" + field + "\"");
  return s.field(field);
}

Value mlfSetfield(const Value& s, const Value& name, const Value& value) {
  const bool empty_matrix = s.is_numeric() && s.rows() == 0 && s.cols() == 0;
  if (!empty_matrix) RequireStruct(s, "setfield");
  const std::string field = FieldName(name, "setfield");
  RequireSet(value, "setfield");
  Value out = empty_matrix ? Value::Struct() : s;
  out.set_field(field, value);
  return out;
}

Value mlfHorzcat(std::initializer_list<Value> parts) {
  std::vector<const Value*> kept;
  bool all_text = true, kept_text = false, kept_number = false, kept_all_logical = true;
  for (const Value& part : parts) {
    if (!IsNumberLike(part)) {
      Raise("horzcat: parts must be numbers, logicals or texts, not " + Describe(part));
    }
    all_text = all_text && part.is_char();
    if (part.rows() == 0 && part.cols() == 0) continue;
    if (!kept.empty() && part.rows() != kept.front()->rows()) {
      Raise("horzcat: parts have different numbers of rows (" + SizeText(*kept.front()) + " and " +
            SizeText(part) + ")");
    }
    kept_text = kept_text || part.is_char();
    kept_number = kept_number || !part.is_char();
    kept_all_logical = kept_all_logical && part.is_logical();
    kept.push_back(&part);
  }
  if (kept.empty()) return all_text ? Value::EmptyText() : Value::Empty();
  if (kept_text && kept_number) Raise("horzcat: texts and numbers cannot be joined");

  const std::size_t rows = kept.front()->rows();
  std::size_t cols = 0;
  for (const Value* part : kept) cols += part->cols();
  if (kept_text) {
    std::u16string units;
    for (const Value* part : kept) units += part->units();
    return Value::CharMatrix(rows, cols, units);
  }
  std::vector<double> data;
  for (const Value* part : kept) {
    for (std::size_t i = 0; i < part->numel(); ++i) data.push_back(part->num(i));
  }
  if (kept_all_logical) return Logicals(rows, cols, data);
  if (data.empty()) return Value::Matrix(rows, cols);
  return Value::Matrix(rows, cols, data);
}

}  // namespace dk
