#include "os/background_writes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace dk {
namespace {

std::string Filled(ByteBlock* block, const std::string& text) {
  std::copy(text.begin(), text.end(), block->Grow(text.size()));
  return text;
}

std::string_view View(const ByteBlock& block) {
  return {block.data(), block.size()};
}

TEST(ByteBlock, GrowsKeepingWhatItHolds) {
  ByteBlock block;
  EXPECT_EQ(View(block), "");
  std::string expected;
  for (int i = 0; i < 20000; ++i) expected += Filled(&block, "name " + std::to_string(i) + "\n");
  EXPECT_EQ(View(block), expected);
  block.Clear();
  EXPECT_EQ(block.size(), 0u);
  Filled(&block, "again");
  EXPECT_EQ(View(block), "again");
}

// Blocks reach the file whole and in the order given, however far the caller runs ahead,
// and Finish returns only once the last is written.
TEST(BackgroundWrites, WritesEveryBlockInOrder) {
  std::string file;
  std::atomic<int> writes{0};
  BackgroundWrites writer([&](std::string_view bytes) {
    file.append(bytes);
    ++writes;
    return 0;
  });
  std::string expected;
  ByteBlock block;
  for (int i = 0; i < 1000; ++i) {
    expected += Filled(
        &block, std::string(static_cast<std::size_t>(i % 37) + 1, static_cast<char>('a' + i % 26)));
    ASSERT_EQ(writer.Submit(&block), 0);
    EXPECT_EQ(block.size(), 0u);
  }
  EXPECT_EQ(writer.Finish(), 0);
  EXPECT_EQ(writes.load(), 1000);
  EXPECT_EQ(file, expected);
}

// After a failed write nothing more is written; the error is what Submit and Finish
// answer from then on.
TEST(BackgroundWrites, NothingFollowsAFailedWrite) {
  std::string file;
  int calls = 0;
  BackgroundWrites writer([&](std::string_view bytes) {
    if (++calls == 3) return -ENOSPC;
    file.append(bytes);
    return 0;
  });
  ByteBlock block;
  int first_error = 0;
  for (int i = 0; i < 100 && first_error == 0; ++i) {
    Filled(&block, std::to_string(i) + ";");
    first_error = writer.Submit(&block);
  }
  if (first_error == 0) first_error = writer.Finish();
  EXPECT_EQ(first_error, -ENOSPC);
  EXPECT_EQ(writer.Finish(), -ENOSPC);
  EXPECT_EQ(writer.Submit(&block), -ENOSPC);
  EXPECT_EQ(file, "0;1;");
}

// Dropping a writer with blocks queued joins its thread without writing them all.
TEST(BackgroundWrites, DroppingAWriterStopsItsThread) {
  std::atomic<int> writes{0};
  {
    BackgroundWrites writer([&](std::string_view) {
      ++writes;
      return 0;
    });
    ByteBlock block;
    for (int i = 0; i < 3; ++i) {
      Filled(&block, "x");
      ASSERT_EQ(writer.Submit(&block), 0);
    }
  }
  EXPECT_LE(writes.load(), 3);
}

}  // namespace
}  // namespace dk
