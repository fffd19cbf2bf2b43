#include "platform/draw_ahead.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace dk {
namespace {

// Entries drawn per chunk (at least one group): enough work to make the hand-over from
// a worker to the caller cheap, little enough to start soon.
constexpr std::uint64_t kChunkEntries = 4096;

// The ring may take at most this much memory; larger groups are drawn by the caller.
constexpr std::uint64_t kRingBytes = std::uint64_t{256} << 20;

}  // namespace

DrawAhead::DrawAhead(unsigned workers) : workers_(workers) {}

DrawAhead::~DrawAhead() {
  Stop();
}

DrawAhead::Group DrawAhead::Get(PhiloxKey key, std::uint64_t p, std::uint64_t n, std::uint64_t k) {
  const Listing listing{key, n, k};
  if (running() && listing == ahead_ && p == expected_) {
    try {
      return FromRing(p);
    } catch (...) {
      Stop();
      throw;
    }
  }
  const bool follows = have_last_ && listing == last_ && p == last_p_ + 1;
  Stop();
  prefix_.resize(k);
  sorted_.resize(k);
  drawer_.Draw(key, p, n, k, prefix_.data(), sorted_.data());
  have_last_ = true;
  last_ = listing;
  last_p_ = p;
  if (follows && workers_ > 0 && k > 0) {
    try {
      Start(listing, p + 1);
    } catch (const std::bad_alloc&) {
      Stop();  // no memory for the ring: the caller draws alone
    } catch (const std::system_error&) {
      Stop();  // no threads to be had: likewise
    }
  }
  return {prefix_.data(), sorted_.data()};
}

void DrawAhead::Stop() {
  if (!threads_.empty()) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    work_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
  }
  slots_.clear();
  holding_ = false;
  have_last_ = false;
}

void DrawAhead::Start(const Listing& listing, std::uint64_t first) {
  per_chunk_ = std::max<std::uint64_t>(1, kChunkEntries / listing.k);
  const std::size_t ring = 2 * static_cast<std::size_t>(workers_) + 2;
  if (ring * per_chunk_ * listing.k * 2 * sizeof(double) > kRingBytes) return;
  slots_.resize(ring);
  for (Slot& slot : slots_) {
    slot.data.resize(per_chunk_ * listing.k * 2);
    slot.state = SlotState::kFree;
  }
  ahead_ = listing;
  first_ = first;
  expected_ = first;
  holding_ = false;
  next_chunk_ = 0;
  released_ = 0;
  stop_ = false;
  threads_.reserve(workers_);
  for (unsigned w = 0; w < workers_; ++w) threads_.emplace_back([this] { Work(); });
}

DrawAhead::Group DrawAhead::FromRing(std::uint64_t p) {
  const std::uint64_t chunk = (p - first_) / per_chunk_;
  const std::uint64_t group = (p - first_) % per_chunk_;
  Slot& slot = slots_[chunk % slots_.size()];
  if (!holding_ || chunk != current_) {
    std::unique_lock lock(mutex_);
    if (holding_) slots_[current_ % slots_.size()].state = SlotState::kFree;
    holding_ = false;
    released_ = chunk;
    work_.notify_all();
    if (chunk >= next_chunk_) {
      // The workers are behind: draw this chunk here rather than wait.
      next_chunk_ = chunk + 1;
      slot.chunk = chunk;
      slot.state = SlotState::kBusy;
      lock.unlock();
      Fill(drawer_, slot, chunk);
      lock.lock();
    } else {
      // A worker has it. Rather than wait idle, draw a later chunk nobody has claimed.
      while (!(slot.chunk == chunk &&
               (slot.state == SlotState::kReady || slot.state == SlotState::kFailed))) {
        if (next_chunk_ < released_ + slots_.size()) {
          const std::uint64_t later = next_chunk_++;
          Slot& other = slots_[later % slots_.size()];
          other.chunk = later;
          other.state = SlotState::kBusy;
          lock.unlock();
          Fill(drawer_, other, later);
          lock.lock();
          other.state = SlotState::kReady;
        } else {
          ready_.wait(lock);
        }
      }
      if (slot.state == SlotState::kFailed) {
        lock.unlock();
        Fill(drawer_, slot, chunk);  // a worker ran out of memory: try here
        lock.lock();
      }
    }
    slot.state = SlotState::kReady;
    holding_ = true;
    current_ = chunk;
  }
  expected_ = p + 1;
  const double* data = slot.data.data() + group * ahead_.k * 2;
  return {data, data + ahead_.k};
}

void DrawAhead::Fill(GroupDrawer& drawer, Slot& slot, std::uint64_t chunk) const {
  const std::uint64_t k = ahead_.k;
  for (std::uint64_t g = 0; g < per_chunk_; ++g) {
    double* data = slot.data.data() + g * k * 2;
    drawer.Draw(ahead_.key, first_ + chunk * per_chunk_ + g, ahead_.n, k, data, data + k);
  }
}

void DrawAhead::Work() {
  GroupDrawer drawer;
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return stop_ || next_chunk_ < released_ + slots_.size(); });
    if (stop_) return;
    const std::uint64_t chunk = next_chunk_++;
    Slot& slot = slots_[chunk % slots_.size()];
    slot.chunk = chunk;
    slot.state = SlotState::kBusy;
    lock.unlock();
    bool done = true;
    try {
      Fill(drawer, slot, chunk);
    } catch (...) {
      done = false;  // the caller draws this chunk itself and sees the error
    }
    lock.lock();
    slot.state = done ? SlotState::kReady : SlotState::kFailed;
    ready_.notify_all();
  }
}

}  // namespace dk
