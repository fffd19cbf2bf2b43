// A list of texts stored compactly: the units of every text one after another in one
// buffer, and for each text where it ends and how its units are stored. A name list of a
// million names is then two allocations instead of a million, takes about 1.4 times the
// bytes of its file, and is read back without chasing a pointer per name.
//
// The run-time keeps a cell array in this form while every element is a one-row text
// (or the empty text); value.h's cell accessors hide it from callers.
//
// Threading: none; a list is used from one thread, as values are.
#ifndef DROPKIT_RUNTIME_TEXT_LIST_H_
#define DROPKIT_RUNTIME_TEXT_LIST_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

#include "base/copy_bytes.h"
#include "base/growable_array.h"
#include "runtime/value.h"

namespace dk {

class TextList {
 public:
  TextList() = default;
  TextList(const TextList&) = default;  // a deep copy
  TextList(TextList&&) noexcept = default;
  TextList& operator=(const TextList&) = delete;
  TextList& operator=(TextList&&) noexcept = default;

  // True for the values a list can hold: a 1-by-n text (n >= 1) or the 0-by-0 text.
  static bool Holds(const Value& v) {
    return v.is_char() && ((v.rows() == 1 && v.cols() > 0) || (v.rows() == 0 && v.cols() == 0));
  }

  std::size_t size() const { return ends_.size(); }

  // Appends a text. REQUIRES: Holds(text). Throws std::bad_alloc when memory runs out,
  // leaving the list as it was.
  void Append(const Value& text) { Append(text.text_view()); }
  // Appends the units `text` views (which must not lie in this list). Throws as above.
  void Append(const TextView& text) {
    const std::size_t start = units_.size();
    std::size_t pad = 0;
    std::size_t bytes = text.size;
    if (text.kind == TextView::Kind::kWide) {
      pad = start & 1;  // wide units start at an even byte
      bytes = text.size * sizeof(char16_t);
    }
    ends_.Reserve(ends_.size() + 1);  // first, so that a failure leaves no text without its end
    char* at = units_.Grow(pad + bytes);
    if (pad != 0) *at++ = '\0';
    CopyBytes(at, text.data, bytes);
    const auto kind = static_cast<std::uint64_t>(text.kind);
    *ends_.Grow(1) = static_cast<std::uint64_t>(units_.size()) | (kind << kKindShift);
  }

  // Text i as a value of its own, equal in every unit to the one appended.
  // REQUIRES: i < size().
  Value Get(std::size_t i) const;
  // Text i without a copy; valid until the list changes. REQUIRES: i < size().
  TextView View(std::size_t i) const {
    const std::uint64_t end_word = ends_.data()[i];
    std::uint64_t start = i == 0 ? 0 : ends_.data()[i - 1] & kOffsetMask;
    const std::uint64_t end = end_word & kOffsetMask;
    const auto kind = static_cast<TextView::Kind>(end_word >> kKindShift);
    if (kind == TextView::Kind::kWide) start += start & 1;  // wide units start at an even byte
    const char* p = units_.data() + start;
    const std::size_t bytes = static_cast<std::size_t>(end - start);
    return {p, kind == TextView::Kind::kWide ? bytes / 2 : bytes, kind};
  }

  // Asks the processor to fetch text i ahead of use, in two steps so that neither waits:
  // where text i lies now, and the text itself when a later call comes (kPrefetchLag
  // calls on). A hint only: it changes nothing that can be seen.
  void Prefetch(std::size_t i) const {
    if (i >= size()) return;
    const std::uint64_t* ends = ends_.data();
    __builtin_prefetch(ends + i);
    if (i > 0) __builtin_prefetch(ends + i - 1);
    std::size_t& slot = pending_[pending_next_];
    pending_next_ = (pending_next_ + 1) & (kPrefetchLag - 1);
    // Where the text starts (a wide one may start a byte further: the same cache line)
    // and where it ends, which for one name in three is the next cache line.
    if (slot < size()) {
      const char* units = units_.data();
      __builtin_prefetch(units + (slot == 0 ? 0 : ends[slot - 1] & kOffsetMask));
      const std::uint64_t end = ends[slot] & kOffsetMask;
      __builtin_prefetch(units + (end == 0 ? 0 : end - 1));
    }
    slot = i;
  }
  static constexpr std::size_t kPrefetchLag = 8;  // a power of two

 private:
  // Each end word: the byte offset where a text ends, and its kind in the top two bits.
  static constexpr int kKindShift = 62;
  static constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kKindShift) - 1;

  GrowableArray<char> units_;
  GrowableArray<std::uint64_t> ends_;
  // The texts whose places were fetched and whose units are to be fetched next.
  mutable std::size_t pending_[kPrefetchLag] = {};
  mutable std::size_t pending_next_ = 0;
};

}  // namespace dk

#endif  // DROPKIT_RUNTIME_TEXT_LIST_H_
