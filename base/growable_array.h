// A growable array of plain elements, for the run-time's large buffers: a list's texts,
// the name check's table, the bytes on their way to a file.
//
// Threading: none; an array is used from one thread at a time.
#ifndef DROPKIT_BASE_GROWABLE_ARRAY_H_
#define DROPKIT_BASE_GROWABLE_ARRAY_H_

#include <cstddef>
#include <utility>

namespace dk {

// A growable array of trivially copyable elements. A small one lives on the heap; a
// large one is mapped from the system and grows in place, without copying, so loading a
// long list never holds two copies of it; its pages are asked for a quarter of its size at
// a time (256 KiB to 2 MiB) as it fills, instead of one page fault at a time.
template <typename T>
class GrowableArray {
 public:
  GrowableArray() = default;
  GrowableArray(const GrowableArray& other) { Append(other.data(), other.size()); }
  GrowableArray(GrowableArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)),
        populated_(std::exchange(other.populated_, 0)),
        mapped_(std::exchange(other.mapped_, false)) {}
  GrowableArray& operator=(const GrowableArray&) = delete;
  GrowableArray& operator=(GrowableArray&& other) noexcept {
    if (this != &other) {
      Release();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
      populated_ = std::exchange(other.populated_, 0);
      mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
  }
  ~GrowableArray() { Release(); }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  // Drops every element, keeping the room they took.
  void Clear() { size_ = 0; }

  // Appends `n` elements. Throws std::bad_alloc when memory runs out (nothing changes).
  void Append(const T* from, std::size_t n);
  // Makes room for `n` elements in all, so that growing to them cannot fail. Throws as
  // Append.
  void Reserve(std::size_t n) {
    if (n > capacity_) ReserveMore(n);
  }
  // Adds `n` elements left uninitialized and returns the first. Throws as Append.
  T* Grow(std::size_t n) {
    if (n > capacity_ - size_ || (mapped_ && (size_ + n) * sizeof(T) > populated_)) {
      return GrowMore(n);
    }
    T* at = data_ + size_;
    size_ += n;
    return at;
  }

 private:
  void ReserveMore(std::size_t n);
  T* GrowMore(std::size_t n);
  void Release() noexcept;

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::size_t populated_ = 0;  // bytes of a mapped array whose pages were asked for
  bool mapped_ = false;        // mapped from the system, not on the heap
};

}  // namespace dk

#endif  // DROPKIT_BASE_GROWABLE_ARRAY_H_
