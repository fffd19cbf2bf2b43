// Drawing a jackknife design (design/design.h): which taxa each group leaves out.
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

#include "design/design.h"

namespace dk {

// Bound on a design held in memory: the names left out over all groups together (the
// groups' own bound is kMaxGroups, design/design.h).
inline constexpr std::size_t kMaxOmittedEntries = 10000000;

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

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_DESIGN_H_
