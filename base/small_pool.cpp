#include "base/small_pool.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace dk {

void* SmallPool::Allocate(std::size_t bytes) {
  const std::size_t k = Class(bytes);
  if (free_[k] == nullptr) Refill(k);
  Node* node = free_[k];
  free_[k] = node->next;
  return node;
}

void SmallPool::Free(void* p, std::size_t bytes) {
  Node* node = static_cast<Node*>(p);
  const std::size_t k = Class(bytes);
  node->next = free_[k];
  free_[k] = node;
}

void SmallPool::Refill(std::size_t k) {
  std::size_t& slab_bytes = next_slab_[k];
  if (slab_bytes == 0) slab_bytes = kFirstSlab;
  void* mem = std::aligned_alloc(slab_bytes == kHugeSlab ? kHugeSlab : 64, slab_bytes);
  if (mem == nullptr) throw std::bad_alloc();
  if (slab_bytes == kHugeSlab) ::madvise(mem, slab_bytes, MADV_HUGEPAGE);
  slabs_.emplace_back(mem);
  total_slab_bytes_ += slab_bytes;
  auto* slab = static_cast<unsigned char*>(mem);
  const std::size_t size = k * 8;
  for (std::size_t off = slab_bytes - slab_bytes % size; off >= size; off -= size) {
    Free(slab + off - size, size);  // lowest addresses handed out first
  }
  slab_bytes = std::min(slab_bytes * 2, kHugeSlab);
}

}  // namespace dk
