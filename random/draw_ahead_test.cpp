#include "random/draw_ahead.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "random/group_draw.h"
#include "testing/random_reference.h"

namespace dk {
namespace {

using Numbers = std::vector<double>;

struct Request {
  PhiloxKey key;
  std::uint64_t p, n, k;
};

// Asks `ahead` for each group in turn and compares it with what a plain drawer on the
// calling thread gives.
void ExpectPlainGroups(DrawAhead& ahead, const std::vector<Request>& requests,
                       const std::string& where) {
  GroupDrawer plain;
  for (std::size_t r = 0; r < requests.size(); ++r) {
    const Request& q = requests[r];
    Numbers prefix(q.k), sorted(q.k);
    plain.Draw(q.key, q.p, q.n, q.k, prefix.data(), sorted.data());
    const DrawAhead::Group got = ahead.Get(q.key, q.p, q.n, q.k);
    ASSERT_EQ(Numbers(got.prefix, got.prefix + q.k), prefix)
        << where << ", request " << r << ": p " << q.p << " n " << q.n << " k " << q.k;
    ASSERT_EQ(Numbers(got.sorted, got.sorted + q.k), sorted) << where << ", request " << r;
  }
}

std::vector<Request> Listing(PhiloxKey key, std::uint64_t first, std::uint64_t groups,
                             std::uint64_t n, std::uint64_t k) {
  std::vector<Request> out;
  for (std::uint64_t g = 0; g < groups; ++g) out.push_back({key, first + g, n, k});
  return out;
}

TEST(DrawAheadTest, EveryThreadCountGivesTheSameGroups) {
  for (const unsigned workers : {0u, 1u, 3u}) {
    DrawAhead ahead(workers);
    const std::string where = std::to_string(workers) + " workers";
    ExpectPlainGroups(ahead, Listing({42, 0}, 10, 300, 5000, 37), where);
    EXPECT_EQ(ahead.running(), workers > 0) << where;
    // Groups so large that a chunk holds one, and so small that one holds thousands.
    ExpectPlainGroups(ahead, Listing({42, 0}, 0, 12, 1000000, 5000), where + ", large");
    ExpectPlainGroups(ahead, Listing({42, 0}, 0, 10000, 100, 1), where + ", small");
    ahead.Stop();
    EXPECT_FALSE(ahead.running());
  }
}

// Far more workers than cores: workers are paused in the middle of chunks, the caller
// overtakes them, draws groups alone and leaves slots to paused workers; the groups stay
// the plain ones.
TEST(DrawAheadTest, MoreWorkersThanCoresStillGiveTheSameGroups) {
  DrawAhead ahead(8);
  ExpectPlainGroups(ahead, Listing({6, 0}, 0, 400, 30000, 2000), "two groups a chunk");
  ExpectPlainGroups(ahead, Listing({6, 0}, 0, 3000, 30000, 300), "thirteen a chunk");
}

// Permutation numbers wrap around like the counters they are: the two before 0 start a
// listing, so that permutation 0 of seed 42 (docs/random.md's rejection) comes from the
// ring.
TEST(DrawAheadTest, TheDocumentedRejectionDrawnAhead) {
  const std::uint64_t n = 9005000768225311, last = ~std::uint64_t{0};
  for (const unsigned workers : {1u, 2u}) {
    DrawAhead ahead(workers);
    ahead.Get({42, 0}, last - 1, n, 4032);
    ahead.Get({42, 0}, last, n, 4032);
    ASSERT_TRUE(ahead.running());
    const DrawAhead::Group group = ahead.Get({42, 0}, 0, n, 4032);
    EXPECT_EQ(Numbers(group.prefix + 4029, group.prefix + 4032),
              Numbers({4004910718218874, 752389415454862, 140667666064542}));
    ExpectPlainGroups(ahead, Listing({42, 0}, 1, 3, n, 4032), "after the rejection");
  }
}

TEST(DrawAheadTest, ThreadsStartOnlyOnceAListingShowsItself) {
  DrawAhead ahead(2);
  ahead.Get({1, 0}, 0, 100, 10);
  EXPECT_FALSE(ahead.running());
  ahead.Get({1, 0}, 5, 100, 10);  // not the next group
  EXPECT_FALSE(ahead.running());
  ahead.Get({1, 0}, 6, 100, 10);
  EXPECT_TRUE(ahead.running());
  ahead.Get({1, 0}, 7, 100, 0);  // empty groups need no help
  ahead.Get({1, 0}, 8, 100, 0);
  EXPECT_FALSE(ahead.running());
}

// Every way a caller can leave the listing being drawn ahead: the same group again, a
// group skipped, another size, list, or key; each answer must still be the plain one.
TEST(DrawAheadTest, BreakingTheListingStartsOver) {
  const PhiloxKey key{7, 0}, other{7, 1};
  std::vector<Request> requests = Listing(key, 0, 50, 800, 13);
  const std::vector<Request> breaks = {{key, 49, 800, 13},    // again
                                       {key, 50, 800, 13},    //
                                       {key, 51, 800, 13},    // drawn ahead from here on
                                       {key, 60, 800, 13},    // skipped
                                       {key, 61, 800, 13},    //
                                       {key, 62, 800, 13},    //
                                       {key, 63, 800, 14},    // another size
                                       {key, 64, 800, 14},    //
                                       {key, 65, 800, 14},    //
                                       {key, 66, 801, 14},    // another list
                                       {key, 67, 801, 14},    //
                                       {key, 68, 801, 14},    //
                                       {other, 69, 801, 14},  // another key
                                       {other, 70, 801, 14},  //
                                       {other, 71, 801, 14},  //
                                       {other, 3, 801, 14}};  // back
  requests.insert(requests.end(), breaks.begin(), breaks.end());
  for (const unsigned workers : {1u, 2u}) {
    DrawAhead ahead(workers);
    ExpectPlainGroups(ahead, requests, std::to_string(workers) + " workers");
  }
}

TEST(DrawAheadTest, StopAndDestructionJoinWorkersInTheMiddleOfAListing) {
  for (int round = 0; round < 3; ++round) {
    DrawAhead ahead(3);
    ExpectPlainGroups(ahead, Listing({2, 0}, 0, 5, 100000, 3000), "before stop");
    ahead.Stop();
    ExpectPlainGroups(ahead, Listing({2, 0}, 5, 5, 100000, 3000), "after stop");
  }  // destroyed with its workers busy drawing ahead
}

}  // namespace
}  // namespace dk
