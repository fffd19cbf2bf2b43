// A set of taxon sets, each a row of 64-bit words (bit t of the row is taxon t), with
// hashed look-up. Rows keep the order they were inserted in.
//
// Not thread-safe; one set per thread.
#ifndef DROPKIT_CLADES_SPLIT_SET_H_
#define DROPKIT_CLADES_SPLIT_SET_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dk::clades {

using Word = std::uint64_t;

// The number of words a row over `taxa` taxa needs.
inline std::size_t WordsFor(std::size_t taxa) {
  return (taxa + 63) / 64;
}
inline bool TestBit(const Word* row, std::size_t t) {
  return (row[t / 64] >> (t % 64)) & 1;
}
inline void SetBit(Word* row, std::size_t t) {
  row[t / 64] |= Word{1} << (t % 64);
}
std::size_t CountBits(const Word* row, std::size_t words);

class SplitSet {
 public:
  explicit SplitSet(std::size_t taxa = 0);

  std::size_t words() const { return words_; }
  std::size_t size() const { return count_; }
  const Word* row(std::size_t i) const { return rows_.data() + i * words_; }

  // Adds a copy of `row` unless an equal row is present. Returns the index of the row.
  std::size_t Insert(const Word* row);
  // The index of the row equal to `row`, or -1.
  long Find(const Word* row) const;
  // Removes every row; keeps the width.
  void Clear();

 private:
  std::size_t Hash(const Word* row) const;
  void Grow();

  std::size_t words_;
  std::size_t count_ = 0;
  std::vector<Word> rows_;
  std::vector<std::uint32_t> slots_;  // row index + 1; 0 is empty
};

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_SPLIT_SET_H_
