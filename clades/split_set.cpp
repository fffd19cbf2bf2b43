#include "clades/split_set.h"

#include <algorithm>
#include <bit>

namespace dk::clades {

std::size_t CountBits(const Word* row, std::size_t words) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < words; ++i) n += static_cast<std::size_t>(std::popcount(row[i]));
  return n;
}

SplitSet::SplitSet(std::size_t taxa) : words_(std::max<std::size_t>(1, WordsFor(taxa))) {
  slots_.assign(16, 0);
}

std::size_t SplitSet::Hash(const Word* row) const {
  Word h = 0x9E3779B97F4A7C15ull;
  for (std::size_t i = 0; i < words_; ++i) {
    h ^= row[i] + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h *= 0xBF58476D1CE4E5B9ull;
  }
  return static_cast<std::size_t>(h ^ (h >> 31));
}

long SplitSet::Find(const Word* row) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t s = Hash(row) & mask;; s = (s + 1) & mask) {
    const std::uint32_t slot = slots_[s];
    if (slot == 0) return -1;
    if (std::equal(row, row + words_, this->row(slot - 1))) return static_cast<long>(slot - 1);
  }
}

std::size_t SplitSet::Insert(const Word* row) {
  if (const long found = Find(row); found >= 0) return static_cast<std::size_t>(found);
  if (2 * (count_ + 1) > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  std::size_t s = Hash(row) & mask;
  while (slots_[s] != 0) s = (s + 1) & mask;
  rows_.insert(rows_.end(), row, row + words_);
  slots_[s] = static_cast<std::uint32_t>(++count_);
  return count_ - 1;
}

void SplitSet::Grow() {
  std::vector<std::uint32_t> old(slots_.size() * 2, 0);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = 0; i < count_; ++i) {
    std::size_t s = Hash(row(i)) & mask;
    while (slots_[s] != 0) s = (s + 1) & mask;
    slots_[s] = static_cast<std::uint32_t>(i + 1);
  }
}

void SplitSet::Clear() {
  count_ = 0;
  rows_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
}

}  // namespace dk::clades
