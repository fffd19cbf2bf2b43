// Units and window geometry as pure functions: rectangles in pixels read and written in
// inches, centimeters, points, characters or normalized units, and a figure's drawing
// area grown into its window (and back) by the window frame.
//
// Nothing here asks the window system: callers pass the screen facts they hold. All
// rectangles are [left bottom width height] with the vertical axis up.
//
// Threading: pure functions, safe anywhere.
#ifndef DROPKIT_GUI_UNITS_H_
#define DROPKIT_GUI_UNITS_H_

#include <string_view>

#include "gui/window_system.h"

namespace dk::internal {

// A character cell, in multiples of the font size (points): half as wide and 1.2 times
// as tall.
inline constexpr double kCharacterWidth = 0.5;
inline constexpr double kCharacterHeight = 1.2;

// How a unit measures: one unit is `x` pixels wide and `y` pixels tall, and the unit's
// coordinates are 0 at the pixel coordinates (origin_x, origin_y).
struct Scale {
  double x = 1;
  double y = 1;
  double origin_x = 0;
  double origin_y = 0;
};

// What a unit is measured against, in pixels.
struct UnitBasis {
  double pixels_per_inch = 96;
  double font_size = 8;  // points: a character cell follows it
  // Where every unit but pixels counts from: the screen's lower-left corner for figures
  // and the root, 0 for controls (already measured from their parent).
  double origin_x = 0;
  double origin_y = 0;
  // What "normalized" counts as 1: the screen for figures and the root, the drawing area
  // of the control's figure for controls.
  double area_width = 1;
  double area_height = 1;
};

// The scale of `units` ("pixels", "normalized", "inches", "centimeters", "points",
// "characters"; exact lower-case names) on `basis`. "pixels" is always the identity,
// whatever the basis. Raises RuntimeError naming the units for any other name.
Scale ScaleOf(std::string_view units, const UnitBasis& basis);

// A pixel rectangle in the units `scale` measures, and back. FromUnits(ToUnits(r, s), s)
// is r up to rounding for any scale with nonzero sizes.
Rect ToUnits(const Rect& pixels, const Scale& scale);
Rect FromUnits(const Rect& units, const Scale& scale);

// A figure's window rectangle from its drawing area: grown by the frame on each side
// (title bar included in frame.top). Shrink is its inverse.
Rect Grow(const Rect& inner, const FrameSize& frame);
Rect Shrink(const Rect& outer, const FrameSize& frame);

}  // namespace dk::internal

#endif  // DROPKIT_GUI_UNITS_H_
