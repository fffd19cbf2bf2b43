// The design files a run writes and `support` reads: groups.tsv (one row per name left
// out) and dropkit.json (the groups with how they were made). docs/jackknife.md gives
// the layout of both, docs/support.md what reading them accepts.
#ifndef DROPKIT_DESIGN_DESIGN_FILES_H_
#define DROPKIT_DESIGN_DESIGN_FILES_H_

#include <cstddef>
#include <string>
#include <vector>

#include "design/design.h"
#include "design/provenance.h"

namespace dk {

// The design files' names in a folder of pruned alignments.
inline constexpr char kGroupsTsvFile[] = "groups.tsv";
inline constexpr char kDesignJsonFile[] = "dropkit.json";

// groups.tsv: a header row "group\tposition\tname\tline", then one row per name left
// out: the group number (1-based), its place in the group, the name, and its line.
std::string GroupsTsv(const std::vector<std::string>& names, const Design& design);

// dropkit.json: the groups with the provenance, pretty-printed with a 2-space indent
// and keys in the documented order (docs/jackknife.md), ending with a line break.
// Raises a RuntimeError when a name or an argument is not valid UTF-8.
std::string DesignJson(const std::vector<std::string>& names, const Design& design,
                       const Provenance& provenance);

// Bounds on a design read from a file.
struct DesignLimits {
  std::size_t taxa = 10'000;     // names in the list
  std::size_t groups = 100'000;  // groups
};

// Reads a design from the bytes of a file called `source`: dropkit.json when the text
// starts with "{", groups.tsv otherwise. Fills `source`, `names`, `list_size` (the
// names' count), `groups` and the facts of a file (names_complete, group_count_exact,
// tree_name); the counts and the way of drawing are not read. Raises an error naming
// the file, and the line or the key, on any departure from the format: an unknown
// "format" or "format_version", a group naming a taxon not in "names", a repeated name,
// a name whose line disagrees with another row, a name at a place beyond `limits.taxa`.
Design ParseDesign(const std::string& bytes, const std::string& source, const DesignLimits& limits);

}  // namespace dk

#endif  // DROPKIT_DESIGN_DESIGN_FILES_H_
