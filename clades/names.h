// Matching the names a tree file holds to the names of the design.
//
// NCL reads an unquoted underscore in a tree file as a blank, as Newick and NEXUS say
// it should. A name of the design therefore matches a tree's label when the two are
// equal, or else when the label equals the name with every underscore made a blank.
#ifndef DROPKIT_CLADES_NAMES_H_
#define DROPKIT_CLADES_NAMES_H_

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dk::clades {

// `name` with every underscore replaced by a blank: how NCL reads it unquoted.
std::string BlankedName(std::string_view name);
// `label` with every blank replaced by an underscore: the likely spelling in the file.
std::string UnblankedName(std::string_view label);

// Looks names up by a tree's label. Empty names are skipped.
class NameIndex {
 public:
  explicit NameIndex(const std::vector<std::string>& names);
  // The index of the name that `label` stands for (an exact match first, then a name
  // whose blanked form equals it; the first such name in list order), or -1.
  long Find(std::string_view label) const;

 private:
  // Hashes texts and views alike, so look-ups need no copy of the label.
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using Map = std::unordered_map<std::string, long, Hash, std::equal_to<>>;
  Map exact_;
  Map blanked_;
};

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_NAMES_H_
