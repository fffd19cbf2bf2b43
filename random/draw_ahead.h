// Draws the groups of a listing ahead of their turn, on worker threads.
//
// A listing asks for group p, then p + 1, p + 2, ... of one key, list size n and group
// size k. Once two calls in a row follow that pattern, worker threads draw the next
// groups, a chunk of them each, into a ring of buffers while the caller uses the current
// one. The caller never waits for a worker: a group not drawn yet it draws itself, and
// one a worker is drawing at that moment it leaves to the worker while it draws a later
// one, or, with none left to claim (a worker the system has paused, say), draws again
// on its own. A call that breaks the pattern (another key, n or k, a group skipped or
// repeated) drops the work ahead and starts over. Whichever thread drew it, a group is
// exactly what GroupDrawer::Draw gives, so the thread count changes the speed and
// nothing else.
//
// Threading: one thread, the caller, uses a DrawAhead. The workers touch only their own
// drawers and the ring's plain memory (no Values, no allocation on the caller's behalf);
// Stop() and the destructor join them.
#ifndef DROPKIT_RANDOM_DRAW_AHEAD_H_
#define DROPKIT_RANDOM_DRAW_AHEAD_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "random/group_draw.h"
#include "random/philox_batch.h"

namespace dk {

class DrawAhead {
 public:
  // `workers` threads besides the caller's; with 0 every group is drawn by the caller
  // when it asks, as a plain GroupDrawer would. No thread starts before a listing does.
  explicit DrawAhead(unsigned workers);
  ~DrawAhead();
  DrawAhead(const DrawAhead&) = delete;
  DrawAhead& operator=(const DrawAhead&) = delete;

  struct Group {
    const double* prefix;  // the first k entries of permutation p of 1..n
    const double* sorted;  // the same, ascending
  };

  // Group p of (key, n, k): both arrays hold k numbers and stay valid until the next
  // call of Get or Stop. On running out of memory throws std::bad_alloc, with the work
  // ahead dropped and the workers joined.
  // REQUIRES: k <= n <= 2^53.
  Group Get(PhiloxKey key, std::uint64_t p, std::uint64_t n, std::uint64_t k);

  // Drops the work ahead and joins the workers; the next Get starts afresh.
  void Stop();

  unsigned workers() const { return workers_; }

  // True while worker threads are drawing (or waiting to draw) ahead.
  bool running() const { return !threads_.empty(); }

 private:
  // A chunk's groups are claimed one at a time through next_group, by the worker that
  // took the chunk and by the caller; each is published through its ready flag.
  struct alignas(64) Slot {
    std::vector<double> data;  // per group: k entries as drawn, then k ascending
    std::unique_ptr<std::atomic<bool>[]> ready;
    alignas(64) std::atomic<std::uint64_t> next_group{0};
    // Under mutex_:
    std::uint64_t chunk = 0;
    bool in_use = false;   // holds `chunk`, which the caller has not moved past
    bool filling = false;  // a worker is drawing in it
  };
  struct Listing {
    PhiloxKey key;
    std::uint64_t n = 0, k = 0;
    bool operator==(const Listing& o) const {
      return key.k0 == o.key.k0 && key.k1 == o.key.k1 && n == o.n && k == o.k;
    }
  };

  void Start(const Listing& listing, std::uint64_t first);
  Group FromRing(std::uint64_t p);
  void EnterChunk(std::uint64_t chunk);
  // Claims slot for `chunk`. REQUIRES: mutex_ held, the slot free.
  void Claim(Slot& slot, std::uint64_t chunk, bool by_worker);
  bool DrawNextGroupOf(GroupDrawer& drawer, Slot& slot);
  bool DrawLaterGroup();
  Group DrawAlone(std::uint64_t p);
  void Work();

  // The members come in three groups, each on cache lines of its own, so that the
  // caller's writes to its own state do not evict what the workers read on every group.
  static constexpr std::size_t kLine = 64;

  // The listing drawn ahead, while threads_ is not empty; fixed while workers run.
  alignas(kLine) Listing ahead_;
  std::uint64_t first_ = 0;        // permutation number of chunk 0's first group
  std::uint64_t per_chunk_ = 1;    // groups in a chunk
  std::unique_ptr<Slot[]> slots_;  // chunk c lives in slot c % ring_
  std::size_t ring_ = 0;

  // The caller's own.
  alignas(kLine) const unsigned workers_;
  GroupDrawer drawer_;
  std::vector<double> prefix_, sorted_;
  bool have_last_ = false;  // last_ and last_p_ describe the previous call
  Listing last_;
  std::uint64_t last_p_ = 0;
  std::uint64_t expected_ = 0;  // the group the caller asks for next
  bool holding_ = false;        // the caller is in chunk `current_`, at group `group_`
  bool alone_ = false;          // ... and draws it alone (its slot was not free)
  std::uint64_t current_ = 0;
  std::uint64_t group_ = 0;
  std::vector<std::thread> threads_;

  // Shared with the workers.
  alignas(kLine) std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable work_;  // a chunk may be claimed, or stop
  std::uint64_t next_chunk_ = 0;  // under mutex_: the first chunk nobody has claimed
  std::uint64_t released_ = 0;    // under mutex_: the caller is done with chunks below it
  unsigned idle_ = 0;             // under mutex_: workers waiting on work_
};

}  // namespace dk

#endif  // DROPKIT_RANDOM_DRAW_AHEAD_H_
