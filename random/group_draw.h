// Draws the groups of a listing into plain memory: the first k entries of one random
// permutation of 1..n (docs/random.md), and the same entries in ascending order.
//
// A group costs time in proportion to k whatever n is: the Philox words come a block of
// steps at a time (PhiloxSteps), the moved positions of the partial Fisher-Yates shuffle
// are kept in an array when n is short and in a flat hash table otherwise, and the sort
// knows that the entries are distinct whole numbers from 1 to n.
//
// Threading: a GroupDrawer keeps scratch memory between groups and serves one thread at
// a time; separate drawers share nothing, so each worker thread has its own. No Values
// are made here.
#ifndef DROPKIT_RANDOM_GROUP_DRAW_H_
#define DROPKIT_RANDOM_GROUP_DRAW_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "random/philox_batch.h"

namespace dk {

class GroupDrawer {
 public:
  // Steps whose Philox words are computed together.
  static constexpr std::size_t kBlockSteps = 256;

  // The largest list size for which the moved positions of a group of k are kept in an
  // array of n entries rather than a hash table.
  static std::uint64_t DenseLimit(std::uint64_t k);

  GroupDrawer();
  ~GroupDrawer();
  GroupDrawer(const GroupDrawer&) = delete;
  GroupDrawer& operator=(const GroupDrawer&) = delete;

  // Writes the first k entries of permutation `p` of 1..n under `key` to prefix[0..k-1]
  // and, unless `sorted` is null, the same numbers in ascending order to
  // sorted[0..k-1]. Memory grows with k (and with n for n up to DenseLimit(k)); on
  // running out of it throws std::bad_alloc and writes nothing useful.
  // REQUIRES: k <= n <= 2^53; each array has room for k numbers.
  void Draw(PhiloxKey key, std::uint64_t p, std::uint64_t n, std::uint64_t k, double* prefix,
            double* sorted);

 private:
  class MovedTable;

  void Shuffle(const PhiloxSteps& steps, std::uint64_t n, std::uint64_t k);
  void SortEntries(std::uint64_t n, double* sorted);

  std::vector<std::uint64_t> entries_;  // the group, as drawn (the sort then reuses it)
  std::vector<std::uint64_t> held_;     // what each low position holds now
  std::unique_ptr<MovedTable> table_;   // what each moved position at or past k holds
  std::vector<std::uint64_t> scratch_;  // for the sort
  std::vector<std::uint32_t> counts_;
};

}  // namespace dk

#endif  // DROPKIT_RANDOM_GROUP_DRAW_H_
