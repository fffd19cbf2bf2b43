#include "runtime/value.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "base/copy_bytes.h"
#include "base/errors.h"
#include "base/small_pool.h"
#include "base/utf8.h"
#include "runtime/text_list.h"

namespace dk {
namespace internal {

// A cell keeps its elements as separate values, or, while every element is a one-row
// text, compactly: elements [0, own.size()) in `own`, and the rest, when there are more,
// in `base`, a list shared with other cells and never changed. A copy of a compact cell
// shares its texts as `base`, and a list replaced element by element from the first
// (a name list read anew over the old one) stays compact.
struct CellRep : Rep {
  std::vector<Value> elems;
  bool compact = false;
  TextList own;
  std::shared_ptr<const TextList> base;
  // The text handed out last, made anew in place while no caller holds it any more:
  // reading a list's names one after the other then allocates nothing.
  mutable TextScratch scratch;

  const TextList& Holder(std::size_t i) const { return i < own.size() ? own : *base; }
  // Turns a compact cell into one of separate values.
  void Expand() {
    if (!compact) return;
    std::vector<Value> values;
    const std::size_t n = static_cast<std::size_t>(rows) * cols;
    values.reserve(n);
    for (std::size_t i = 0; i < n; ++i) values.push_back(Holder(i).Get(i));
    elems = std::move(values);
    compact = false;
    own = TextList();
    base.reset();
  }
};

struct StructRep : Rep {
  std::vector<std::string> names;
  std::vector<Value> fields;
};

}  // namespace internal

namespace {

using internal::CellRep;
using internal::Rep;
using internal::StructRep;

std::size_t CheckedCount(std::size_t rows, std::size_t cols) {
  std::size_t n = 0;
  if (__builtin_mul_overflow(rows, cols, &n) || n > std::numeric_limits<std::uint32_t>::max()) {
    Raise("Out of memory: an array of " + std::to_string(rows) + " by " + std::to_string(cols) +
          " elements is too large");
  }
  return n;
}

// Small arrays (most texts and numbers) come from a pool (small_pool.h). Sanitizer builds
// use the ordinary allocator so that every array is checked; the pool has tests of its
// own, and the optimized build's test run exercises it under every value test.
#ifdef DROPKIT_SANITIZE
constexpr bool kUsePool = false;
#else
constexpr bool kUsePool = true;
#endif

SmallPool& Pool() {
  static auto* pool = new SmallPool;  // lives as long as the values it holds
  return *pool;
}

void* AllocateFlat(std::size_t bytes) {
  if (kUsePool && bytes <= SmallPool::kMaxBytes) return Pool().Allocate(bytes);
  return ::operator new(bytes);
}

void FreeFlat(void* p, std::size_t bytes) {
  if (kUsePool && bytes <= SmallPool::kMaxBytes) {
    Pool().Free(p, bytes);
  } else {
    ::operator delete(p);
  }
}

std::size_t ElementBytes(ClassId cls, bool narrow) {
  if (cls == ClassId::kChar) return narrow ? 1 : sizeof(char16_t);
  return sizeof(double);
}

// Allocates a header with room for `capacity` elements of trailing data.
Rep* NewFlat(ClassId cls, std::size_t rows, std::size_t cols, std::size_t capacity, bool narrow) {
  void* mem = AllocateFlat(sizeof(Rep) + capacity * ElementBytes(cls, narrow));
  Rep* rep = new (mem) Rep;
  rep->cls = cls;
  rep->rows = static_cast<std::uint32_t>(rows);
  rep->cols = static_cast<std::uint32_t>(cols);
  rep->narrow = narrow;
  rep->capacity = static_cast<std::uint32_t>(capacity);
  return rep;
}

void DeleteFlat(Rep* rep) {
  const std::size_t bytes = sizeof(Rep) + rep->capacity * ElementBytes(rep->cls, rep->narrow);
  rep->~Rep();
  FreeFlat(rep, bytes);
}

double* Doubles(Rep* rep) {
  return reinterpret_cast<double*>(rep + 1);
}
const double* Doubles(const Rep* rep) {
  return reinterpret_cast<const double*>(rep + 1);
}
unsigned char* Narrow(Rep* rep) {
  return reinterpret_cast<unsigned char*>(rep + 1);
}
char16_t* Wide(Rep* rep) {
  return reinterpret_cast<char16_t*>(rep + 1);
}

Rep* NewNumeric(ClassId cls, std::size_t rows, std::size_t cols, const std::vector<double>& data) {
  const std::size_t n = CheckedCount(rows, cols);
  Rep* rep = NewFlat(cls, rows, cols, n, false);
  double* d = Doubles(rep);
  if (data.empty()) {
    std::fill(d, d + n, 0.0);
  } else {
    if (data.size() != n) {
      DeleteFlat(rep);
      Raise("Internal error: " + std::to_string(data.size()) + " numbers given for a " +
            std::to_string(rows) + "-by-" + std::to_string(cols) + " matrix");
    }
    std::copy(data.begin(), data.end(), d);
    if (cls == ClassId::kLogical) {
      for (std::size_t i = 0; i < n; ++i) d[i] = d[i] != 0 ? 1.0 : 0.0;
    }
  }
  return rep;
}

Rep* NewChar(std::size_t rows, std::size_t cols, std::u16string_view units) {
  const std::size_t n = CheckedCount(rows, cols);
  const bool narrow = std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 256; });
  Rep* rep = NewFlat(ClassId::kChar, rows, cols, n, narrow);
  rep->ascii = std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x80; });
  if (narrow) {
    unsigned char* d = Narrow(rep);
    for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<unsigned char>(units[i]);
  } else {
    std::memcpy(Wide(rep), units.data(), n * sizeof(char16_t));
  }
  return rep;
}

// A one-row text of one byte per unit; `ascii` says whether every byte is below 0x80.
Rep* NewNarrow(std::string_view bytes, bool ascii) {
  const std::size_t n = CheckedCount(1, bytes.size());
  Rep* rep = NewFlat(ClassId::kChar, 1, n, n, true);
  rep->ascii = ascii;
  std::memcpy(Narrow(rep), bytes.data(), n);
  return rep;
}

}  // namespace

TextScratch::TextScratch(const TextScratch&) {}

TextScratch::~TextScratch() {
  internal::ReleaseRep(rep_);
}

Value TextScratch::MakeAnew(std::string_view bytes, bool ascii) {
  constexpr std::size_t kLeast = 64;  // room for most names and lines, so one serves
  if (bytes.empty()) return Value::EmptyText();
  CheckedCount(1, bytes.size());
  Rep* fresh = NewFlat(ClassId::kChar, 1, 0, std::max(kLeast, bytes.size()), true);
  internal::ReleaseRep(rep_);
  rep_ = fresh;
  return Reuse(bytes, ascii);
}

namespace {

Rep* Clone(const Rep* src) {
  switch (src->cls) {
    case ClassId::kCell: {
      auto* from = const_cast<CellRep*>(static_cast<const CellRep*>(src));
      if (from->compact && from->base == nullptr && from->own.size() > 0) {
        // The texts become shared: the same elements, held where both cells can read them.
        from->base = std::make_shared<const TextList>(std::move(from->own));
        from->own = TextList();
      }
      auto rep = std::make_unique<CellRep>(*from);
      rep->refs = 1;
      return rep.release();
    }
    case ClassId::kStruct: {
      auto rep = std::make_unique<StructRep>(*static_cast<const StructRep*>(src));
      rep->refs = 1;
      return rep.release();
    }
    case ClassId::kChar: {
      const std::size_t n = src->rows * src->cols;
      const std::size_t bytes = src->narrow ? n : n * sizeof(char16_t);
      Rep* rep = NewFlat(ClassId::kChar, src->rows, src->cols, n, src->narrow);
      rep->ascii = src->ascii;
      std::memcpy(rep + 1, src + 1, bytes);
      return rep;
    }
    default: {
      const std::size_t n = src->rows * src->cols;
      Rep* rep = NewFlat(src->cls, src->rows, src->cols, n, false);
      std::memcpy(Doubles(rep), Doubles(src), n * sizeof(double));
      return rep;
    }
  }
}

}  // namespace

void internal::DestroyRep(Rep* rep) {
  switch (rep->cls) {
    case ClassId::kCell:
      delete static_cast<CellRep*>(rep);
      break;
    case ClassId::kStruct:
      delete static_cast<StructRep*>(rep);
      break;
    default:
      DeleteFlat(rep);
      break;
  }
}

namespace {

Rep* UnassignedRep() {
  static Rep marker = [] {
    Rep r;
    r.immortal = true;
    return r;
  }();
  return &marker;
}

void Release(Rep* rep) {
  internal::ReleaseRep(rep);
}

const Value& EmptyMatrixConstant() {
  static const Value* empty = new Value(Value::Empty());  // never released: shared by all
  return *empty;
}

}  // namespace

const char* ClassName(ClassId id) {
  switch (id) {
    case ClassId::kUnassigned:
      return "unassigned";
    case ClassId::kCell:
      return "cell";
    case ClassId::kStruct:
      return "struct";
    case ClassId::kLogical:
      return "logical";
    case ClassId::kChar:
      return "char";
    case ClassId::kDouble:
      return "double";
  }
  return "unknown";
}

Value Value::Unassigned() {
  return Value(UnassignedRep());
}
Value Value::Scalar(double x) {
  return Value(NewNumeric(ClassId::kDouble, 1, 1, {x}));
}
Value Value::Empty() {
  return Value(NewNumeric(ClassId::kDouble, 0, 0, {}));
}
Value Value::Matrix(std::size_t rows, std::size_t cols, const std::vector<double>& data) {
  return Value(NewNumeric(ClassId::kDouble, rows, cols, data));
}
Value Value::Row(const std::vector<double>& data) {
  if (data.empty()) return Matrix(1, 0);
  const std::size_t n = data.size();
  return Matrix(1, n, data);
}
Value Value::Bool(bool b) {
  return Value(NewNumeric(ClassId::kLogical, 1, 1, {b ? 1.0 : 0.0}));
}
Value Value::LogicalMatrix(std::size_t rows, std::size_t cols, const std::vector<double>& data) {
  return Value(NewNumeric(ClassId::kLogical, rows, cols, data));
}
Value Value::CharMatrix(std::size_t rows, std::size_t cols, std::u16string_view units) {
  if (units.size() != CheckedCount(rows, cols)) {
    Raise("Internal error: character data does not fill a " + std::to_string(rows) + "-by-" +
          std::to_string(cols) + " array");
  }
  return Value(NewChar(rows, cols, units));
}
Value Value::NarrowText(std::string_view bytes) {
  if (bytes.empty()) return EmptyText();
  return Value(NewNarrow(bytes, IsAscii(bytes)));
}

Value Value::AsciiText(std::string_view bytes) {
  if (bytes.empty()) return EmptyText();
  return Value(NewNarrow(bytes, true));
}

Value Value::Text(std::u16string_view units) {
  if (units.empty()) return EmptyText();
  return Value(NewChar(1, units.size(), units));
}
Value Value::Text(std::string_view utf8) {
  if (utf8.empty()) return EmptyText();
  if (IsAscii(utf8)) return AsciiText(utf8);
  return Text(std::u16string_view(DecodeUtf8(utf8)));
}
Value Value::EmptyText() {
  return Value(NewChar(0, 0, {}));
}
Value Value::Cell(std::size_t rows, std::size_t cols) {
  const std::size_t n = CheckedCount(rows, cols);  // may raise: nothing is held yet
  auto rep = std::make_unique<CellRep>();
  rep->cls = ClassId::kCell;
  rep->rows = static_cast<std::uint32_t>(rows);
  rep->cols = static_cast<std::uint32_t>(cols);
  rep->compact = n == 0;  // a cell grown from nothing holds texts compactly while it can
  rep->elems.assign(n, EmptyMatrixConstant());
  return Value(rep.release());
}
Value Value::Struct() {
  auto rep = std::make_unique<StructRep>();
  rep->cls = ClassId::kStruct;
  rep->rows = 1;
  rep->cols = 1;
  return Value(rep.release());
}

std::size_t Value::length() const {
  return empty() ? 0 : std::max(rows(), cols());
}

void Value::copy_shared() {
  Rep* copy = Clone(rep_);
  Release(rep_);
  rep_ = copy;
}

std::u16string Value::units() const {
  if (!is_char()) return {};
  const std::size_t n = numel();
  if (!rep_->narrow) return std::u16string(Wide(rep_), n);
  std::u16string out(n, u'\0');
  const unsigned char* d = Narrow(rep_);
  for (std::size_t i = 0; i < n; ++i) out[i] = d[i];
  return out;
}

std::string Value::utf8() const {
  if (!is_char()) return {};
  if (rep_->ascii) return std::string(reinterpret_cast<const char*>(Narrow(rep_)), numel());
  return EncodeUtf8(units());
}

void Value::append_text(std::u16string_view units) {
  const bool narrow = std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 256; });
  const bool ascii = std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x80; });
  append_units(
      units.size(), narrow, ascii,
      [&](unsigned char* d) {
        for (char16_t u : units) *d++ = static_cast<unsigned char>(u);
      },
      [&](char16_t* d) { std::memcpy(d, units.data(), units.size() * sizeof(char16_t)); });
}

void Value::append_text(const TextView& text) {
  if (text.kind == TextView::Kind::kWide) {
    append_text(text.wide());
    return;
  }
  const std::string_view bytes = text.bytes();
  append_units(
      bytes.size(), true, text.kind == TextView::Kind::kAscii || IsAscii(bytes),
      [&](unsigned char* d) { std::memcpy(d, bytes.data(), bytes.size()); },
      [&](char16_t* d) {
        for (const char c : bytes) *d++ = static_cast<unsigned char>(c);
      });
}

template <typename CopyNarrow, typename CopyWide>
void Value::append_units(std::size_t count, bool narrow_units, bool ascii_units,
                         CopyNarrow copy_narrow, CopyWide copy_wide) {
  if (count == 0) return;
  const std::size_t old_n = numel();
  const std::size_t n = CheckedCount(1, old_n + count);
  const bool narrow = rep_->narrow && narrow_units;
  const bool ascii = (rep_->ascii || old_n == 0) && ascii_units;
  if (rep_->refs > 1 || n > rep_->capacity || narrow != rep_->narrow) {
    // Regrow geometrically so that a run of appends costs time linear in the total length.
    const std::size_t cap = std::min<std::size_t>(std::max(n, old_n * 2), 0xFFFFFFFFu);
    Rep* grown = NewFlat(ClassId::kChar, 1, old_n, cap, narrow);
    if (narrow) {
      std::memcpy(Narrow(grown), Narrow(rep_), old_n);
    } else {
      for (std::size_t i = 0; i < old_n; ++i) Wide(grown)[i] = unit(i);
    }
    Release(rep_);
    rep_ = grown;
  }
  if (narrow) {
    copy_narrow(Narrow(rep_) + old_n);
  } else {
    copy_wide(Wide(rep_) + old_n);
  }
  rep_->rows = 1;
  rep_->cols = static_cast<std::uint32_t>(n);
  rep_->ascii = ascii;
}

Value Value::cell(std::size_t i) const {
  const auto* rep = static_cast<const CellRep*>(rep_);
  if (!rep->compact) return rep->elems[i];
  const TextList& list = rep->Holder(i);
  const TextView view = list.View(i);
  if (view.kind != TextView::Kind::kWide) {
    return rep->scratch.Make(view.bytes(), view.kind == TextView::Kind::kAscii);
  }
  return list.Get(i);
}

bool Value::cell_text(std::size_t i, TextView* view) const {
  const auto* rep = static_cast<const CellRep*>(rep_);
  if (rep->compact) {
    *view = rep->Holder(i).View(i);
    return true;
  }
  const Value& v = rep->elems[i];
  if (!v.is_char() || v.rows() > 1) return false;
  *view = v.text_view();
  return true;
}

std::size_t Value::cell_texts(std::size_t first, std::size_t n, TextView* out) const {
  const auto* rep = static_cast<const CellRep*>(rep_);
  if (rep->compact) {
    for (std::size_t k = 0; k < n; ++k) out[k] = rep->Holder(first + k).View(first + k);
    return n;
  }
  for (std::size_t k = 0; k < n; ++k) {
    if (!cell_text(first + k, &out[k])) return k;
  }
  return n;
}

void Value::prefetch_cell(std::size_t i) const {
  const auto* rep = static_cast<const CellRep*>(rep_);
  if (rep->compact) {
    rep->Holder(i).Prefetch(i);
  } else if (i < rep->elems.size()) {
    rep->elems[i].prefetch();
  }
}

Value& Value::mutable_cell(std::size_t i) {
  make_private();
  auto* rep = static_cast<CellRep*>(rep_);
  rep->Expand();
  return rep->elems[i];
}

void Value::set_cell(std::size_t i, Value v) {
  make_private();
  auto* rep = static_cast<CellRep*>(rep_);
  if (rep->compact && i == rep->own.size() && TextList::Holds(v)) {
    rep->own.Append(v);
    if (rep->base != nullptr && rep->own.size() >= rep->base->size()) rep->base.reset();
    return;
  }
  rep->Expand();
  rep->elems[i] = std::move(v);
}

void Value::cell_resize(std::size_t n) {
  make_private();
  auto* rep = static_cast<CellRep*>(rep_);
  if (n <= numel()) return;
  CheckedCount(1, n);
  if (rep->rows > 1 && rep->cols > 1) {
    Raise("Index exceeds the dimensions of a " + std::to_string(rep->rows) + "-by-" +
          std::to_string(rep->cols) + " cell array");
  }
  rep->Expand();
  rep->elems.resize(n, EmptyMatrixConstant());
  // A column stays a column; anything else grows as a row.
  const auto count = static_cast<std::uint32_t>(n);  // CheckedCount bounds it
  if (rep->cols == 1 && rep->rows > 1) {
    rep->rows = count;
  } else {
    rep->rows = 1;
    rep->cols = count;
  }
}

namespace {

[[noreturn, gnu::noinline]] void RaiseCellGrowth(const Rep* rep, std::size_t n) {
  if (rep->rows > 1 && rep->cols > 1) {
    Raise("Index exceeds the dimensions of a " + std::to_string(rep->rows) + "-by-" +
          std::to_string(rep->cols) + " cell array");
  }
  CheckedCount(1, n);
  Raise("Internal error: a cell of " + std::to_string(n) + " elements");
}

// Makes the shared rest of a compact cell its own, so that the list is whole.
[[gnu::noinline]] void TakeBase(CellRep* rep) {
  TextList merged = rep->own;
  for (std::size_t i = merged.size(); i < rep->base->size(); ++i) merged.Append(rep->base->View(i));
  rep->own = std::move(merged);
  rep->base.reset();
}

}  // namespace

void Value::cell_append(Value v) {
  make_private();
  auto* rep = static_cast<CellRep*>(rep_);
  const std::size_t n = numel() + 1;
  if ((rep->rows > 1 && rep->cols > 1) || n > std::numeric_limits<std::uint32_t>::max()) {
    RaiseCellGrowth(rep, n);
  }
  if (rep->compact && TextList::Holds(v)) {
    if (rep->base != nullptr) TakeBase(rep);
    rep->own.Append(v);
  } else {
    rep->Expand();
    rep->elems.push_back(std::move(v));
  }
  if (rep->cols == 1 && rep->rows > 1) {
    rep->rows = static_cast<std::uint32_t>(n);
  } else {
    rep->rows = 1;
    rep->cols = static_cast<std::uint32_t>(n);
  }
}

const std::vector<std::string>& Value::field_names() const {
  return static_cast<const StructRep*>(rep_)->names;
}

bool Value::has_field(std::string_view name) const {
  if (!is_struct()) return false;
  const auto& names = field_names();
  return std::find(names.begin(), names.end(), name) != names.end();
}

const Value& Value::field(std::string_view name) const {
  const auto* rep = static_cast<const StructRep*>(rep_);
  const auto it = std::find(rep->names.begin(), rep->names.end(), name);
  if (it == rep->names.end()) {
    Raise("Reference to non-existent field '" + std::string(name) + "'");
  }
  return rep->fields[static_cast<std::size_t>(it - rep->names.begin())];
}

void Value::set_field(std::string_view name, Value v) {
  make_private();
  auto* rep = static_cast<StructRep*>(rep_);
  const auto it = std::find(rep->names.begin(), rep->names.end(), name);
  if (it == rep->names.end()) {
    rep->names.emplace_back(name);
    rep->fields.push_back(std::move(v));
  } else {
    rep->fields[static_cast<std::size_t>(it - rep->names.begin())] = std::move(v);
  }
}

}  // namespace dk
