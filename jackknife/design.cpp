#include "jackknife/design.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <unordered_set>

#include "base/errors.h"
#include "base/number_text.h"
#include "random/random.h"

namespace dk {
namespace {

std::size_t WholeCount(double x, const char* what) {
  if (!std::isfinite(x) || x < 0 || x != std::floor(x) || x > 4294967295.0) {
    Raise(std::string("The ") + what + " must be one whole number from 0 to 4294967295, not " +
          FormatNumber(x));
  }
  return static_cast<std::size_t>(x);
}

std::string NamesThatMayBeLeftOut(std::size_t m) {
  return m == 1 ? std::string("1 name that may be left out")
                : std::to_string(m) + " names that may be left out";
}

void CheckOmit(std::size_t k, std::size_t m, std::size_t list_size, std::size_t kept) {
  if (k <= m) return;
  std::string why = "the list has only " + std::to_string(list_size) + " names";
  if (kept > 0) {
    why = "only " + std::to_string(m) + " of the list's " + std::to_string(list_size) +
          " names may be left out (" + std::to_string(kept) + " are kept)";
  }
  Raise("Cannot leave out " + std::to_string(k) + " names per group: " + why);
}

void CheckGroups(std::size_t r, std::size_t k) {
  if (r > kMaxGroups) {
    Raise("Cannot draw " + std::to_string(r) + " groups: at most " + std::to_string(kMaxGroups) +
          " are allowed");
  }
  if (k > 0 && r > kMaxOmittedEntries / k) {
    Raise("Cannot draw " + std::to_string(r) + " groups of " + std::to_string(k) + ": at most " +
          std::to_string(kMaxOmittedEntries) + " names left out over all groups are allowed");
  }
}

// Distinct groups must exist, and be found in bounded time: drawing the last of many
// possible groups takes many draws.
void CheckDistinct(std::size_t m, std::size_t k, std::size_t r) {
  const std::uint64_t c = CombinationCount(m, k);
  const std::string groups_of = (c == 1 ? " distinct group of " : " distinct groups of ") +
                                std::to_string(k) + " can be drawn from the " +
                                NamesThatMayBeLeftOut(m);
  if (c < r) {
    Raise("Only " + std::to_string(c) + groups_of + ", and " + std::to_string(r) +
          " were asked; ask for fewer, or for every combination (--all-combinations)");
  }
  if (c == r) {
    Raise("Exactly " + std::to_string(c) + groups_of +
          ", as many as were asked: ask for every combination (--all-combinations), which "
          "gives each once without drawing");
  }
  const double expected = DistinctDrawsExpected(c, r);
  if (expected * static_cast<double>(k) > kMaxDistinctDrawEntries) {
    Raise("Drawing " + std::to_string(r) + " distinct groups of " + std::to_string(k) +
          " from the " + NamesThatMayBeLeftOut(m) + ", which form only " + std::to_string(c) +
          ", would take about " + std::to_string(std::llround(expected)) + " draws of " +
          std::to_string(k) + " names, more than the " +
          std::to_string(static_cast<long long>(kMaxDistinctDrawEntries)) +
          " names' draws allowed; ask for fewer groups, or for every combination "
          "(--all-combinations)");
  }
}

// Hashes and compares groups by their content, held as indices into `groups`.
struct GroupHash {
  const std::vector<std::vector<std::size_t>>* groups;
  std::size_t operator()(std::size_t g) const {
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const std::size_t i : (*groups)[g]) h = (h ^ i) * 0x100000001b3u;
    return static_cast<std::size_t>(h);
  }
};
struct GroupEqual {
  const std::vector<std::vector<std::size_t>>* groups;
  bool operator()(std::size_t a, std::size_t b) const { return (*groups)[a] == (*groups)[b]; }
};

// kRandom and kDistinct: the first k entries of a fresh permutation of 1..m for each
// group; with `distinct`, a group equal to an earlier one is dropped and drawn again.
void DrawRandom(const std::vector<std::size_t>& omittable, std::size_t k, std::size_t r,
                bool distinct, std::vector<std::vector<std::size_t>>& groups) {
  std::unordered_set<std::size_t, GroupHash, GroupEqual> seen(distinct ? r : 0, GroupHash{&groups},
                                                              GroupEqual{&groups});
  while (groups.size() < r) {
    const DrawnGroup drawn = DrawGroup(omittable.size(), k);
    std::vector<std::size_t> group(k);
    for (std::size_t j = 0; j < k; ++j) {
      group[j] = omittable[static_cast<std::size_t>(drawn.sorted[j]) - 1];
    }
    groups.push_back(std::move(group));
    if (distinct && !seen.insert(groups.size() - 1).second) groups.pop_back();
  }
}

// kBalanced (docs/random.md, "Balanced groups"): the names left out, group after group,
// are a stream of passes, each a permutation of 1..m; a group takes the next k names of
// the pass, and when fewer are left it takes those and the first names of the next pass
// that it does not hold yet, the others of that pass following in its order. Only the
// first entries of a pass that the design uses are drawn: the same entries, and the
// generator moves on the same.
void DrawBalanced(const std::vector<std::size_t>& omittable, std::size_t k, std::size_t r,
                  std::vector<std::vector<std::size_t>>& groups) {
  const std::size_t m = omittable.size();
  std::vector<std::size_t> pool;  // the pass's names not yet left out (1-based), in order
  std::size_t next = 0;           // the first of them in `pool`
  std::vector<char> in_group(m + 1, 0);
  for (std::size_t g = 0; g < r; ++g) {
    std::vector<std::size_t> group;
    group.reserve(k);
    if (pool.size() - next >= k) {
      group.assign(pool.begin() + static_cast<std::ptrdiff_t>(next),
                   pool.begin() + static_cast<std::ptrdiff_t>(next + k));
      next += k;
    } else {
      group.assign(pool.begin() + static_cast<std::ptrdiff_t>(next), pool.end());
      // This pass gives the rest of this group and of the groups after it, at most m
      // names; they lie among its first `used` + (names held) entries.
      const std::size_t used = std::min(m, (r - g) * k - group.size());
      const std::size_t length = std::min(m, used + group.size());
      const DrawnGroup drawn = DrawGroup(m, length);
      for (const std::size_t i : group) in_group[i] = 1;
      const std::size_t held = group.size();
      pool.clear();
      next = 0;
      for (std::size_t j = 0; j < length; ++j) {
        const auto i = static_cast<std::size_t>(drawn.drawn[j]);
        if (group.size() < k && in_group[i] == 0) {
          group.push_back(i);
        } else {
          pool.push_back(i);
        }
      }
      for (std::size_t j = 0; j < held; ++j) in_group[group[j]] = 0;
    }
    for (std::size_t& i : group) i = omittable[i - 1];
    std::sort(group.begin(), group.end());
    groups.push_back(std::move(group));
  }
}

// The positions that may be left out, in list order.
std::vector<std::size_t> Omittable(std::size_t list_size, const std::vector<std::size_t>& kept) {
  std::vector<std::size_t> out;
  out.reserve(list_size - std::min(list_size, kept.size()));
  auto next_kept = kept.begin();
  for (std::size_t i = 0; i < list_size; ++i) {
    if (next_kept != kept.end() && *next_kept == i) {
      ++next_kept;
      continue;
    }
    out.push_back(i);
  }
  return out;
}

}  // namespace

std::vector<std::size_t> KeptPositions(const std::vector<std::string>& names,
                                       const std::vector<std::string>& kept,
                                       const std::string& list_file) {
  const std::unordered_set<std::string> wanted(kept.begin(), kept.end());
  std::unordered_set<std::string> found;
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (wanted.count(names[i]) != 0) {
      positions.push_back(i);
      found.insert(names[i]);
    }
  }
  for (const auto& name : kept) {
    if (found.count(name) == 0) {
      Raise("The name " + QuoteForMessage(name, '"') + " to keep is not in " +
            QuoteForMessage(list_file));
    }
  }
  return positions;
}

Design DrawDesign(std::size_t list_size, std::vector<std::size_t> kept, double omit, double groups,
                  DrawMode mode) {
  if (mode != DrawMode::kRandom && mode != DrawMode::kDistinct && mode != DrawMode::kBalanced) {
    Raise(std::string("Groups are not drawn for ") + DrawModeName(mode));
  }
  const std::size_t k = WholeCount(omit, "number of names to leave out per group");
  const std::size_t r = WholeCount(groups, "number of groups");
  const std::vector<std::size_t> omittable = Omittable(list_size, kept);
  CheckOmit(k, omittable.size(), list_size, kept.size());
  CheckGroups(r, k);
  if (mode == DrawMode::kDistinct) CheckDistinct(omittable.size(), k, r);
  Design design;
  design.list_size = list_size;
  design.kept = std::move(kept);
  design.omit = k;
  design.draw = mode;
  design.groups.reserve(r);
  if (mode == DrawMode::kBalanced) {
    DrawBalanced(omittable, k, r, design.groups);
  } else {
    DrawRandom(omittable, k, r, mode == DrawMode::kDistinct, design.groups);
  }
  return design;
}

std::uint64_t CombinationCount(std::size_t n, std::size_t k) {
  if (k > n) return 0;
  k = std::min(k, n - k);
  // c = C(n - k + i, i) after step i: exact, each step's division leaving no remainder.
  std::uint64_t c = 1;
  for (std::size_t i = 1; i <= k; ++i) {
    const std::uint64_t g = std::gcd(c, std::uint64_t{i});
    const std::uint64_t factor = (n - k + i) / (i / g);
    c /= g;
    if (c > kCombinationsCap / factor) return kCombinationsCap;
    c *= factor;
  }
  return std::min(c, kCombinationsCap);
}

double DistinctDrawsExpected(std::uint64_t combinations, std::size_t groups) {
  const double c = static_cast<double>(combinations);
  double expected = 0;
  for (std::size_t i = 0; i < groups; ++i) expected += c / (c - static_cast<double>(i));
  return expected;
}

Design AllCombinations(std::size_t list_size, std::vector<std::size_t> kept, double omit) {
  const std::size_t k = WholeCount(omit, "number of names to leave out per group");
  const std::vector<std::size_t> omittable = Omittable(list_size, kept);
  const std::size_t m = omittable.size();
  CheckOmit(k, m, list_size, kept.size());
  const std::uint64_t count = CombinationCount(m, k);
  const std::string every = "Every combination of " + std::to_string(k) + " of the " +
                            NamesThatMayBeLeftOut(m) + " makes " +
                            (count == kCombinationsCap ? "more than " : "") +
                            std::to_string(count) + " groups, ";
  if (count > kMaxGroups) {
    Raise(every + "more than the " + std::to_string(kMaxGroups) +
          " allowed; draw some of them (--groups R, with --distinct for no repeats)");
  }
  if (count * k > kMaxOmittedEntries) {
    Raise(every + "and more than the " + std::to_string(kMaxOmittedEntries) +
          " names left out over all groups that are allowed; draw some of them (--groups R, "
          "with --distinct for no repeats)");
  }
  Design design;
  design.list_size = list_size;
  design.kept = std::move(kept);
  design.omit = k;
  design.draw = DrawMode::kAllCombinations;
  design.groups.reserve(static_cast<std::size_t>(count));
  // The indices into `omittable` of the current group, ascending; the next group in
  // lexicographic order moves on the last index that can move and restarts those after it.
  std::vector<std::size_t> at(k);
  for (std::size_t j = 0; j < k; ++j) at[j] = j;
  for (;;) {
    std::vector<std::size_t> group(k);
    for (std::size_t j = 0; j < k; ++j) group[j] = omittable[at[j]];
    design.groups.push_back(std::move(group));
    std::size_t j = k;
    while (j > 0 && at[j - 1] == m - k + j - 1) --j;
    if (j == 0) break;
    ++at[j - 1];
    for (std::size_t i = j; i < k; ++i) at[i] = at[i - 1] + 1;
  }
  return design;
}

Design LeaveOneOut(std::size_t list_size, std::vector<std::size_t> kept) {
  if (list_size - kept.size() > kMaxGroups) {
    Raise("Cannot leave out each of " + std::to_string(list_size - kept.size()) +
          " names in turn: at most " + std::to_string(kMaxGroups) + " groups are allowed");
  }
  Design design;
  design.list_size = list_size;
  design.omit = 1;
  design.draw = DrawMode::kLeaveOneOut;
  for (const std::size_t i : Omittable(list_size, kept)) design.groups.push_back({i});
  design.kept = std::move(kept);
  return design;
}

}  // namespace dk
