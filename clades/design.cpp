#include "clades/design.h"

#include "base/errors.h"
#include "clades/names.h"

namespace dk::clades {
namespace {}  // namespace

void CompleteNames(Design& design, const std::vector<std::string>& reference_taxa,
                   const std::string& reference_source) {
  if (design.names_complete) return;
  if (design.names.size() > reference_taxa.size())
    Raise("The design " + QuoteForMessage(design.source) + " places a name at line " +
          std::to_string(design.names.size()) + " but the reference tree " +
          QuoteForMessage(reference_source) + " has only " + std::to_string(reference_taxa.size()) +
          " taxa");
  const NameIndex known(design.names);
  std::vector<bool> found(design.names.size(), false);
  std::vector<std::string> unnamed;
  for (const std::string& label : reference_taxa) {
    const long i = known.Find(label);
    if (i >= 0) {
      found[static_cast<std::size_t>(i)] = true;
    } else {
      unnamed.push_back(UnblankedName(label));
    }
  }
  for (std::size_t i = 0; i < design.names.size(); ++i) {
    if (!design.names[i].empty() && !found[i])
      Raise("The reference tree " + QuoteForMessage(reference_source) + " lacks the taxon " +
            QuoteForMessage(design.names[i]) + " of the design " + QuoteForMessage(design.source));
  }
  design.names.resize(reference_taxa.size());
  std::size_t slot = 0;
  for (std::string& name : unnamed) {
    while (!design.names[slot].empty()) ++slot;
    design.names[slot] = std::move(name);
  }
  design.list_size = design.names.size();
  design.names_complete = true;
}

}  // namespace dk::clades
