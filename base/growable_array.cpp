#include "base/growable_array.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace dk {

namespace {

// Arrays from this size on are mapped from the system.
constexpr std::size_t kMapBytes = std::size_t{1} << 20;
// A mapped array takes this much address space at once (only the pages it touches take
// memory), so that it grows in place.
constexpr std::size_t kReserveBytes = std::size_t{1} << 30;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// A filling mapped array has its next pages made a quarter of its size at a time,
// within these bounds: one call instead of a fault per page, and few pages made that
// the array will not fill. (Not huge pages: where memory is fragmented, the system
// would stop to compact it, for up to a second.)
constexpr std::size_t kLeastPopulateBytes = std::size_t{256} << 10;
constexpr std::size_t kMostPopulateBytes = std::size_t{2} << 20;

// Mappings of kReserveBytes that arrays gave back, kept for the next arrays to map: their
// pages are in place already, so a list read anew, or the check after it, faults in no
// new ones. Arrays are made on more than one thread (the name checks use a second).
class SpareMappings {
 public:
  void* Take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return count_ == 0 ? nullptr : spare_[--count_];
  }
  // Keeps `p` (a mapping of kReserveBytes); false when there is no room for it.
  bool Keep(void* p) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (count_ == kKept) return false;
    spare_[count_++] = p;
    return true;
  }

 private:
  static constexpr std::size_t kKept = 3;  // a list's texts and ends, and a check's table
  std::mutex mutex_;
  void* spare_[kKept] = {};
  std::size_t count_ = 0;
};

SpareMappings& Spares() {
  static auto* spares = new SpareMappings;  // lives as long as the program
  return *spares;
}

// Maps at least `*bytes` bytes on a huge-page boundary; sets *bytes to the size mapped.
void* MapBytes(std::size_t* bytes) {
  const std::size_t want = std::max(*bytes, kReserveBytes);
  if (want == kReserveBytes) {
    if (void* spare = Spares().Take()) {
      *bytes = kReserveBytes;
      return spare;
    }
  }
  const std::size_t size = (want + kHugePage - 1) / kHugePage * kHugePage;
  void* p = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  auto* raw = static_cast<unsigned char*>(p);
  const std::size_t lead =
      (kHugePage - reinterpret_cast<std::uintptr_t>(raw) % kHugePage) % kHugePage;
  if (lead > 0) ::munmap(raw, lead);
  ::munmap(raw + lead + size, kHugePage - lead);
  *bytes = size;
  return raw + lead;
}

}  // namespace

template <typename T>
void GrowableArray<T>::ReserveMore(std::size_t n) {
  std::size_t want = std::max({n, capacity_ * 2, 4096 / sizeof(T)});
  if (want > SIZE_MAX / sizeof(T) / 2) throw std::bad_alloc();
  std::size_t bytes = want * sizeof(T);
  void* grown = nullptr;
  if (bytes < kMapBytes) {
    grown = std::realloc(data_, bytes);
    if (grown == nullptr) throw std::bad_alloc();
  } else {
    bytes = (bytes + kMapBytes - 1) / kMapBytes * kMapBytes;
    want = bytes / sizeof(T);
    if (mapped_) {
      grown = ::mremap(data_, capacity_ * sizeof(T), bytes, MREMAP_MAYMOVE);
      if (grown == MAP_FAILED) throw std::bad_alloc();
    } else {
      grown = MapBytes(&bytes);
      want = bytes / sizeof(T);
      populated_ = 0;
      if (size_ > 0) std::memcpy(grown, data_, size_ * sizeof(T));
      std::free(data_);
      mapped_ = true;
    }
  }
  data_ = static_cast<T*>(grown);
  capacity_ = want;
}

template <typename T>
void GrowableArray<T>::Release() noexcept {
  if (mapped_) {
    const std::size_t bytes = capacity_ * sizeof(T);
    if (bytes != kReserveBytes || !Spares().Keep(data_)) ::munmap(data_, bytes);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  size_ = capacity_ = populated_ = 0;
  mapped_ = false;
}

template <typename T>
T* GrowableArray<T>::GrowMore(std::size_t n) {
  if (n > capacity_ - size_) {
    if (n > SIZE_MAX - size_) throw std::bad_alloc();
    Reserve(size_ + n);
  }
  T* at = data_ + size_;
  size_ += n;
  if (mapped_ && size_ * sizeof(T) > populated_) {
    const std::size_t limit = capacity_ * sizeof(T);
    const std::size_t step =
        std::min(std::max(std::clamp(populated_ / 4, kLeastPopulateBytes, kMostPopulateBytes),
                          size_ * sizeof(T) - populated_),
                 limit - populated_);
    // A hint: where the system cannot, the pages come one fault at a time.
    ::madvise(reinterpret_cast<char*>(data_) + populated_, step, MADV_POPULATE_WRITE);
    populated_ += step;
  }
  return at;
}

template <typename T>
void GrowableArray<T>::Append(const T* from, std::size_t n) {
  if (n == 0) return;
  std::memcpy(Grow(n), from, n * sizeof(T));
}

template class GrowableArray<char>;
template class GrowableArray<std::uint32_t>;
template class GrowableArray<std::uint64_t>;

}  // namespace dk
