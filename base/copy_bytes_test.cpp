#include "base/copy_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace dk {
namespace {

// Every length around the sizes that change how the bytes are moved, at every offset
// within a word: exactly the bytes asked for arrive, and nothing around them changes.
TEST(CopyBytes, CopiesExactlyTheBytesAskedFor) {
  std::string from(128, '\0');
  for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<char>('a' + i % 26);
  for (std::size_t n = 0; n <= 70; ++n) {
    for (std::size_t offset = 0; offset < 8; ++offset) {
      std::string to(96, '#');
      CopyBytes(to.data() + 8 + offset, from.data() + offset, n);
      std::string expected(96, '#');
      expected.replace(8 + offset, n, from, offset, n);
      ASSERT_EQ(to, expected) << "n " << n << " offset " << offset;
    }
  }
}

}  // namespace
}  // namespace dk
