// The rows of an alignment, each a run of the input's text where it stands there as one
// run, or a text of its own where it does not (an interleaved row, a resolved match
// character). Holding the input once and pointing into it keeps the memory of a large
// alignment near the size of its file.
//
// Threading: const members may be called from several threads at once.
#ifndef DROPKIT_ALIGNMENT_ROW_SET_H_
#define DROPKIT_ALIGNMENT_ROW_SET_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dk {

class RowSet {
 public:
  // Appends a row that is `size` bytes of the text from `offset` on.
  void AddRun(std::size_t offset, std::size_t size) { rows_.push_back({offset, size, false}); }
  // Appends a row of its own.
  void AddOwn(std::string row);

  // Makes `text` the text the runs point into. REQUIRES: every run lies inside it.
  void SetText(std::string text) { text_ = std::move(text); }
  // Frees the text when no row points into it.
  void ReleaseUnusedText();

  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  // The length of row i; needs no text.
  std::size_t length(std::size_t i) const { return rows_[i].size; }
  // Row i. REQUIRES: the text is set where the row is a run of it.
  std::string_view operator[](std::size_t i) const {
    const Row& r = rows_[i];
    return r.own ? std::string_view(own_[r.offset])
                 : std::string_view(text_).substr(r.offset, r.size);
  }

 private:
  struct Row {
    std::size_t offset;  // into the text, or the index of the own row
    std::size_t size;
    bool own;
  };
  std::string text_;
  std::vector<Row> rows_;
  std::vector<std::string> own_;
};

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_ROW_SET_H_
