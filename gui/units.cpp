// Unit and frame conversions of rectangles: pure arithmetic on pixels and screen facts.
#include "gui/units.h"

#include <string>

#include "base/errors.h"

namespace dk::internal {
namespace {

constexpr double kPointsPerInch = 72;
constexpr double kCentimetersPerInch = 2.54;

}  // namespace

Scale ScaleOf(std::string_view units, const UnitBasis& basis) {
  if (units == "pixels") return Scale{};
  Scale s;
  s.origin_x = basis.origin_x;
  s.origin_y = basis.origin_y;
  const double point = basis.pixels_per_inch / kPointsPerInch;
  if (units == "inches") {
    s.x = s.y = basis.pixels_per_inch;
  } else if (units == "centimeters") {
    s.x = s.y = basis.pixels_per_inch / kCentimetersPerInch;
  } else if (units == "points") {
    s.x = s.y = point;
  } else if (units == "characters") {
    s.x = basis.font_size * point * kCharacterWidth;
    s.y = basis.font_size * point * kCharacterHeight;
  } else if (units == "normalized") {
    s.x = basis.area_width;
    s.y = basis.area_height;
  } else {
    Raise("Unknown units \"" + std::string(units) + "\"");
  }
  return s;
}

Rect ToUnits(const Rect& px, const Scale& s) {
  return {(px.left - s.origin_x) / s.x, (px.bottom - s.origin_y) / s.y, px.width / s.x,
          px.height / s.y};
}

Rect FromUnits(const Rect& u, const Scale& s) {
  return {u.left * s.x + s.origin_x, u.bottom * s.y + s.origin_y, u.width * s.x, u.height * s.y};
}

Rect Grow(const Rect& r, const FrameSize& f) {
  return {r.left - f.left, r.bottom - f.bottom, r.width + f.left + f.right,
          r.height + f.top + f.bottom};
}

Rect Shrink(const Rect& r, const FrameSize& f) {
  return {r.left + f.left, r.bottom + f.bottom, r.width - f.left - f.right,
          r.height - f.top - f.bottom};
}

}  // namespace dk::internal
