#include "clades/names.h"

#include <algorithm>

namespace dk::clades {

std::string BlankedName(std::string_view name) {
  std::string out(name);
  std::replace(out.begin(), out.end(), '_', ' ');
  return out;
}

std::string UnblankedName(std::string_view label) {
  std::string out(label);
  std::replace(out.begin(), out.end(), ' ', '_');
  return out;
}

NameIndex::NameIndex(const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) continue;
    exact_.emplace(names[i], static_cast<long>(i));
    blanked_.emplace(BlankedName(names[i]), static_cast<long>(i));
  }
}

long NameIndex::Find(std::string_view label) const {
  if (const auto it = exact_.find(label); it != exact_.end()) return it->second;
  if (const auto it = blanked_.find(label); it != blanked_.end()) return it->second;
  return -1;
}

}  // namespace dk::clades
