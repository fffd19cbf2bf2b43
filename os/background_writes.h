// Writing a file's bytes on a thread of their own: the caller fills one block while the
// system copies the ones before it, in order, into the file.
//
// Threading: one thread, the caller, uses a BackgroundWrites; the write function runs on
// the writing thread alone while any block is queued, and never once Finish or the
// destructor has returned.
#ifndef DROPKIT_OS_BACKGROUND_WRITES_H_
#define DROPKIT_OS_BACKGROUND_WRITES_H_

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "base/growable_array.h"

namespace dk {

// Bytes on their way to a file.
using ByteBlock = GrowableArray<char>;

class BackgroundWrites {
 public:
  // `write(bytes)` writes all of `bytes` and returns 0, or returns a negative errno.
  using WriteAll = std::function<int(std::string_view bytes)>;

  // Starts the writing thread. Throws std::system_error when no thread can be had, and
  // std::bad_alloc when memory runs out.
  explicit BackgroundWrites(WriteAll write);
  // Drops the blocks not written yet and joins the thread.
  ~BackgroundWrites();
  BackgroundWrites(const BackgroundWrites&) = delete;
  BackgroundWrites& operator=(const BackgroundWrites&) = delete;

  // Queues the bytes of *block for writing after those queued before, and leaves *block
  // empty, ready to be filled again. Waits while kQueued blocks are queued already.
  // Returns 0, or the first error the writes met (then nothing more is written and
  // *block is left as it was).
  int Submit(ByteBlock* block);

  // Waits until every queued block is written; returns 0 or the first error met.
  int Finish();

  // Blocks queued at most, so that the caller can run at most this far ahead.
  static constexpr std::size_t kQueued = 4;

 private:
  void Work();

  WriteAll write_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ByteBlock> queue_;  // under mutex_: the blocks to write, oldest first
  std::vector<ByteBlock> spare_;  // under mutex_: written blocks, to be filled again
  bool writing_ = false;          // under mutex_: the thread holds a block
  bool thread_waits_ = false;     // under mutex_: the thread waits for a block
  bool caller_waits_ = false;     // under mutex_: the caller waits for room or the end
  bool stop_ = false;             // under mutex_
  int error_ = 0;                 // under mutex_: the first error met
  std::thread thread_;
};

}  // namespace dk

#endif  // DROPKIT_OS_BACKGROUND_WRITES_H_
