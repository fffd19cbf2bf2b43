#include "clades/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/utf8.h"

namespace dk::clades {
namespace {

constexpr double kMargin = 20;
constexpr double kTreeWidth = 480;  // from the root to the farthest tip
constexpr double kLabelFont = 10;
constexpr double kLabelFloor = 7;
constexpr double kTitleFont = 13;
constexpr double kStroke = 1.5;
constexpr double kClear = 1.5;       // between a text's box and anything else
constexpr double kNameGap = 5;       // from a tip to its name
constexpr double kLabelGap = 3;      // from a label's right end to its node
constexpr double kSlide = 60;        // how far a label on its node's row may go left
constexpr double kDot = 2;           // the radius of the dot of a label that fits nowhere
constexpr double kWideFrom = 0x530;  // characters from here on count twice

std::string Num(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", x);
  return buf;
}

// A rectangle in picture coordinates (y grows downwards).
struct Box {
  double left, top, right, bottom;
};

bool Near(const Box& a, const Box& b) {
  return a.left < b.right + kClear && b.left < a.right + kClear && a.top < b.bottom + kClear &&
         b.top < a.bottom + kClear;
}

// What a line of width kStroke with square caps covers.
Box LineBox(double x1, double y1, double x2, double y2) {
  const double h = kStroke / 2;
  return {std::min(x1, x2) - h, std::min(y1, y2) - h, std::max(x1, x2) + h, std::max(y1, y2) + h};
}

// The box of `text` at `size` px with its baseline at `baseline`, starting at `x` or, with
// `end`, ending there.
Box TextBox(const std::string& text, double size, double x, double baseline, bool end) {
  const double w = SvgTextWidth(text, size);
  const double left = end ? x - w : x;
  return {left, baseline - kSvgAscentEm * size, left + w, baseline + kSvgDescentEm * size};
}

// A round length for the scale bar: 1, 2 or 5 times a power of ten, near a fifth of `max`.
double ScaleLength(double max) {
  const double target = max / 5;
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  for (const double step : {1.0, 2.0, 5.0})
    if (step * power >= target) return step * power;
  return 10 * power;
}

std::string Line(double x1, double y1, double x2, double y2) {
  return "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
         Num(y2) + "\"/>\n";
}

// Where an inner label may go: above (-1) or below (1) the horizontal line at `line_y`,
// or centred on it (0); ending at `at_x` (`end`) or starting there; with `slide` > 0, as
// little left of `at_x` (up to `slide`) as keeps it clear.
struct Spot {
  double at_x, line_y;
  int side;
  bool end;
  double slide;
};

double Baseline(const Spot& spot, double size) {
  const double edge = kStroke / 2 + kClear + 0.5;  // from the line to the box
  if (spot.side < 0) return spot.line_y - edge - kSvgDescentEm * size;
  if (spot.side > 0) return spot.line_y + edge + kSvgAscentEm * size;
  return spot.line_y + (kSvgAscentEm - kSvgDescentEm) / 2 * size;
}

std::string Title(const std::string& title) {
  return title.empty() ? "" : "<title>" + XmlEscape(title) + "</title>";
}

// The element that draws `label` of the node at (`node_x`, `node_y`): a text at the first
// clear spot (svg.h gives the order), or a dot. Adds what it draws to `taken`.
std::string PlaceLabel(const NodeLabel& label, double node_x, double node_y, const Box& picture,
                       std::vector<Box>& taken) {
  auto free = [&](const Box& box) {
    return box.left >= picture.left + kClear && box.right <= picture.right - kClear &&
           box.top >= picture.top + kClear && box.bottom <= picture.bottom - kClear &&
           std::none_of(taken.begin(), taken.end(), [&](const Box& b) { return Near(box, b); });
  };
  const Spot spots[] = {{node_x - kLabelGap, node_y, -1, true, 0},
                        {node_x - kLabelGap, node_y, 1, true, 0},
                        {node_x + kLabelGap, node_y, 0, false, 0},
                        {node_x - kLabelGap, node_y, 0, true, kSlide}};
  for (const Spot& spot : spots) {
    for (double size = kLabelFont; size >= kLabelFloor; --size) {
      const double baseline = Baseline(spot, size);
      // From the spot leftwards (when sliding), to just left of whatever is in the way.
      for (double at = spot.at_x; at >= spot.at_x - spot.slide;) {
        const Box box = TextBox(label.text, size, at, baseline, spot.end);
        if (free(box)) {
          taken.push_back(box);
          return "<text x=\"" + Num(at) + "\" y=\"" + Num(baseline) + "\" font-size=\"" +
                 Num(size) + (spot.end ? "\" text-anchor=\"end\">" : "\">") + Title(label.title) +
                 XmlEscape(label.text) + "</text>\n";
        }
        if (spot.slide == 0 || box.left < picture.left + kClear) break;
        for (const Box& b : taken)
          if (Near(box, b)) at = std::min(at, b.left - kClear - 0.01);
      }
    }
  }
  taken.push_back({node_x - kDot, node_y - kDot, node_x + kDot, node_y + kDot});
  return "<circle cx=\"" + Num(node_x) + "\" cy=\"" + Num(node_y) + "\" r=\"" + Num(kDot) + "\">" +
         Title(label.title.empty() ? label.text : label.text + ": " + label.title) + "</circle>\n";
}

}  // namespace

double SvgTextWidth(const std::string& text, double font_size) {
  const std::u16string units = DecodeUtf8(text);
  double cells = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    const bool pair = u >= 0xD800 && u < 0xDC00 && i + 1 < units.size();
    const bool escaped_byte = u >= 0xDC80 && u <= 0xDCFF;
    cells += (escaped_byte || u < kWideFrom) ? 1 : 2;
    i += pair;
  }
  return cells * kSvgCharEm * font_size;
}

std::string XmlEscape(const std::string& text) {
  const std::u16string units = DecodeUtf8(text);
  std::u16string clean;
  clean.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size()) {  // a pair from valid UTF-8
      clean += units.substr(i++, 2);
    } else if (u < 0x20 || (u >= 0xDC00 && u <= 0xDFFF) || u == 0xFFFE || u == 0xFFFF) {
      clean += u'?';
    } else {
      clean += u;
    }
  }
  std::string out;
  for (const char c : EncodeUtf8(clean)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string DrawTreeSvg(const Tree& tree, const std::vector<NodeLabel>& labels,
                        const std::string& title) {
  const std::size_t n = tree.size();
  const Children children(tree);
  auto leaf = [&](std::size_t v) { return children.count(int(v)) == 0; };
  auto first = [&](std::size_t v) { return std::size_t(*children.begin(int(v))); };
  auto last = [&](std::size_t v) { return std::size_t(*(children.end(int(v)) - 1)); };
  bool phylogram = n > 1;
  for (std::size_t v = 1; v < n; ++v)
    phylogram = phylogram && std::isfinite(tree.length[v]) && tree.length[v] >= 0;

  // Horizontal place: the distance from the root (phylogram), or the number of steps
  // above the deepest tip below, counted from the tips (cladogram).
  std::vector<double> depth(n, 0);
  if (phylogram) {
    for (std::size_t v = 1; v < n; ++v)
      depth[v] = depth[std::size_t(tree.parent[v])] + tree.length[v];
  } else {
    std::vector<double> height(n, 0);
    for (std::size_t v = n; v-- > 1;) {
      double& up = height[std::size_t(tree.parent[v])];
      up = std::max(up, height[v] + 1);
    }
    for (std::size_t v = 0; v < n; ++v) depth[v] = height[0] - height[v];
  }
  const double max_depth = n > 0 ? *std::max_element(depth.begin(), depth.end()) : 0;
  const double scale = max_depth > 0 ? kTreeWidth / max_depth : 0;
  std::vector<double> x(n);
  for (std::size_t v = 0; v < n; ++v) x[v] = kMargin + depth[v] * scale;

  // Vertical place: tips one pitch apart in order; an inner node midway between its
  // first and last child.
  const double title_baseline = kMargin + kSvgAscentEm * kTitleFont;
  const double top = title_baseline + kSvgDescentEm * kTitleFont + kSvgTipPitch;
  std::vector<double> y(n, 0);
  std::size_t tips = 0;
  for (std::size_t v = 0; v < n; ++v)
    if (leaf(v)) y[v] = top + kSvgTipPitch * double(tips++);
  for (std::size_t v = n; v-- > 0;)
    if (!leaf(v)) y[v] = (y[first(v)] + y[last(v)]) / 2;
  const double bar_y = top + kSvgTipPitch * double(tips);

  // The branches, names, title and scale bar, kept as the boxes the labels must avoid.
  std::vector<Box> taken;
  std::string lines, names, scale_bar;
  for (std::size_t v = 0; v < n; ++v) {
    if (v > 0) {
      const double x0 = x[std::size_t(tree.parent[v])];
      lines += Line(x0, y[v], x[v], y[v]);
      taken.push_back(LineBox(x0, y[v], x[v], y[v]));
    }
    if (children.count(int(v)) > 1) {
      lines += Line(x[v], y[first(v)], x[v], y[last(v)]);
      taken.push_back(LineBox(x[v], y[first(v)], x[v], y[last(v)]));
    }
  }
  Box picture{0, 0, kMargin + kTreeWidth + kMargin, bar_y + kMargin};
  auto text = [&](const std::string& s, double size, double at_x, double baseline,
                  const std::string& attributes) {
    const Box box = TextBox(s, size, at_x, baseline, false);
    taken.push_back(box);
    picture.right = std::max(picture.right, box.right + kMargin);
    return "<text x=\"" + Num(at_x) + "\" y=\"" + Num(baseline) + "\" font-size=\"" + Num(size) +
           "\"" + attributes + ">" + XmlEscape(s) + "</text>\n";
  };
  const std::string heading =
      text(title, kTitleFont, kMargin, title_baseline, " font-weight=\"bold\"");
  for (std::size_t v = 0; v < n; ++v)
    if (leaf(v))
      names += text(tree.label[v], kSvgTipFont, x[v] + kNameGap, y[v] + 0.35 * kSvgTipFont, "");
  if (phylogram && max_depth > 0) {
    const double bar = ScaleLength(max_depth);
    char value[32];
    std::snprintf(value, sizeof value, "%g", bar);
    const double end = kMargin + bar * scale;
    scale_bar = "<line x1=\"" + Num(kMargin) + "\" y1=\"" + Num(bar_y) + "\" x2=\"" + Num(end) +
                "\" y2=\"" + Num(bar_y) + "\" stroke=\"black\"/>\n";
    taken.push_back(LineBox(kMargin, bar_y, end, bar_y));
    scale_bar += text(value, kLabelFont, end + kNameGap, bar_y + 0.35 * kLabelFont, "");
  }

  // The inner labels, nodes in preorder.
  std::string placed;
  for (std::size_t v = 1; v < n; ++v)
    if (!leaf(v) && !labels[v].text.empty())
      placed += PlaceLabel(labels[v], x[v], y[v], picture, taken);

  const std::string width = Num(picture.right), height = Num(picture.bottom);
  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height +
         "\" viewBox=\"0 0 " + width + " " + height + "\">\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  out += "<g font-family=\"" + std::string(kSvgFontFamily) + "\">\n";
  out += heading;
  out += "<g stroke=\"black\" stroke-width=\"" + Num(kStroke) +
         "\" stroke-linecap=\"square\" fill=\"none\">\n" + lines + "</g>\n";
  out += names;
  if (!placed.empty()) out += "<g fill=\"#1f5fa8\">\n" + placed + "</g>\n";
  out += scale_bar;
  out += "</g>\n</svg>\n";
  return out;
}

}  // namespace dk::clades
