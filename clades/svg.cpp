#include "clades/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dk::clades {
namespace {

constexpr double kMargin = 20;
constexpr double kRow = 20;         // vertical distance between tips
constexpr double kTreeWidth = 480;  // root to the farthest tip
constexpr double kFont = 13;
constexpr double kSmallFont = 11;
constexpr double kCharWidth = 0.62;  // of the font size, a generous average

std::string Num(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", x);
  return buf;
}

std::size_t Chars(const std::string& utf8) {
  std::size_t n = 0;
  for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// A round length for the scale bar: 1, 2 or 5 times a power of ten, near a fifth of `max`.
double ScaleLength(double max) {
  const double target = max / 5;
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  for (const double step : {1.0, 2.0, 5.0})
    if (step * power >= target) return step * power;
  return 10 * power;
}

}  // namespace

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (const char c : text) {
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

std::string DrawTreeSvg(const Tree& tree, const std::vector<std::string>& branch_label,
                        const std::string& title) {
  const std::size_t n = tree.size();
  const Children children(tree);
  bool phylogram = n > 1;
  for (std::size_t v = 1; v < n; ++v)
    phylogram = phylogram && std::isfinite(tree.length[v]) && tree.length[v] >= 0;

  // Horizontal place: the distance from the root (phylogram), or the number of steps
  // above the deepest tip below, counted from the tips (cladogram).
  std::vector<double> x(n, 0);
  double max_x = 0;
  if (phylogram) {
    for (std::size_t v = 1; v < n; ++v) x[v] = x[std::size_t(tree.parent[v])] + tree.length[v];
  } else {
    std::vector<double> height(n, 0);
    for (std::size_t v = n; v-- > 1;) {
      double& up = height[std::size_t(tree.parent[v])];
      up = std::max(up, height[v] + 1);
    }
    for (std::size_t v = 0; v < n; ++v) x[v] = height[0] - height[v];
  }
  for (std::size_t v = 0; v < n; ++v) max_x = std::max(max_x, x[v]);
  const double scale = max_x > 0 ? kTreeWidth / max_x : 0;

  // Vertical place: tips one row apart in order; an inner node midway between its first
  // and last child.
  const double top = kMargin + 2 * kFont;
  std::vector<double> y(n, 0);
  std::size_t tips = 0;
  std::size_t longest = 0;
  for (std::size_t v = 0; v < n; ++v) {
    if (children.count(int(v)) == 0) {
      y[v] = top + kRow * double(tips++);
      longest = std::max(longest, Chars(tree.label[v]));
    }
  }
  for (std::size_t v = n; v-- > 0;) {
    if (children.count(int(v)) == 0) continue;
    y[v] =
        (y[std::size_t(*children.begin(int(v)))] + y[std::size_t(*(children.end(int(v)) - 1))]) / 2;
  }

  auto px = [&](std::size_t v) { return kMargin + x[v] * scale; };
  const double width = 2 * kMargin + kTreeWidth + 6 + kCharWidth * kFont * double(longest);
  const double height = top + kRow * double(tips) + (phylogram ? 2 * kRow : kRow);

  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(width) + "\" height=\"" +
         Num(height) + "\" viewBox=\"0 0 " + Num(width) + " " + Num(height) + "\">\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  out += "<g font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\" font-size=\"" + Num(kFont) +
         "\">\n";
  out += "<text x=\"" + Num(kMargin) + "\" y=\"" + Num(kMargin + kFont) +
         "\" font-weight=\"bold\">" + XmlEscape(title) + "</text>\n";
  out += "<g stroke=\"black\" stroke-width=\"1.5\" stroke-linecap=\"square\" fill=\"none\">\n";
  for (std::size_t v = 0; v < n; ++v) {
    if (v > 0) {
      const double x0 = px(std::size_t(tree.parent[v]));
      out += "<line x1=\"" + Num(x0) + "\" y1=\"" + Num(y[v]) + "\" x2=\"" + Num(px(v)) +
             "\" y2=\"" + Num(y[v]) + "\"/>\n";
    }
    if (children.count(int(v)) > 1) {
      out += "<line x1=\"" + Num(px(v)) + "\" y1=\"" +
             Num(y[std::size_t(*children.begin(int(v)))]) + "\" x2=\"" + Num(px(v)) + "\" y2=\"" +
             Num(y[std::size_t(*(children.end(int(v)) - 1))]) + "\"/>\n";
    }
  }
  out += "</g>\n";
  for (std::size_t v = 0; v < n; ++v) {
    if (children.count(int(v)) == 0) {
      out += "<text x=\"" + Num(px(v) + 5) + "\" y=\"" + Num(y[v] + kFont * 0.35) + "\">" +
             XmlEscape(tree.label[v]) + "</text>\n";
    } else if (v > 0 && !branch_label[v].empty()) {
      out += "<text x=\"" + Num(px(v) - 3) + "\" y=\"" + Num(y[v] - 4) + "\" font-size=\"" +
             Num(kSmallFont) +
             "\" fill=\"#1f5fa8\" text-anchor=\"end\" stroke=\"white\" stroke-width=\"3\" "
             "paint-order=\"stroke\">" +
             XmlEscape(branch_label[v]) + "</text>\n";
    }
  }
  if (phylogram && max_x > 0) {
    const double bar = ScaleLength(max_x);
    const double by = top + kRow * double(tips);
    char text[32];
    std::snprintf(text, sizeof text, "%g", bar);
    out += "<line x1=\"" + Num(kMargin) + "\" y1=\"" + Num(by) + "\" x2=\"" +
           Num(kMargin + bar * scale) + "\" y2=\"" + Num(by) + "\" stroke=\"black\"/>\n";
    out += "<text x=\"" + Num(kMargin + bar * scale + 5) + "\" y=\"" + Num(by + kSmallFont * 0.35) +
           "\" font-size=\"" + Num(kSmallFont) + "\">" + text + "</text>\n";
  }
  out += "</g>\n</svg>\n";
  return out;
}

}  // namespace dk::clades
