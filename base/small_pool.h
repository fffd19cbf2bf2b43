// A pool for the small arrays that make up most values (texts of a name, scalars): free
// lists, one per size in steps of 8 bytes up to kMaxBytes, refilled from slabs that
// double from 64 KiB up to 2 MiB. The large slabs are aligned so that the kernel can back
// them with huge pages, which spares a page fault per 4 KiB when a long list is loaded.
// Allocating and freeing is then a few instructions, with no header per block.
//
// The pool keeps its slabs until it is destroyed: freed blocks are reused, not returned
// to the system.
//
// Threading: none; a pool is used from one thread, as values are.
#ifndef DROPKIT_BASE_SMALL_POOL_H_
#define DROPKIT_BASE_SMALL_POOL_H_

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <vector>

namespace dk {

class SmallPool {
 public:
  static constexpr std::size_t kMaxBytes = 128;

  SmallPool() = default;
  SmallPool(const SmallPool&) = delete;
  SmallPool& operator=(const SmallPool&) = delete;

  // A block of at least `bytes` bytes, aligned to 8. Throws std::bad_alloc when the
  // system has no memory for a new slab.
  // REQUIRES: 0 < bytes <= kMaxBytes.
  void* Allocate(std::size_t bytes);
  // Gives back a block from Allocate(bytes), with the same `bytes`.
  void Free(void* p, std::size_t bytes);

  // The bytes of all slabs taken from the system so far.
  std::size_t slab_bytes() const { return total_slab_bytes_; }

 private:
  struct Node {
    Node* next;
  };
  struct FreeMemory {
    void operator()(void* p) const { std::free(p); }
  };
  static constexpr std::size_t kFirstSlab = 64 * 1024;
  static constexpr std::size_t kHugeSlab = 2 * 1024 * 1024;
  static std::size_t Class(std::size_t bytes) { return (bytes + 7) / 8; }

  void Refill(std::size_t k);

  Node* free_[kMaxBytes / 8 + 1] = {};
  std::size_t next_slab_[kMaxBytes / 8 + 1] = {};
  std::vector<std::unique_ptr<void, FreeMemory>> slabs_;
  std::size_t total_slab_bytes_ = 0;
};

}  // namespace dk

#endif  // DROPKIT_BASE_SMALL_POOL_H_
