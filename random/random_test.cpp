#include "runtime/random_values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "os/env.h"
#include "runtime/ops.h"
#include "testing/random_reference.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;

using Row = std::vector<double>;

void Seed(double s) {
  mlfNRand(0, Value::Text("state"), Value::Scalar(s));
}

Row Numbers(const Value& v) {
  EXPECT_EQ(v.rows(), 1u);
  Row out;
  for (std::size_t i = 0; i < v.numel(); ++i) out.push_back(v.num(i));
  return out;
}
Row Perm(double n) {
  return Numbers(mlfRandperm(Value::Scalar(n)));
}
Row Prefix(double n, double k) {
  return Numbers(mlfRandperm(Value::Scalar(n), Value::Scalar(k)));
}

TEST(RandomPermutationTest, EveryDrawIsAPermutationAndCountsOnce) {
  Seed(5);
  for (int n : {0, 1, 2, 3, 7, 100}) {
    Row sorted = Perm(n);
    std::sort(sorted.begin(), sorted.end());
    Row expected(static_cast<std::size_t>(n));
    std::iota(expected.begin(), expected.end(), 1.0);
    EXPECT_EQ(sorted, expected) << "n = " << n;
  }
  EXPECT_EQ(CurrentRandomState().drawn, 6u);  // n of 0 and 1 count too
}

TEST(RandomPrefixTest, EqualsStartOfFullPermutationAndLeavesSameState) {
  const std::pair<int, int> cases[] = {{0, 0}, {1, 0}, {1, 1},  {2, 1},  {5, 0},
                                       {5, 2}, {5, 5}, {10, 9}, {300, 7}};
  for (const auto& [n, k] : cases) {
    Seed(11);
    const Row full = Perm(n), next_full = Perm(n);
    Seed(11);
    const Row prefix = Prefix(n, k), next = Perm(n);
    EXPECT_EQ(prefix, Row(full.begin(), full.begin() + k)) << n << ", " << k;
    EXPECT_EQ(next, next_full) << n << ", " << k;
  }
}

TEST(RandomGoldenTest, PinnedPermutationsAfterReset) {
  const std::map<double, std::pair<Row, Row>> golden = {
      {0, {{1, 10, 9, 7, 6, 2, 3, 8, 4, 5}, {1, 3, 8, 6, 7, 2, 4, 5, 10, 9}}},
      {42, {{7, 2, 3, 10, 4, 9, 5, 6, 1, 8}, {9, 3, 6, 2, 7, 1, 5, 4, 8, 10}}},
      {0x1p53, {{8, 9, 2, 5, 7, 4, 10, 3, 1, 6}, {1, 8, 4, 5, 9, 3, 7, 10, 2, 6}}},
      {-7, {{1, 4, 8, 6, 7, 10, 9, 5, 3, 2}, {10, 4, 6, 1, 9, 7, 8, 2, 5, 3}}},
      {3.25, {{10, 2, 6, 1, 7, 9, 8, 3, 5, 4}, {1, 6, 4, 10, 8, 9, 3, 2, 7, 5}}}};
  for (const auto& [seed, perms] : golden) {
    Seed(seed);
    EXPECT_EQ(Perm(10), perms.first) << "seed " << seed;
    EXPECT_EQ(Perm(10), perms.second) << "seed " << seed;
  }
  Seed(42);
  EXPECT_EQ(Perm(5), Row({4, 2, 3, 5, 1}));  // the worked example of docs/random.md
}

TEST(RandomGoldenTest, HugeListsDrawOnlyTheEntriesAsked) {
  Seed(42);
  EXPECT_EQ(Prefix(0x1p53, 5), Row({5890151530535188, 703428593865640, 288616138113449,
                                    8119781846699811, 7717515068679869}));
  // With this size, step 4030 rejects its first attempt and takes its second.
  Seed(42);
  const Row prefix = Prefix(9005000768225311, 4032);
  EXPECT_EQ(Row(prefix.begin() + 4029, prefix.end()),
            Row({4004910718218874, 752389415454862, 140667666064542}));
}

TEST(RandomSeedTest, SeedsMapToKeys) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, RandomState> cases[] = {
      {42, {42, 0, 0}},
      {-0.0, {0, 0, 0}},
      {-7, {0xFFFFFFFFFFFFFFF9, 0, 0}},
      {0x1p53, {0x20000000000000, 0, 0}},
      {-0x1p63, {0x8000000000000000, 0, 0}},
      {0x1p63, {0x43E0000000000000, 1, 0}},
      {3.25, {0x400A000000000000, 1, 0}},
      {-std::numeric_limits<double>::infinity(), {0xFFF0000000000000, 1, 0}},
      {-nan, {0x7FF8000000000000, 1, 0}},
      {std::bit_cast<double>(std::uint64_t{0x7FF0000000000001}), {0x7FF8000000000000, 1, 0}}};
  for (const auto& [seed, state] : cases) {
    Seed(123);
    Perm(3);
    EXPECT_TRUE(mlfNRand(1, Value::Text("state"), Value::Scalar(seed)).empty());
    EXPECT_EQ(CurrentRandomState(), state) << "seed " << seed;
  }
  Seed(3);
  const Row three = Perm(10);
  Seed(3.25);
  EXPECT_NE(Perm(10), three);
}

TEST(RandomSeedTest, TheSeedInForceIsTheNumberOfTheLastRestart) {
  ResetRandomToEntropy();
  EXPECT_EQ(SeedInForce(), std::nullopt);
  Perm(3);  // the entropy start is no seed
  EXPECT_EQ(SeedInForce(), std::nullopt);
  for (const double seed : {42.0, -7.0, 3.25, 1e300, -0x1p63, 0x1p63, 0x1p53}) {
    Seed(seed);
    Perm(5);  // draws move the generator on, not the seed
    EXPECT_EQ(SeedInForce(), seed);
  }
  Seed(-0.0);
  EXPECT_EQ(SeedInForce(), 0.0);
  ResetRandomToEntropy();
  EXPECT_EQ(SeedInForce(), std::nullopt);
}

TEST(RandomSeedTest, AnEntropyStartFromASeedCanBeDrawnAgainFromIt) {
  const struct Scope {  // as the window program starts, until the test ends
    EntropyStart before = SetEntropyStart(EntropyStart::kSeed);
    ~Scope() { SetEntropyStart(before); }
  } seeded_start;
  ResetRandomToEntropy();
  EXPECT_EQ(SeedInForce(), std::nullopt);
  const Value first = mlfRandperm(Value::Scalar(20));
  const std::optional<double> seed = SeedInForce();
  ASSERT_TRUE(seed.has_value());
  EXPECT_TRUE(SeedDrawnFromEntropy());
  EXPECT_EQ(*seed, std::floor(*seed));
  EXPECT_LT(*seed, static_cast<double>(kEntropySeedLimit));
  EXPECT_EQ(DrawnSinceRestart(), 1u);
  mlfNRand(0, Value::Text("state"), Value::Scalar(*seed));
  EXPECT_FALSE(SeedDrawnFromEntropy());
  EXPECT_EQ(Numbers(mlfRandperm(Value::Scalar(20))), Numbers(first));
  ResetRandomToEntropy();
}

int restarts_seen = 0;
void CountRestart() {
  ++restarts_seen;
}

TEST(RandomSeedTest, EveryRestartAndResetIsReportedAndARefusedOneIsNot) {
  const RestartObserver previous = SetRestartObserver(CountRestart);
  restarts_seen = 0;
  Seed(1);
  Seed(2);
  Perm(4);
  ErrorOf([] { mlfNRand(0, Value::Text("seed"), Value::Scalar(3)); });
  ErrorOf([] { mlfNRand(0, Value::Text("state"), Value::Row({1, 2})); });
  EXPECT_EQ(restarts_seen, 2);
  ResetRandomToEntropy();
  EXPECT_EQ(restarts_seen, 3);
  EXPECT_EQ(SetRestartObserver(previous), CountRestart);
}

TEST(RandomStatisticsTest, OrdersOfFourAreEvenlySpread) {
  Seed(2024);
  std::map<Row, int> counts;
  for (int t = 0; t < 60000; ++t) ++counts[Perm(4)];
  ASSERT_EQ(counts.size(), 24u);
  double chi_square = 0;
  for (const auto& [order, count] : counts) {
    EXPECT_NEAR(count, 2500, 250);
    chi_square += (count - 2500.0) * (count - 2500.0) / 2500.0;
  }
  EXPECT_LT(chi_square, 60);  // 23 degrees of freedom; this seed gives about 19
}

TEST(RandomEntropyTest, StartKeyComesFromEnvOnFirstUse) {
  {
    test::TestEnv env;
    env.entropy = 1;
    ResetRandomToEntropy();
    Seed(0);
    EXPECT_EQ(env.entropy_calls, 0);  // a reset never needs entropy
    const Row zero = Perm(10);
    ResetRandomToEntropy();
    const Row first = Perm(10);
    EXPECT_EQ(CurrentRandomState(), (RandomState{0x0807060504030201, 2, 1}));
    ResetRandomToEntropy();
    EXPECT_EQ(Perm(10), first);
    EXPECT_NE(first, zero);
    EXPECT_EQ(env.entropy_calls, 2);
  }
  ResetRandomToEntropy();
}

TEST(RandomEntropyTest, EntropySeedsAreWholeNumbersBelow2To53) {
  {
    test::TestEnv env;
    env.entropy = 1;  // bytes 01 02 ... 08, the first the least significant
    EXPECT_EQ(EntropySeed(), 0x0807060504030201ull & ((1ull << 53) - 1));
  }
  {
    test::TestEnv env;
    env.entropy = 0xF8;  // F8 F9 ... FF: the top 11 bits are dropped
    EXPECT_EQ(EntropySeed(), 0xFFFEFDFCFBFAF9F8ull & ((1ull << 53) - 1));
    EXPECT_LT(EntropySeed(), kEntropySeedLimit);
  }
}

TEST(RandomErrorsTest, BadInputsAreNamedAndDrawNothing) {
  const Value absent;
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { Perm(2.5); }, "randperm: N must be a whole number of 0 or more, not 2.5"},
      {[] { Perm(-1); }, "randperm: N must be a whole number of 0 or more, not -1"},
      {[] { Perm(std::numeric_limits<double>::infinity()); },
       "randperm: N must be a whole number of 0 or more, not inf"},
      {[] { Perm(0x1p53 + 2); },
       "randperm: N must be at most 2^53 = 9007199254740992, not 9007199254740994"},
      {[] {
         mlfRandperm(Value::Row({1, 2}));
       },
       "randperm: N must be one number, not a 1-by-2 double"},
      {[&] { mlfRandperm(absent); }, "randperm: N must be one number, not an absent value"},
      {[] { Prefix(5, 7); }, "randperm: the number of entries (7) exceeds the list size (5)"},
      {[] { Prefix(5, 0.5); }, "randperm: K must be a whole number of 0 or more, not 0.5"},
      {[] { mlfRandperm(Value::Scalar(5), Value::Text("3")); },
       "randperm: K must be one number, not the text \"3\""},
      {[] { mlfNRand(0, Value::Text("seed"), Value::Scalar(1)); },
       "rand: unknown keyword \"seed\"; the only one is \"state\""},
      {[] { mlfNRand(0, Value::Scalar(1), Value::Scalar(1)); },
       "rand: the first input must be the keyword \"state\", not a 1-by-1 double"},
      {[] { mlfNRand(0, Value::Text("state"), Value::Bool(true)); },
       "rand: the seed must be one number, not a 1-by-1 logical"},
      {[] { mlfNRand(0, Value::Text("state"), Value::Empty()); },
       "rand: the seed must be one number, not a 0-by-0 double"},
      {[] { mlfNRand(2, Value::Text("state"), Value::Scalar(1)); },
       "rand: a generator reset gives at most one output, not 2"}};
  for (const auto& [call, message] : cases) {
    Seed(8);
    Perm(4);
    EXPECT_EQ(ErrorOf(call), message);
    EXPECT_EQ(CurrentRandomState(), (RandomState{8, 0, 1})) << message;
  }
}

// ---- Listings: groups drawn ahead on threads, sorted as drawn ----------------------

// Fixes the thread count for one test and goes back to the default after it.
class ScopedThreads {
 public:
  explicit ScopedThreads(unsigned count) { SetRandomThreads(count); }
  ~ScopedThreads() { SetRandomThreads(0); }
};

// The document's group p of (n, k) under `key`, as drawn and sorted.
std::pair<Row, Row> ReferenceGroup(const RandomState& key, std::uint64_t p, std::uint64_t n,
                                   std::uint64_t k) {
  const std::vector<std::uint64_t> drawn = test::ReferencePrefix(key.key0, key.key1, p, n, k);
  Row prefix(drawn.begin(), drawn.end()), sorted = prefix;
  std::sort(sorted.begin(), sorted.end());
  return {prefix, sorted};
}

// Draws `groups` groups as a listing does (mlfRandperm, then mlfSort) and compares each
// with the reference.
void ExpectListing(double seed, std::uint64_t n, std::uint64_t k, std::uint64_t groups,
                   const std::string& where) {
  Seed(seed);
  const RandomState start = CurrentRandomState();
  for (std::uint64_t g = 0; g < groups; ++g) {
    const Value drawn = mlfRandperm(Value::Scalar(double(n)), Value::Scalar(double(k)));
    const auto [prefix, sorted] = ReferenceGroup(start, g, n, k);
    ASSERT_EQ(Numbers(drawn), prefix) << where << ": group " << g << " of n " << n << " k " << k;
    ASSERT_EQ(Numbers(mlfSort(drawn)), sorted) << where << ": sorted group " << g;
  }
  EXPECT_EQ(CurrentRandomState().drawn, groups) << where;
}

TEST(RandomListingTest, EveryThreadCountDrawsTheDocumentedGroups) {
  for (const unsigned threads : {1u, 2u, 4u}) {
    ScopedThreads scoped(threads);
    const std::string where = std::to_string(threads) + " threads";
    ExpectListing(1, 100000, 1000, 30, where);
    ExpectListing(42, 5, 2, 200, where);
    ExpectListing(-7, 300, 300, 40, where);
    ExpectListing(3.25, 1000000, 10, 1000, where);
    ExpectListing(0x1p53, 0x1p53, 3, 50, where);
    ExpectListing(42, 9005000768225311, 4032, 4, where);  // group 0 has the rejection
  }
}

// Calls that leave a listing (a whole permutation, another size, an error, a reset)
// must each give the group the document gives at that point.
TEST(RandomListingTest, InterruptedListingsStayOnTheDocumentedSequence) {
  ScopedThreads scoped(3);
  Seed(9);
  const RandomState key = CurrentRandomState();
  std::uint64_t p = 0;
  const auto expect_group = [&](std::uint64_t n, std::uint64_t k) {
    const Value drawn = mlfRandperm(Value::Scalar(double(n)), Value::Scalar(double(k)));
    const auto [prefix, sorted] = ReferenceGroup(key, p, n, k);
    ASSERT_EQ(Numbers(drawn), prefix) << "group " << p;
    ASSERT_EQ(Numbers(mlfSort(drawn)), sorted) << "group " << p;
    ++p;
  };
  for (int g = 0; g < 20; ++g) expect_group(5000, 40);
  EXPECT_EQ(Perm(6), Row(ReferenceGroup(key, p++, 6, 6).first));
  for (int g = 0; g < 20; ++g) expect_group(5000, 40);
  for (int g = 0; g < 5; ++g) expect_group(5000, 41);
  EXPECT_EQ(ErrorOf([] { Prefix(5, 7); }),
            "randperm: the number of entries (7) exceeds the list size (5)");
  for (int g = 0; g < 5; ++g) expect_group(5000, 41);
  EXPECT_EQ(CurrentRandomState().drawn, p);
  Seed(9);
  p = 0;
  for (int g = 0; g < 5; ++g) expect_group(5000, 41);
}

TEST(RandomListingTest, OnlyTheDrawnArrayItselfIsSortedAsDrawn) {
  ScopedThreads scoped(2);
  Seed(4);
  Value drawn;
  for (int g = 0; g < 3; ++g) drawn = mlfRandperm(Value::Scalar(1000), Value::Scalar(100));
  Row expected = Numbers(drawn);
  std::sort(expected.begin(), expected.end());
  Value changed = drawn;
  changed.set_num(0, 5000);
  Row changed_sorted = Numbers(changed);
  std::sort(changed_sorted.begin(), changed_sorted.end());
  EXPECT_EQ(Numbers(mlfSort(changed)), changed_sorted);
  EXPECT_EQ(Numbers(mlfSort(drawn)), expected);
  EXPECT_EQ(Numbers(mlfSort(Value::Row(Numbers(drawn)))), expected);  // an equal copy
  Seed(5);  // the drawn array outlives the reset, and sorts as any other
  EXPECT_EQ(Numbers(mlfSort(drawn)), expected);
  const Value empty = mlfRandperm(Value::Scalar(3), Value::Scalar(0));
  EXPECT_EQ(mlfSort(empty).rows(), 1u);
  EXPECT_EQ(mlfSort(empty).cols(), 0u);
}

// DROPKIT_THREADS, read when the generator first draws a listing after a thread reset.
class ThreadsVariable {
 public:
  explicit ThreadsVariable(const char* value) {
    env_.variables["DROPKIT_THREADS"] = value;
    SetRandomThreads(0);
  }
  ~ThreadsVariable() { SetRandomThreads(0); }

 private:
  test::TestEnv env_;
};

TEST(RandomListingTest, TheThreadSettingIsChecked) {
  for (const char* bad : {"0", "257", "two", "", "2 ", "-1"}) {
    ThreadsVariable variable(bad);
    Seed(8);
    EXPECT_EQ(
        ErrorOf([] { Prefix(10, 2); }),
        std::string("DROPKIT_THREADS must be a whole number from 1 to 256, not \"") + bad + "\"");
    EXPECT_EQ(CurrentRandomState(), (RandomState{8, 0, 0})) << bad;
  }
  for (const char* good : {"1", "3"}) {
    ThreadsVariable variable(good);
    ExpectListing(8, 2000, 30, 40, std::string("DROPKIT_THREADS=") + good);
  }
  ThreadsVariable most("256");
  Seed(8);
  EXPECT_EQ(Prefix(10, 2).size(), 2u);
}

}  // namespace
}  // namespace dk
