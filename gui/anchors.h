// How a control follows a resize of what holds it, as pure functions: its "Anchor"
// names the edges of the parent's area it keeps its distance to. Anchored to one of
// two opposite edges, it keeps its size and its distance to that edge; anchored to
// both, it keeps both distances and so stretches and shrinks with the area.
//
// Threading: pure functions, safe anywhere.
#ifndef DROPKIT_GUI_ANCHORS_H_
#define DROPKIT_GUI_ANCHORS_H_

#include <optional>
#include <string>
#include <string_view>

#include "gui/window_system.h"

namespace dk::internal {

struct Anchor {
  bool left = true;
  bool right = false;
  bool bottom = true;
  bool top = false;

  bool operator==(const Anchor&) const = default;
};

// The anchor a text names: blank-separated words "left", "right", "bottom" and "top" in
// any order and letter case, each at most once, naming at least one of left and right
// and at least one of bottom and top ("left bottom", "right top", "left right bottom
// top"). nullopt for any other text.
std::optional<Anchor> ParseAnchor(std::string_view text);

// The canonical text of an anchor: the horizontal edges, then the vertical ones, in the
// order left, right, bottom, top ("left right bottom").
std::string AnchorText(const Anchor& anchor);

// Where a control placed at `placed` (pixels, from the parent's lower-left corner) while
// the parent's area was `placed_in` is shown when the area is `now`. A stretching
// control never gets a negative size (it stays at 0 while the area is too small).
Rect Anchored(const Rect& placed, const Size& placed_in, const Size& now, const Anchor& anchor);

// True when the anchor makes a control stretch with its parent across (left and right)
// or up and down (bottom and top).
inline bool StretchesAcross(const Anchor& a) {
  return a.left && a.right;
}
inline bool StretchesUp(const Anchor& a) {
  return a.bottom && a.top;
}

}  // namespace dk::internal

#endif  // DROPKIT_GUI_ANCHORS_H_
