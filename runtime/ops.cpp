#include "runtime/ops.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/errors.h"
#include "os/env.h"
#include "runtime/elementwise.h"
#include "runtime/random_values.h"
#include "runtime/text.h"

namespace dk {
namespace {

std::size_t IndexOtherwise(const Value& index, std::size_t count, const char* what);

// The 0-based place that a 1-based index scalar names among `count` elements.
inline std::size_t Index(const Value& index, std::size_t count, const char* what) {
  if (index.is_numeric() && index.numel() == 1) {
    const double i = index.num(0);
    if (i >= 1 && i <= 9007199254740992.0) {
      const auto whole = static_cast<std::size_t>(i);
      if (whole <= count && static_cast<double>(whole) == i) return whole - 1;
    }
  }
  return IndexOtherwise(index, count, what);
}

// Index for all but a whole number in range: a logical scalar, or an error.
[[gnu::noinline]] std::size_t IndexOtherwise(const Value& index, std::size_t count,
                                             const char* what) {
  if (!(index.is_numeric() || index.is_logical()) || index.numel() != 1) {
    Raise(std::string("Index of ") + what + " must be one whole number");
  }
  const double i = index.num(0);
  if (!(i >= 1) || i != std::floor(i)) {
    Raise(std::string("Index of ") + what + " must be a whole number of 1 or more, not " +
          FormatNumber(i));
  }
  if (i > static_cast<double>(count)) {
    Raise(std::string("Index exceeds the number of elements of ") + what + " (" + FormatNumber(i) +
          " > " + std::to_string(count) + ")");
  }
  return static_cast<std::size_t>(i) - 1;
}

// Sorts whole numbers from 0 to 2^32 - 1 by their bytes (a stable radix sort: four
// passes, no comparisons), which for a group's random slot numbers beats a comparison
// sort several times over. Returns false, changing nothing, for any other numbers.
bool SortWholeNumbers(std::vector<double>& values) {
  std::vector<std::uint32_t> keys(values.size()), scratch(values.size());
  std::uint32_t any = 0;  // every bit set in some key
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double x = values[i];
    if (!(x >= 0 && x <= 4294967295.0)) return false;
    keys[i] = static_cast<std::uint32_t>(x);
    if (keys[i] != x) return false;
    any |= keys[i];
  }
  // A byte that is zero in every key leaves the order as it is: its pass is skipped.
  for (int shift = 0; shift < 32 && (any >> shift) != 0; shift += 8) {
    std::size_t count[257] = {};
    for (const std::uint32_t k : keys) ++count[((k >> shift) & 0xFF) + 1];
    for (int b = 0; b < 256; ++b) count[b + 1] += count[b];
    for (const std::uint32_t k : keys) scratch[count[(k >> shift) & 0xFF]++] = k;
    keys.swap(scratch);
  }
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = keys[i];
  return true;
}

}  // namespace

bool mlfTobool(const Value& v) {
  if (v.is_cell() || v.is_struct()) {
    Raise(std::string("A ") + ClassName(v.class_id()) + " value cannot be used as a condition");
  }
  if (v.absent() || v.unassigned() || v.empty()) return false;
  for (std::size_t i = 0; i < v.numel(); ++i) {
    if ((v.is_char() ? v.unit(i) : v.num(i)) == 0) return false;
  }
  return true;
}

namespace {

bool IsNumericScalar(const Value& v) {
  return v.is_numeric() && v.numel() == 1;
}

// Scalar arithmetic without building temporaries; the result reuses `a` when it can.
template <typename F>
Value Arithmetic(Value a, const Value& b, const char* op, F f) {
  if (IsNumericScalar(a) && IsNumericScalar(b)) {
    a.set_num(0, f(a.num(0), b.num(0)));
    return a;
  }
  return elementwise::Arithmetic(a, b, op, f);
}

}  // namespace

Value internal::PlusOfArrays(Value a, const Value& b) {
  return Arithmetic(std::move(a), b, "plus", [](double x, double y) { return x + y; });
}

Value mclMinus(Value a, const Value& b) {
  return Arithmetic(std::move(a), b, "minus", [](double x, double y) { return x - y; });
}

bool internal::NotEqualArrays(const Value& a, const Value& b) {
  if (IsNumericScalar(b) && (a.is_char() || a.is_numeric())) {
    // Each line read is compared with the end-of-file value: no temporaries.
    if (a.empty()) return false;
    const double y = b.num(0);
    const std::size_t n = a.numel();
    if (a.is_char()) {
      // A character code is a whole number from 0 to 65535: nothing else can be equal.
      if (!(y >= 0 && y <= 65535 && y == std::floor(y))) return true;
      if (a.narrow()) {
        return y > 255 || std::memchr(a.narrow_bytes(), static_cast<int>(y), n) == nullptr;
      }
      for (std::size_t i = 0; i < n; ++i) {
        if (a.unit(i) == y) return false;
      }
      return true;
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (a.num(i) == y) return false;
    }
    return true;
  }
  return mlfTobool(elementwise::Comparison(a, b, "ne", [](double x, double y) { return x != y; }));
}

bool mclSwitchCompare(const Value& switch_value, const Value& case_value) {
  if (switch_value.is_char() && case_value.is_char()) {
    if (switch_value.numel() != case_value.numel()) return false;
    for (std::size_t i = 0; i < switch_value.numel(); ++i) {
      if (switch_value.unit(i) != case_value.unit(i)) return false;
    }
    return true;
  }
  const bool a_num = switch_value.is_numeric() || switch_value.is_logical();
  const bool b_num = case_value.is_numeric() || case_value.is_logical();
  return a_num && b_num && switch_value.numel() == 1 && case_value.numel() == 1 &&
         switch_value.num(0) == case_value.num(0);
}

bool mlfIsempty(const Value& v) {
  return v.empty();
}

bool mlfIsequal(const Value& a, const Value& b) {
  if (a.absent() || b.absent()) return a.absent() && b.absent();
  if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
  const auto numeric = [](const Value& v) {
    return v.is_numeric() || v.is_logical() || v.is_char();
  };
  if (numeric(a) && numeric(b)) {
    for (std::size_t i = 0; i < a.numel(); ++i) {
      const double x = a.is_char() ? a.unit(i) : a.num(i);
      const double y = b.is_char() ? b.unit(i) : b.num(i);
      if (x != y) return false;
    }
    return true;
  }
  if (a.is_cell() && b.is_cell()) {
    for (std::size_t i = 0; i < a.numel(); ++i) {
      if (!mlfIsequal(a.cell(i), b.cell(i))) return false;
    }
    return true;
  }
  if (a.is_struct() && b.is_struct()) {
    // The same fields with equal values, in whatever order they were added.
    if (a.field_names().size() != b.field_names().size()) return false;
    for (const std::string& name : a.field_names()) {
      if (!b.has_field(name) || !mlfIsequal(a.field(name), b.field(name))) return false;
    }
    return true;
  }
  return false;
}

Value mlfIndexRef(const Value& source, const char* spec, const Value& index) {
  if (std::strcmp(spec, "{?}") == 0) {
    if (!source.is_cell()) {
      Raise(std::string("Brace indexing needs a cell array, not a ") +
            ClassName(source.class_id()));
    }
    return source.cell(Index(index, source.numel(), "the cell array"));
  }
  if (std::strcmp(spec, "(?)") == 0) return mclArrayRef1(source, index);
  Raise(std::string("Internal error: unknown index form ") + spec);
}

namespace {

// mlfIndexAssign but for a cell growing by one.
[[gnu::noinline]] void IndexAssignOtherwise(Value* target, const char* spec, const Value& index,
                                            Value value) {
  if (spec[0] == '{' && spec[1] == '?' && spec[2] == '}' && spec[3] == '\0') {
    if (target->absent() || target->unassigned() || (target->empty() && !target->is_cell())) {
      *target = Value::Cell(0, 0);
    }
    if (!target->is_cell()) {
      Raise(std::string("Brace assignment needs a cell array, not a ") +
            ClassName(target->class_id()));
    }
    const std::size_t i = Index(index, SIZE_MAX, "the cell array");
    if (i == target->numel()) {
      target->cell_append(std::move(value));  // the common case: a list growing by one
      return;
    }
    if (i > target->numel()) target->cell_resize(i + 1);
    target->set_cell(i, std::move(value));
    return;
  }
  if (std::strcmp(spec, "(?)") == 0) {
    if (target->absent() || target->unassigned()) *target = Value::Empty();
    if (!target->is_numeric() || !(value.is_numeric() || value.is_logical()) ||
        value.numel() != 1) {
      Raise("Element assignment needs a numeric array and one number");
    }
    const std::size_t i = Index(index, SIZE_MAX, "the array");
    if (i >= target->numel()) {
      if (target->rows() > 1 && target->cols() > 1) {
        Raise("Index exceeds the dimensions of the array");
      }
      std::vector<double> grown(i + 1, 0.0);
      for (std::size_t k = 0; k < target->numel(); ++k) grown[k] = target->num(k);
      *target = target->cols() == 1 && target->rows() > 1 ? Value::Matrix(i + 1, 1, grown)
                                                          : Value::Row(grown);
    }
    target->set_num(i, value.num(0));
    return;
  }
  Raise(std::string("Internal error: unknown index form ") + spec);
}

}  // namespace

void mlfIndexAssign(Value* target, const char* spec, const Value& index, Value value) {
  // A list read line by line grows by one each time: that case first, on its own.
  if (spec[0] == '{' && spec[1] == '?' && spec[2] == '}' && spec[3] == '\0' && target->is_cell() &&
      Index(index, SIZE_MAX, "the cell array") == target->numel()) {
    target->cell_append(std::move(value));
    return;
  }
  IndexAssignOtherwise(target, spec, index, std::move(value));
}

Value mclArrayRef1(const Value& source, const Value& indices) {
  if (!(indices.is_numeric() || indices.is_logical())) {
    Raise("Array indices must be numbers");
  }
  const std::size_t n = indices.numel();
  if (source.is_char()) {
    std::u16string out(n, u'\0');
    for (std::size_t k = 0; k < n; ++k) {
      out[k] = source.unit(Index(Value::Scalar(indices.num(k)), source.numel(), "the text"));
    }
    return Value::Text(std::u16string_view(out));
  }
  if (!(source.is_numeric() || source.is_logical())) {
    Raise(std::string("Parenthesis indexing of a ") + ClassName(source.class_id()) +
          " value is not supported");
  }
  std::vector<double> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    const double i = indices.num(k);
    if (!(i >= 1) || i != std::floor(i) || i > static_cast<double>(source.numel())) {
      Raise("Index " + FormatNumber(i) + " is out of range 1 to " + std::to_string(source.numel()));
    }
    out[k] = source.num(static_cast<std::size_t>(i) - 1);
  }
  if (n == 1) return Value::Scalar(out[0]);
  return Value::Row(out);
}

void internal::RaiseIndexOutOfRange(const Value& source, std::size_t i) {
  Raise("Index " + std::to_string(i) + " is out of range 1 to " + std::to_string(source.numel()));
}

Value mlfColon(const Value& a, const Value& b) {
  const double lo = WholeScalar(a, "The start of a range", -9007199254740992.0, 9007199254740992.0);
  const double hi = WholeScalar(b, "The end of a range", -9007199254740992.0, 9007199254740992.0);
  if (hi < lo) return Value::Matrix(1, 0);
  if (hi - lo >= 4294967295.0)
    Raise("A range of " + FormatNumber(hi - lo + 1) + " numbers is too long");
  std::vector<double> out(static_cast<std::size_t>(hi - lo) + 1);
  for (std::size_t k = 0; k < out.size(); ++k) out[k] = lo + static_cast<double>(k);
  return Value::Row(out);
}

Value mlfSort(const Value& v) {
  if (!(v.is_numeric() || v.is_logical())) {
    Raise(std::string("sort: cannot sort a ") + ClassName(v.class_id()));
  }
  if (Value drawn = SortedDraw(v); !drawn.absent()) return drawn;  // sorted as it was drawn
  std::vector<double> out(v.numel());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = v.num(i);
  if (out.size() >= 64 && SortWholeNumbers(out)) {
    // done: slot numbers and the like, sorted without comparisons
  } else if (std::none_of(out.begin(), out.end(), [](double x) { return std::isnan(x); })) {
    std::sort(out.begin(), out.end());
  } else {
    std::sort(out.begin(), out.end(), [](double x, double y) {
      return x < y || (!std::isnan(x) && std::isnan(y));  // NaN last
    });
  }
  if (out.empty()) return Value::Matrix(v.rows(), v.cols());
  return Value::Matrix(v.rows(), v.cols(), out);
}

Value mlfClock() {
  const LocalTime t = Env::Current()->Now();
  return Value::Row({double(t.year), double(t.month), double(t.day), double(t.hour),
                     double(t.minute), t.seconds});
}

Value mlfDate() {
  return Value::Text(DateText(Env::Current()->Now()));
}

double WholeScalar(const Value& v, const char* what, double lo, double hi) {
  if (!(v.is_numeric() || v.is_logical()) || v.numel() != 1) {
    Raise(std::string(what) + " must be one number");
  }
  const double x = v.num(0);
  if (!std::isfinite(x) || x != std::floor(x) || x < lo || x > hi) {
    Raise(std::string(what) + " must be a whole number from " + FormatNumber(lo) + " to " +
          FormatNumber(hi) + ", not " + FormatNumber(x));
  }
  return x;
}

}  // namespace dk
