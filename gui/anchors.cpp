#include "gui/anchors.h"

#include <algorithm>

#include "gui/graphics.h"

namespace dk::internal {

std::optional<Anchor> ParseAnchor(std::string_view text) {
  Anchor a{false, false, false, false};
  bool* const edges[] = {&a.left, &a.right, &a.bottom, &a.top};
  constexpr std::string_view kNames[] = {"left", "right", "bottom", "top"};
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    const std::size_t end = std::min(text.find_first_of(" \t", i), text.size());
    const std::string_view word = text.substr(i, end - i);
    bool known = false;
    for (std::size_t e = 0; e < 4; ++e) {
      if (SamePropertyName(word, kNames[e])) {
        if (*edges[e]) return std::nullopt;  // named twice
        *edges[e] = known = true;
      }
    }
    if (!known) return std::nullopt;
    i = end;
  }
  if (!(a.left || a.right) || !(a.bottom || a.top)) return std::nullopt;
  return a;
}

std::string AnchorText(const Anchor& a) {
  std::string out;
  const auto add = [&out](bool on, const char* name) {
    if (!on) return;
    if (!out.empty()) out += ' ';
    out += name;
  };
  add(a.left, "left");
  add(a.right, "right");
  add(a.bottom, "bottom");
  add(a.top, "top");
  return out;
}

Rect Anchored(const Rect& placed, const Size& placed_in, const Size& now, const Anchor& a) {
  Rect r = placed;
  const double wider = now.width - placed_in.width;
  const double taller = now.height - placed_in.height;
  if (StretchesAcross(a)) {
    r.width = std::max(0.0, placed.width + wider);
  } else if (a.right) {
    r.left = placed.left + wider;
  }
  if (StretchesUp(a)) {
    r.height = std::max(0.0, placed.height + taller);
  } else if (a.top) {
    r.bottom = placed.bottom + taller;
  }
  return r;
}

}  // namespace dk::internal
