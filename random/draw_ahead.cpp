#include "random/draw_ahead.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace dk {
namespace {

// Entries drawn per chunk (at least one group): enough work to make the hand-over of a
// chunk cheap, little enough to start soon.
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
      stop_.store(true, std::memory_order_relaxed);
    }
    work_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
  }
  slots_.reset();
  ring_ = 0;
  holding_ = false;
  have_last_ = false;
}

void DrawAhead::Start(const Listing& listing, std::uint64_t first) {
  per_chunk_ = std::max<std::uint64_t>(1, kChunkEntries / listing.k);
  const std::size_t ring = 2 * static_cast<std::size_t>(workers_) + 2;
  if (ring * per_chunk_ * listing.k * 2 * sizeof(double) > kRingBytes) return;
  slots_ = std::make_unique<Slot[]>(ring);
  ring_ = ring;
  for (std::size_t i = 0; i < ring; ++i) {
    slots_[i].data.resize(per_chunk_ * listing.k * 2);
    slots_[i].ready = std::make_unique<std::atomic<bool>[]>(per_chunk_);
  }
  ahead_ = listing;
  first_ = first;
  expected_ = first;
  holding_ = false;
  alone_ = false;
  next_chunk_ = 0;
  released_ = 0;
  stop_.store(false, std::memory_order_relaxed);
  threads_.reserve(workers_);
  for (unsigned w = 0; w < workers_; ++w) threads_.emplace_back([this] { Work(); });
}

DrawAhead::Group DrawAhead::FromRing(std::uint64_t p) {
  // The groups come in order: the place in the ring moves on by one.
  if (!holding_) {
    EnterChunk(0);
  } else if (++group_ == per_chunk_) {
    EnterChunk(current_ + 1);
  }
  const std::uint64_t chunk = current_;
  const std::uint64_t group = group_;
  expected_ = p + 1;
  if (alone_) return DrawAlone(p);
  Slot& slot = slots_[chunk % ring_];
  for (;;) {
    if (slot.ready[group].load(std::memory_order_acquire)) {
      const double* data = slot.data.data() + group * ahead_.k * 2;
      return {data, data + ahead_.k};
    }
    // Not drawn yet: claim and draw the next group of this chunk (this one, or one
    // before it that a worker will not draw now), or, while a worker is drawing this
    // one, a later group; with nothing left to claim, draw it here as well.
    if (DrawNextGroupOf(drawer_, slot) || DrawLaterGroup()) continue;
    return DrawAlone(p);
  }
}

void DrawAhead::EnterChunk(std::uint64_t chunk) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (holding_ && !alone_) {
      Slot& old = slots_[current_ % ring_];
      if (!old.filling) old.in_use = false;  // else its worker frees it when done
    }
    holding_ = true;
    alone_ = false;
    current_ = chunk;
    group_ = 0;
    released_ = chunk;
    if (chunk >= next_chunk_) {
      // Nobody has claimed it: the caller takes it, unless its slot is still held by a
      // worker on an old chunk (paused by the system, say).
      next_chunk_ = chunk + 1;
      Slot& slot = slots_[chunk % ring_];
      if (slot.in_use) {
        alone_ = true;
      } else {
        Claim(slot, chunk, false);
      }
    }
    wake = idle_ > 0;  // a chunk was released: a waiting worker may claim the next
  }
  if (wake) work_.notify_all();
}

void DrawAhead::Claim(Slot& slot, std::uint64_t chunk, bool by_worker) {
  slot.chunk = chunk;
  slot.in_use = true;
  slot.filling = by_worker;
  slot.next_group.store(0, std::memory_order_relaxed);
  for (std::uint64_t g = 0; g < per_chunk_; ++g) {
    slot.ready[g].store(false, std::memory_order_relaxed);
  }
}

bool DrawAhead::DrawNextGroupOf(GroupDrawer& drawer, Slot& slot) {
  const std::uint64_t group = slot.next_group.fetch_add(1, std::memory_order_relaxed);
  if (group >= per_chunk_) return false;
  const std::uint64_t k = ahead_.k;
  double* data = slot.data.data() + group * k * 2;
  drawer.Draw(ahead_.key, first_ + slot.chunk * per_chunk_ + group, ahead_.n, k, data, data + k);
  slot.ready[group].store(true, std::memory_order_release);
  return true;
}

bool DrawAhead::DrawLaterGroup() {
  Slot* target = nullptr;
  {
    std::lock_guard lock(mutex_);
    for (std::uint64_t c = current_ + 1; c < next_chunk_ && target == nullptr; ++c) {
      Slot& slot = slots_[c % ring_];
      if (slot.next_group.load(std::memory_order_relaxed) < per_chunk_) target = &slot;
    }
    if (target == nullptr && next_chunk_ < released_ + ring_ &&
        !slots_[next_chunk_ % ring_].in_use) {
      target = &slots_[next_chunk_ % ring_];
      Claim(*target, next_chunk_++, false);
    }
  }
  return target != nullptr && DrawNextGroupOf(drawer_, *target);
}

DrawAhead::Group DrawAhead::DrawAlone(std::uint64_t p) {
  prefix_.resize(ahead_.k);
  sorted_.resize(ahead_.k);
  drawer_.Draw(ahead_.key, p, ahead_.n, ahead_.k, prefix_.data(), sorted_.data());
  return {prefix_.data(), sorted_.data()};
}

void DrawAhead::Work() {
  GroupDrawer drawer;
  for (;;) {
    Slot* slot = nullptr;
    {
      std::unique_lock lock(mutex_);
      ++idle_;
      work_.wait(lock, [&] {
        return stop_.load(std::memory_order_relaxed) ||
               (next_chunk_ < released_ + ring_ && !slots_[next_chunk_ % ring_].in_use);
      });
      --idle_;
      if (stop_.load(std::memory_order_relaxed)) return;
      slot = &slots_[next_chunk_ % ring_];
      Claim(*slot, next_chunk_++, true);
    }
    try {
      while (!stop_.load(std::memory_order_relaxed) && DrawNextGroupOf(drawer, *slot)) {
      }
    } catch (...) {
      // Out of memory: the groups left are the caller's, who then meets the error too.
    }
    bool wake = false;
    {
      std::lock_guard lock(mutex_);
      slot->filling = false;
      if (slot->chunk < released_) slot->in_use = false;
      wake = idle_ > 0;
    }
    if (wake) work_.notify_all();  // the slot may be free for another worker
  }
}

}  // namespace dk
