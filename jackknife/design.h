// A jackknife design: which taxa each group leaves out.
//
// Groups are drawn with the run-time's random generator (random/random.h) as it
// stands, so the caller decides how it was started. docs/random.md says exactly how a
// design follows from the seed in each way of drawing.
#ifndef DROPKIT_JACKKNIFE_DESIGN_H_
#define DROPKIT_JACKKNIFE_DESIGN_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dk {

// Bounds on a design held in memory: the number of groups, and of names left out over
// all groups together.
inline constexpr std::size_t kMaxGroups = 1000000;
inline constexpr std::size_t kMaxOmittedEntries = 10000000;

// How the groups of a design are chosen (docs/random.md gives the exact rules).
enum class DrawMode {
  kRandom,           // each group from a fresh permutation; groups may repeat
  kDistinct,         // as kRandom, but a group equal to an earlier one is drawn again
  kBalanced,         // groups cut from a stream of permutations: every name left out
                     // equally often, within one
  kAllCombinations,  // every group of K names once, in lexicographic order; draws nothing
  kLeaveOneOut,      // each name alone, in list order; draws nothing
};

// "random", "distinct", "balanced", "all-combinations" or "leave-one-out".
const char* DrawModeName(DrawMode mode);

struct Design {
  std::size_t list_size = 0;
  std::vector<std::size_t> kept;  // 0-based positions never left out, ascending
  std::size_t omit = 0;           // names left out per group (1 for leave-one-out)
  DrawMode draw = DrawMode::kRandom;
  // One entry per group: the 0-based positions it leaves out, ascending.
  std::vector<std::vector<std::size_t>> groups;
};

// The 0-based positions, ascending, of every name in `names` equal to one of `kept`
// (a name listed twice is kept at both places). Raises a RuntimeError naming the first
// kept name that is not in the list (`list_file` names the list).
std::vector<std::size_t> KeptPositions(const std::vector<std::string>& names,
                                       const std::vector<std::string>& kept,
                                       const std::string& list_file);

// Draws `groups` groups of `omit` names from the `list_size` names whose positions are
// not in `kept` (m names that may be left out), in one of the ways that draw:
// - kRandom: for each group the first `omit` entries of a random permutation of 1..m
//   are drawn, sorted, and mapped to those names' positions in list order: with nothing
//   kept, exactly the groups the generator's Save writes from the same state;
// - kDistinct: the same draws, a group equal to an earlier one skipped, until `groups`
//   groups differ;
// - kBalanced: consecutive runs of `omit` names from a stream of permutations of 1..m.
// REQUIRES: `mode` draws; omit and groups are whole numbers from 0 to 2^32 - 1,
// omit <= m, groups <= kMaxGroups and omit * groups <= kMaxOmittedEntries; for
// kDistinct, more than `groups` groups of `omit` can be formed and the draws expected
// (DistinctDrawsExpected) times `omit` are at most kMaxDistinctDrawEntries. Otherwise
// raises a RuntimeError saying which, and draws nothing.
Design DrawDesign(std::size_t list_size, std::vector<std::size_t> kept, double omit, double groups,
                  DrawMode mode = DrawMode::kRandom);

// Bound on the work of kDistinct: the permutations it expects to draw, times the names
// each draws.
inline constexpr double kMaxDistinctDrawEntries = 2.0 * kMaxOmittedEntries;

// The number of groups of k names that n names form, C(n, k); kCombinationsCap for any
// number from kCombinationsCap up.
inline constexpr std::uint64_t kCombinationsCap = std::uint64_t{1} << 62;
std::uint64_t CombinationCount(std::size_t n, std::size_t k);

// The permutations kDistinct expects to draw for `groups` groups out of `combinations`
// possible ones: the sum of combinations / (combinations - i) for i = 0 .. groups - 1.
// REQUIRES: groups < combinations.
double DistinctDrawsExpected(std::uint64_t combinations, std::size_t groups);

// Every group of `omit` names from those not kept, once, in lexicographic order of their
// positions (list order). Draws nothing. REQUIRES: as DrawDesign's counts, the number of
// groups being C(m, omit); otherwise raises a RuntimeError saying which.
Design AllCombinations(std::size_t list_size, std::vector<std::size_t> kept, double omit);

// Leave-one-out: one group per name not kept, each leaving out that name alone, in list
// order. Draws nothing.
Design LeaveOneOut(std::size_t list_size, std::vector<std::size_t> kept);

// How a design turned out: its groups, how many of them differ (as sets of names), and
// the fewest and most times a name that may be left out is left out (0 and 0 when no
// name may be).
struct DesignSummary {
  std::size_t groups = 0;
  std::size_t distinct = 0;
  std::size_t omitted_least = 0;
  std::size_t omitted_most = 0;
};
DesignSummary Summarize(const Design& design);

// The summary as one line for standard error, ending in a line break:
// "design: 50 groups, 33 distinct; each taxon left out 4 to 14 times" ("each taxon not
// kept" with kept names; "no taxon may be left out" when none may).
std::string SummaryLine(const Design& design);

// The label of group `group` (1-based) of a design of `groups` groups: "group" and the
// number padded with zeros to the width of `groups`, at least 3 digits ("group001" and
// "group999" of 999 groups, "group0001" and "group1200" of 1,200), so that sorting the
// labels sorts the groups.
std::string GroupLabel(std::size_t group, std::size_t groups);

// One flag per name, set for the names group `group` (0-based) leaves out.
std::vector<bool> OmittedFlags(const Design& design, std::size_t group);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_DESIGN_H_
