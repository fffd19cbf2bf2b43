// Copying a few bytes, such as a name, without a library call.
#ifndef DROPKIT_BASE_COPY_BYTES_H_
#define DROPKIT_BASE_COPY_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dk {

// Copies `n` bytes from `from` to `to`; the two must not overlap. Up to 32 bytes take
// two loads and two stores of a fixed size, which may overlap each other; longer copies
// go to memcpy.
inline void CopyBytes(void* to, const void* from, std::size_t n) {
  auto* d = static_cast<char*>(to);
  const auto* s = static_cast<const char*>(from);
  const auto two = [&](auto word) {
    constexpr std::size_t k = sizeof word;
    decltype(word) head, tail;
    std::memcpy(&head, s, k);
    std::memcpy(&tail, s + n - k, k);
    std::memcpy(d, &head, k);
    std::memcpy(d + n - k, &tail, k);
  };
  struct Sixteen {
    std::uint64_t lo, hi;
  };
  if (n > 32) {
    std::memcpy(d, s, n);
  } else if (n >= 16) {
    two(Sixteen{});
  } else if (n >= 8) {
    two(std::uint64_t{});
  } else if (n >= 4) {
    two(std::uint32_t{});
  } else if (n > 0) {
    d[0] = s[0];
    d[n / 2] = s[n / 2];
    d[n - 1] = s[n - 1];
  }
}

}  // namespace dk

#endif  // DROPKIT_BASE_COPY_BYTES_H_
