// A small SVG writer for trees: a rectangular phylogram when every branch has a length,
// a cladogram (tips aligned) otherwise. Pure functions: the same tree gives the same
// bytes, and no font is looked at.
//
// Width rule. All text is set in kSvgFontFamily, monospace fonts that advance at most
// 0.603 em per character (DejaVu Sans Mono, Menlo 0.602; Liberation Mono, Courier New
// 0.600; Consolas 0.550). A character below U+0530 (Latin, Greek, Cyrillic) is taken as
// kSvgCharEm em wide, any other (drawn from a fallback font, up to 1 em) as twice that;
// a text reaches kSvgAscentEm em above its baseline (accented capitals too) and
// kSvgDescentEm em below.
//
// Layout. Tips are kSvgTipPitch px apart, names at kSvgTipFont px 5 px right of their
// tip; the root is 480 px left of the farthest tip; the picture reaches 20 px past the
// end of the longest text, so names are never cut.
//
// Inner labels, nodes in preorder: each goes to the first of these spots where its box
// is inside the picture and 1.5 px clear of every line, name, title and earlier label,
// trying each spot at 10 px, then 9, 8 and 7 px before the next:
//   1. above the branch leading to the node, ending 3 px left of the node;
//   2. below that branch, as far left;
//   3. right of the node, starting 3 px from it, centred on its row (between children);
//   4. on the node's row left of the node, moved left (at most 60 px) just past what is
//      in the way.
// A label with no such spot gets a dot on its node instead, the label and its title
// shown on hovering over the dot.
#ifndef DROPKIT_CLADES_SVG_H_
#define DROPKIT_CLADES_SVG_H_

#include <string>
#include <vector>

#include "clades/tree.h"

namespace dk::clades {

inline constexpr const char* kSvgFontFamily =
    "DejaVu Sans Mono, Menlo, Consolas, Liberation Mono, Courier New, monospace";
inline constexpr double kSvgCharEm = 0.62;
inline constexpr double kSvgAscentEm = 0.95;
inline constexpr double kSvgDescentEm = 0.25;
inline constexpr double kSvgTipPitch = 18;
inline constexpr double kSvgTipFont = 12;

// The width in px of `text` (UTF-8, not escaped) at `font_size` px by the width rule; a
// byte that XmlEscape replaces counts as one character.
double SvgTextWidth(const std::string& text, double font_size);

// `text` fit for XML character data and double-quoted attributes: &, <, > and " as
// entities; control characters (below U+0020), U+FFFE, U+FFFF and bytes that are not
// valid UTF-8 each replaced by '?'.
std::string XmlEscape(const std::string& text);

// What is drawn at an inner node: `text` beside the branch leading to it ("" for none),
// and `title` shown on hovering over the text ("" for none).
struct NodeLabel {
  std::string text;
  std::string title;
};

// The SVG document of `tree`: tip names at the leaves, `labels[v]` at each inner node v
// but the root (the labels of the root and the leaves are not drawn), `title` on top.
// REQUIRES: labels.size() == tree.size().
std::string DrawTreeSvg(const Tree& tree, const std::vector<NodeLabel>& labels,
                        const std::string& title);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_SVG_H_
