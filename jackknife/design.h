// A jackknife design: which taxa each group leaves out.
//
// Groups are drawn with the run-time's random generator (platform/random.h) as it
// stands, so the caller decides how it was started. docs/random.md says exactly how a
// design follows from the seed.
#ifndef DROPKIT_JACKKNIFE_DESIGN_H_
#define DROPKIT_JACKKNIFE_DESIGN_H_

#include <cstddef>
#include <string>
#include <vector>

namespace dk {

// Bounds on a design held in memory: the number of groups, and of names left out over
// all groups together.
inline constexpr std::size_t kMaxGroups = 1000000;
inline constexpr std::size_t kMaxOmittedEntries = 10000000;

struct Design {
  std::size_t list_size = 0;
  std::vector<std::size_t> kept;  // 0-based positions never left out, ascending
  std::size_t omit = 0;           // names left out per group (1 for leave-one-out)
  bool each = false;              // leave-one-out
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
// not in `kept`. For each group the first `omit` entries of a random permutation of
// 1..m (m names that may be left out) are drawn, sorted, and mapped to those names'
// positions in list order: with nothing kept, exactly the groups the generator's Save
// writes from the same state.
// REQUIRES: omit and groups are whole numbers from 0 to 2^32 - 1, omit <= m,
// groups <= kMaxGroups and omit * groups <= kMaxOmittedEntries; otherwise raises a
// RuntimeError saying which, and draws nothing.
Design DrawDesign(std::size_t list_size, std::vector<std::size_t> kept, double omit, double groups);

// Leave-one-out: one group per name not kept, each leaving out that name alone, in list
// order. Draws nothing.
Design LeaveOneOut(std::size_t list_size, std::vector<std::size_t> kept);

// The label of group `group` (1-based) of a design of `groups` groups: "group" and the
// number padded with zeros to the width of `groups`, at least 3 digits ("group001" and
// "group999" of 999 groups, "group0001" and "group1200" of 1,200), so that sorting the
// labels sorts the groups.
std::string GroupLabel(std::size_t group, std::size_t groups);

// One flag per name, set for the names group `group` (0-based) leaves out.
std::vector<bool> OmittedFlags(const Design& design, std::size_t group);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_DESIGN_H_
