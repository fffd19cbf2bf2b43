// Values of the array run-time: numeric matrices, logical arrays, character arrays,
// cell arrays and structures, plus the absent slot and the unassigned marker.
//
// A Value is a reference-counted handle: copying one is cheap and shares the array;
// every mutating accessor first makes the array private to this handle (copy on
// write), so changing a copy never changes the caller's value. Indices given to the
// accessors count from 0; the run-time operations (ops.h) take 1-based indices.
//
// Threading: values are not thread-safe; the program runs on one thread.
#ifndef DROPKIT_RUNTIME_VALUE_H_
#define DROPKIT_RUNTIME_VALUE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/copy_bytes.h"

namespace dk {

// The class of a value. kUnassigned is the marker a variable holds before its first
// assignment (class 0).
enum class ClassId : std::uint8_t { kUnassigned = 0, kCell, kStruct, kLogical, kChar, kDouble };

// Returns the run-time's name for a class ("double", "char", ...).
const char* ClassName(ClassId id);

// A read-only view of the units of a one-row text, valid while the array it views is
// unchanged: bytes that are ASCII, bytes that are units below 256, or 16-bit units.
struct TextView {
  enum class Kind : std::uint8_t { kAscii = 0, kNarrow = 1, kWide = 2 };
  const char* data = nullptr;
  std::size_t size = 0;  // units
  Kind kind = Kind::kAscii;

  // The units as bytes. REQUIRES: kind != kWide.
  std::string_view bytes() const { return {data, size}; }
  // The 16-bit units. REQUIRES: kind == kWide.
  std::u16string_view wide() const { return {reinterpret_cast<const char16_t*>(data), size}; }
};

namespace internal {

// Common header of every array. Numeric and character data follow the header in the
// same allocation; cells and structures keep their elements in vectors (value.cpp).
struct alignas(8) Rep {
  std::uint32_t refs = 1;
  ClassId cls = ClassId::kUnassigned;
  bool narrow = false;    // char arrays: one byte per unit (all units below 256)
  bool immortal = false;  // the shared unassigned marker
  bool ascii = false;     // char arrays: all units below 0x80
  std::uint32_t rows = 0;
  std::uint32_t cols = 0;
  std::uint32_t capacity = 0;  // elements the trailing storage can hold
};

// Frees an array whose last reference went away.
void DestroyRep(Rep* rep);
inline void RetainRep(Rep* rep) {
  if (rep != nullptr && !rep->immortal) ++rep->refs;
}
inline void ReleaseRep(Rep* rep) {
  if (rep != nullptr && !rep->immortal && --rep->refs == 0) DestroyRep(rep);
}

}  // namespace internal

class Value {
 public:
  // An absent value: an input slot that was not passed.
  Value() noexcept = default;
  Value(const Value& other) noexcept : rep_(other.rep_) { internal::RetainRep(rep_); }
  Value(Value&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
  // Retaining before releasing makes assigning a value to itself safe.
  Value& operator=(const Value& other) noexcept {  // NOLINT(bugprone-unhandled-self-assignment)
    internal::RetainRep(other.rep_);
    internal::ReleaseRep(rep_);
    rep_ = other.rep_;
    return *this;
  }
  Value& operator=(Value&& other) noexcept {
    if (this != &other) {
      internal::ReleaseRep(rep_);
      rep_ = other.rep_;
      other.rep_ = nullptr;
    }
    return *this;
  }
  ~Value() { internal::ReleaseRep(rep_); }

  // Named constructors.
  static Value Unassigned();
  static Value Scalar(double x);
  static Value Empty();  // the 0-by-0 double matrix
  static Value Matrix(std::size_t rows, std::size_t cols, const std::vector<double>& data = {});
  static Value Row(const std::vector<double>& data);
  static Value Bool(bool b);
  static Value LogicalMatrix(std::size_t rows, std::size_t cols,
                             const std::vector<double>& data = {});
  // A character array of rows x cols units (column-major, as all arrays).
  static Value CharMatrix(std::size_t rows, std::size_t cols, std::u16string_view units);
  // A one-row text from 16-bit units; an empty text is 0 by 0.
  static Value Text(std::u16string_view units);
  // A one-row text from UTF-8 bytes; bytes that are not valid UTF-8 are kept as escape units.
  static Value Text(std::string_view utf8);
  static Value Text(const char* utf8) { return Text(std::string_view(utf8)); }
  // A one-row text whose units are the given bytes (0 to 255, as Latin-1); no decoding.
  static Value NarrowText(std::string_view bytes);
  // The same for bytes known to be below 0x80. REQUIRES: IsAscii(bytes).
  static Value AsciiText(std::string_view bytes);
  static Value EmptyText();  // 0-by-0 char
  static Value Cell(std::size_t rows, std::size_t cols);
  static Value Struct();  // a 1-by-1 structure without fields

  bool absent() const { return rep_ == nullptr; }
  bool unassigned() const { return rep_ != nullptr && rep_->cls == ClassId::kUnassigned; }
  // kUnassigned for absent values too.
  ClassId class_id() const { return rep_ == nullptr ? ClassId::kUnassigned : rep_->cls; }
  bool is_numeric() const { return class_id() == ClassId::kDouble; }
  bool is_logical() const { return class_id() == ClassId::kLogical; }
  bool is_char() const { return class_id() == ClassId::kChar; }
  bool is_cell() const { return class_id() == ClassId::kCell; }
  bool is_struct() const { return class_id() == ClassId::kStruct; }

  std::size_t rows() const { return rep_ == nullptr ? 0 : rep_->rows; }
  std::size_t cols() const { return rep_ == nullptr ? 0 : rep_->cols; }
  std::size_t numel() const { return rows() * cols(); }
  bool empty() const { return numel() == 0; }
  // The largest dimension, 0 for an empty value.
  std::size_t length() const;

  // Numeric and logical elements (as doubles). REQUIRES: is_numeric() or is_logical().
  double num(std::size_t i) const { return reinterpret_cast<const double*>(rep_ + 1)[i]; }
  void set_num(std::size_t i, double x) {
    make_private();
    reinterpret_cast<double*>(rep_ + 1)[i] =
        rep_->cls == ClassId::kLogical ? (x != 0 ? 1.0 : 0.0) : x;
  }
  // Character units. REQUIRES: is_char().
  char16_t unit(std::size_t i) const {
    return rep_->narrow ? reinterpret_cast<const unsigned char*>(rep_ + 1)[i]
                        : reinterpret_cast<const char16_t*>(rep_ + 1)[i];
  }
  // True for a char array whose units are all below 256, stored one byte each;
  // narrow_bytes() then gives them.
  bool narrow() const { return is_char() && rep_->narrow; }
  // True for a char array whose units are all below 0x80 (its narrow bytes are UTF-8).
  bool ascii() const { return is_char() && rep_->ascii; }
  const unsigned char* narrow_bytes() const {
    return reinterpret_cast<const unsigned char*>(rep_ + 1);
  }
  std::u16string units() const;
  // The text as UTF-8; escape units turn back into the bytes they stand for.
  // Any class other than char gives "".
  std::string utf8() const;
  // Appends units to a text, making it a one-row text. Storage grows geometrically, so n
  // appends to a text this handle alone holds cost time linear in the final length.
  // REQUIRES: is_char() and rows() <= 1.
  void append_text(std::u16string_view units);
  void append_text(const TextView& text);
  // The units of a text, without a copy, in storage order (column by column).
  // REQUIRES: is_char().
  TextView text_view() const {
    const auto* data = reinterpret_cast<const char*>(rep_ + 1);
    if (!rep_->narrow) return {data, numel(), TextView::Kind::kWide};
    return {data, numel(), rep_->ascii ? TextView::Kind::kAscii : TextView::Kind::kNarrow};
  }

  // Cell elements. REQUIRES: is_cell(). A cell whose elements are all one-row texts is
  // kept compactly (text_list.h): cell() then makes the element, a text equal to the
  // one stored, and a change through mutable_cell() first turns it into a cell of
  // separate values.
  Value cell(std::size_t i) const;
  Value& mutable_cell(std::size_t i);
  // Element i as a view, when it is a text of at most one row; false otherwise (a
  // number, a cell, a text of several rows). The view is valid until the cell changes.
  bool cell_text(std::size_t i, TextView* view) const;
  // Views of elements first .. first + n - 1 into out[0 .. n - 1], as cell_text gives
  // them, up to the first that is not such a text; returns how many were given.
  // REQUIRES: first + n <= numel().
  std::size_t cell_texts(std::size_t first, std::size_t n, TextView* out) const;
  // Stores `v` as element i (i < numel()); a compact cell stays compact when `v` is a
  // text stored right after the elements already replaced in order from the first
  // (see text_list.h), as a list read anew over an old one is.
  void set_cell(std::size_t i, Value v);
  // Grows a cell (or 0-by-0 cell) row to at least n elements; new slots hold empty matrices.
  void cell_resize(std::size_t n);
  // Appends one element to a cell row (or column). REQUIRES: is_cell().
  void cell_append(Value v);
  // Structure fields, in order of creation. REQUIRES: is_struct().
  const std::vector<std::string>& field_names() const;
  bool has_field(std::string_view name) const;
  const Value& field(std::string_view name) const;  // raises for a missing field
  void set_field(std::string_view name, Value v);

  // Asks the processor to fetch the array into its cache ahead of use; no effect otherwise.
  void prefetch() const { __builtin_prefetch(rep_); }
  // The same for element i of a cell, ahead of cell(i) or cell_text(i). REQUIRES: is_cell().
  void prefetch_cell(std::size_t i) const;

  // True when both values are the same array (not just equal).
  bool same_array(const Value& other) const { return rep_ == other.rep_; }

 private:
  friend class TextScratch;
  explicit Value(internal::Rep* rep) noexcept : rep_(rep) {}
  // Makes the array private to this handle before a change.
  void make_private() {
    if (rep_->refs > 1) copy_shared();
  }
  void copy_shared();
  // Appends `count` units, written by copy_narrow (one byte each) or copy_wide.
  template <typename CopyNarrow, typename CopyWide>
  void append_units(std::size_t count, bool narrow_units, bool ascii_units, CopyNarrow copy_narrow,
                    CopyWide copy_wide);
  internal::Rep* rep_ = nullptr;
};

// One-row texts that a producer hands out one after another (the lines of a file, the
// names of a list): while no one holds the text handed out last, the next is made in the
// same array instead of a new one, so reading a million lines that are each let go before
// the next allocates nothing. A text someone still holds is never changed: the next is
// made in a new array. A copy of a scratch starts without an array of its own.
class TextScratch {
 public:
  TextScratch() = default;
  TextScratch(const TextScratch&);
  TextScratch& operator=(const TextScratch&) = delete;
  ~TextScratch();

  // A one-row text of `bytes`, one unit per byte (the 0-by-0 text for no bytes).
  // REQUIRES: `ascii` says whether every byte is below 0x80.
  Value Make(std::string_view bytes, bool ascii) {
    if (bytes.empty() || rep_ == nullptr || rep_->refs > 1 || rep_->capacity < bytes.size()) {
      return MakeAnew(bytes, ascii);
    }
    return Reuse(bytes, ascii);
  }

 private:
  Value MakeAnew(std::string_view bytes, bool ascii);
  Value Reuse(std::string_view bytes, bool ascii) {
    rep_->cols = static_cast<std::uint32_t>(bytes.size());
    rep_->ascii = ascii;
    CopyBytes(rep_ + 1, bytes.data(), bytes.size());
    ++rep_->refs;
    return Value(rep_);
  }

  internal::Rep* rep_ = nullptr;
};

}  // namespace dk

#endif  // DROPKIT_RUNTIME_VALUE_H_
