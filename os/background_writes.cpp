#include "os/background_writes.h"

#include <utility>

namespace dk {

BackgroundWrites::BackgroundWrites(WriteAll write) : write_(std::move(write)) {
  queue_.reserve(kQueued);
  spare_.reserve(kQueued + 1);
  thread_ = std::thread([this] { Work(); });
}

BackgroundWrites::~BackgroundWrites() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

int BackgroundWrites::Submit(ByteBlock* block) {
  std::unique_lock lock(mutex_);
  caller_waits_ = true;
  changed_.wait(lock, [this] { return error_ != 0 || queue_.size() < kQueued; });
  caller_waits_ = false;
  if (error_ != 0) return error_;
  queue_.push_back(std::move(*block));
  if (spare_.empty()) {
    *block = ByteBlock();
  } else {
    *block = std::move(spare_.back());
    spare_.pop_back();
  }
  block->Clear();
  const bool wake = thread_waits_;
  lock.unlock();
  if (wake) changed_.notify_all();
  return 0;
}

int BackgroundWrites::Finish() {
  std::unique_lock lock(mutex_);
  caller_waits_ = true;
  changed_.wait(lock, [this] { return error_ != 0 || (queue_.empty() && !writing_); });
  caller_waits_ = false;
  return error_;
}

void BackgroundWrites::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    thread_waits_ = true;
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    thread_waits_ = false;
    if (stop_) return;
    ByteBlock block = std::move(queue_.front());
    queue_.erase(queue_.begin());
    writing_ = true;
    lock.unlock();
    const int r = write_(std::string_view(block.data(), block.size()));
    lock.lock();
    writing_ = false;
    if (r < 0 && error_ == 0) {
      error_ = r;
      queue_.clear();  // nothing after a failed write may reach the file
    }
    spare_.push_back(std::move(block));
    if (caller_waits_) changed_.notify_all();
  }
}

}  // namespace dk
