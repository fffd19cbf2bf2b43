// A jackknife design: which names of a list each group leaves out. The one type for a
// design, whether drawn for a run (jackknife/) or read back from its files for clade
// survival (clades/); design/design_files.h reads and writes it.
//
// Plain data and pure functions; no Values.
#ifndef DROPKIT_DESIGN_DESIGN_H_
#define DROPKIT_DESIGN_DESIGN_H_

#include <cstddef>
#include <string>
#include <vector>

namespace dk {

// The most groups a design may have.
inline constexpr std::size_t kMaxGroups = 1000000;

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

  // What a design read from a file (ParseDesign) carries besides its groups; a drawn
  // design leaves these empty, its names being those of the list it was drawn from.
  std::string source;  // the file it came from, for messages
  // The name list in list order. From dropkit.json it is whole; from groups.tsv it holds
  // only the names some group leaves out, each at its place `line` - 1, with "" in the
  // places of names the file does not show, until they are filled in (names_complete).
  std::vector<std::string> names;
  bool names_complete = false;
  // dropkit.json states the number of groups; groups.tsv only shows the largest group
  // number that leaves something out, so more trees than groups may be given.
  bool group_count_exact = false;
  // dropkit.json's record of the tree file each group's job writes, holding {group}
  // ("{group}.treefile"); empty when it has none.
  std::string tree_name;
};

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

// What every group's label starts with (GroupLabel).
inline constexpr char kGroupLabelStart[] = "group";

// The label of group `group` (1-based) of a design of `groups` groups: "group" and the
// number padded with zeros to the width of `groups`, at least 3 digits ("group001" and
// "group999" of 999 groups, "group0001" and "group1200" of 1,200), so that sorting the
// labels sorts the groups.
std::string GroupLabel(std::size_t group, std::size_t groups);

// One flag per name, set for the names group `group` (0-based) leaves out.
std::vector<bool> OmittedFlags(const Design& design, std::size_t group);

}  // namespace dk

#endif  // DROPKIT_DESIGN_DESIGN_H_
