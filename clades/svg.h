// A small SVG writer for trees: a rectangular phylogram when every branch has a length,
// a cladogram (tips aligned) otherwise. The picture needs no installed font: text widths
// are estimated from the number of characters.
#ifndef DROPKIT_CLADES_SVG_H_
#define DROPKIT_CLADES_SVG_H_

#include <string>
#include <vector>

#include "clades/tree.h"

namespace dk::clades {

// `text` with &, <, > and " written as XML entities.
std::string XmlEscape(const std::string& text);

// The SVG document of `tree`: tip names at the leaves, `branch_label[v]` (may be "")
// above the branch leading to node v, `title` on top. `branch_label` has one entry per
// node.
std::string DrawTreeSvg(const Tree& tree, const std::vector<std::string>& branch_label,
                        const std::string& title);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_SVG_H_
