#include "clades/svg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace dk::clades {
namespace {

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// ((A:1,B:2):1,C:3) with a label on the inner branch.
Tree Small(bool lengths) {
  Tree t;
  const double x = lengths ? 1 : NAN;
  t.Add(-1, "", NAN);
  t.Add(0, "", x);
  t.Add(1, "A<&>", x);
  t.Add(1, "B", lengths ? 2 : NAN);
  t.Add(0, "C", lengths ? 3 : NAN);
  return t;
}

TEST(Svg, DrawsEveryBranchNameAndLabelAndEscapesText) {
  std::vector<NodeLabel> labels(5);
  labels[1] = {"67%", "2 of 3 groups <x>"};
  const std::string svg = DrawTreeSvg(Small(true), labels, "Title \"x\"");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("</svg>\n"), std::string::npos);
  // The fonts the width rule holds for.
  EXPECT_NE(svg.find("font-family=\"" + std::string(kSvgFontFamily) + "\""), std::string::npos);
  // Four branches and two vertical joins, plus the scale bar.
  EXPECT_EQ(Count(svg, "<line"), 4u + 2u + 1u);
  EXPECT_NE(svg.find(">A&lt;&amp;&gt;</text>"), std::string::npos);
  EXPECT_NE(svg.find("><title>2 of 3 groups &lt;x&gt;</title>67%</text>"), std::string::npos);
  EXPECT_NE(svg.find(">Title &quot;x&quot;</text>"), std::string::npos);
  EXPECT_EQ(svg.find("<&>"), std::string::npos);
}

TEST(Svg, EscapingKeepsTheDocumentWellFormedAndWidthsCountCharacters) {
  EXPECT_EQ(XmlEscape("a\tb\x01\x7f"), "a?b?\x7f");
  EXPECT_EQ(XmlEscape("\xC3\xA9t\xC3\xA9 \xFF\xE2\x82"), "\xC3\xA9t\xC3\xA9 ???");
  EXPECT_EQ(XmlEscape("\xEF\xBF\xBF \xF0\x9F\x8C\xB3"), "? \xF0\x9F\x8C\xB3");
  const double em = kSvgCharEm * 10;
  EXPECT_DOUBLE_EQ(SvgTextWidth("\xC3\xA9t\xC3\xA9", 10), 3 * em);              // été: Latin
  EXPECT_DOUBLE_EQ(SvgTextWidth("\xE6\xA8\xB9 \xF0\x9F\x8C\xB3", 10), 5 * em);  // wide ones
  EXPECT_DOUBLE_EQ(SvgTextWidth("a\xFF", 10), 2 * em);
}

TEST(Svg, ALabelThatFitsNowhereBecomesADotCarryingItAsTitle) {
  std::vector<NodeLabel> labels(5);
  labels[1] = {std::string(200, 'x'), "2 of 3 groups"};
  const std::string svg = DrawTreeSvg(Small(true), labels, "");
  EXPECT_EQ(svg.find("xxx</text>"), std::string::npos);
  EXPECT_NE(svg.find("<title>" + labels[1].text + ": 2 of 3 groups</title></circle>"),
            std::string::npos);
}

TEST(Svg, PhylogramPlacesTipsByLengthAndCladogramAlignsThem) {
  auto tip_x = [](const std::string& svg, const std::string& name) {
    const std::size_t end = svg.find(">" + name + "</text>");
    const std::size_t start = svg.rfind("<text x=\"", end);
    return std::stod(svg.substr(start + 9));
  };
  const std::string phylo = DrawTreeSvg(Small(true), std::vector<NodeLabel>(5), "");
  // A at depth 2, B and C at depth 3 of 3.
  EXPECT_GT(tip_x(phylo, "B") - tip_x(phylo, "A&lt;&amp;&gt;"), 100);
  EXPECT_DOUBLE_EQ(tip_x(phylo, "B"), tip_x(phylo, "C"));
  const std::string clado = DrawTreeSvg(Small(false), std::vector<NodeLabel>(5), "");
  EXPECT_DOUBLE_EQ(tip_x(clado, "A&lt;&amp;&gt;"), tip_x(clado, "C"));
  EXPECT_EQ(Count(clado, "<line"), 6u);  // no scale bar
}

// --- Layout at the sizes practitioners meet, checked on the SVG text ---

// A uniform number in [0, 1) from the generator's raw output (the same on every library).
double Unit(std::mt19937& rng) {
  return double(rng() >> 8) / 16777216.0;
}

// A random tree with `tips` named leaves: mostly joins of two random subtrees, some of
// three, and runs that grow one subtree a leaf at a time (caterpillars). Tip branches
// are long or short; a third of the inner ones nearly zero. Names run from 1 to 40
// characters, a few with characters to escape or outside ASCII. Lengths are NaN when
// `lengths` is false.
Tree RandomTree(std::size_t tips, unsigned seed, bool lengths) {
  std::mt19937 rng(seed);
  std::vector<std::vector<std::size_t>> kids(tips);
  std::vector<std::string> name(tips);
  const std::string letters = "abcdefghijklmnopqrstuvwxyz_";
  for (std::size_t i = 0; i < tips; ++i) {
    name[i] = "T" + std::to_string(i);
    const std::size_t extra = rng() % 7 == 0 ? 30 + rng() % 10 : rng() % 12;
    for (std::size_t k = 0; k < extra; ++k) name[i] += letters[rng() % letters.size()];
  }
  name[0] = "Homo \"sapiens\" & <kin>";
  name[tips / 2] = "\xC3\x85ngstr\xC3\xB6m_\xE6\xA8\xB9";  // Ångström_樹
  std::vector<std::size_t> roots(tips);
  for (std::size_t i = 0; i < tips; ++i) roots[i] = i;
  auto take = [&](std::size_t i) {
    const std::size_t v = roots[i];
    roots[i] = roots.back();
    roots.pop_back();
    return v;
  };
  std::size_t spine = tips;  // the subtree a caterpillar run grows, if any
  while (roots.size() > 1) {
    const std::size_t mode = rng() % 10;
    std::vector<std::size_t> join;
    if (mode >= 7 && spine < kids.size()) {
      join.push_back(
          take(std::size_t(std::find(roots.begin(), roots.end(), spine) - roots.begin())));
    }
    const std::size_t k = mode == 6 && roots.size() > 2 ? 3 : 2;
    while (join.size() < k) join.push_back(take(rng() % roots.size()));
    kids.push_back(join);
    roots.push_back(kids.size() - 1);
    spine = kids.size() - 1;
  }
  // Preorder from the last join.
  Tree t;
  std::vector<std::pair<std::size_t, int>> stack = {{kids.size() - 1, -1}};
  while (!stack.empty()) {
    const auto [v, parent] = stack.back();
    stack.pop_back();
    double length = NAN;
    if (lengths) {
      const double u = Unit(rng);
      if (v < tips)
        length = rng() % 3 == 0 ? 0.001 + 0.01 * u : 0.05 + 0.3 * u;
      else
        length = rng() % 3 == 0 ? 1e-6 * u : rng() % 2 == 0 ? 0.002 + 0.01 * u : 0.1 * u;
    }
    const int node = t.Add(parent, v < tips ? name[v] : "", parent < 0 ? NAN : length);
    for (auto k = kids[v].rbegin(); k != kids[v].rend(); ++k) stack.push_back({*k, node});
  }
  return t;
}

std::vector<NodeLabel> RandomLabels(const Tree& tree, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<NodeLabel> labels(tree.size());
  for (NodeLabel& l : labels) {
    const std::size_t testable = 1 + rng() % 9, survived = rng() % (testable + 1);
    l = {std::to_string(100 * survived / testable) + "%",
         std::to_string(survived) + " of " + std::to_string(testable) + " groups"};
  }
  return labels;
}

struct Rect {
  double left, top, right, bottom;
};

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The value of attribute `name` in the tag `tag`, or "" when it has none.
std::string Attribute(const std::string& tag, const std::string& name) {
  const std::size_t at = tag.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  const std::size_t start = at + name.size() + 3;
  return tag.substr(start, tag.find('"', start) - start);
}

std::string Unescape(std::string s) {
  for (const auto& [entity, c] : {std::pair<std::string, std::string>{"&lt;", "<"},
                                  {"&gt;", ">"},
                                  {"&quot;", "\""},
                                  {"&amp;", "&"}})
    for (std::size_t at; (at = s.find(entity)) != std::string::npos;)
      s.replace(at, entity.size(), c);
  return s;
}

// What the SVG draws, as the boxes of its texts and its lines (widened by the largest
// stroke width declared), read from the document alone.
struct Drawing {
  double width = 0, height = 0;
  std::vector<Rect> texts, lines;
  std::vector<double> tip_rows;  // the baselines of the texts at the tip size
  std::size_t labels = 0;        // texts with a hover title
  std::size_t dots = 0;
};

Drawing Read(const std::string& svg) {
  Drawing d;
  const std::size_t svg_at = svg.find("<svg");
  const std::string root = svg.substr(svg_at, svg.find('>', svg_at) - svg_at);
  d.width = std::stod(Attribute(root, "width"));
  d.height = std::stod(Attribute(root, "height"));
  double stroke = 1;
  for (std::size_t at = svg.find("stroke-width=\""); at != std::string::npos;
       at = svg.find("stroke-width=\"", at + 1))
    stroke = std::max(stroke, std::stod(svg.substr(at + 14)));
  for (std::size_t at = svg.find("<line"); at != std::string::npos;
       at = svg.find("<line", at + 1)) {
    const std::string tag = svg.substr(at, svg.find('>', at) - at);
    const double x1 = std::stod(Attribute(tag, "x1")), x2 = std::stod(Attribute(tag, "x2"));
    const double y1 = std::stod(Attribute(tag, "y1")), y2 = std::stod(Attribute(tag, "y2"));
    const double h = stroke / 2;  // square caps reach as far past the ends
    d.lines.push_back(
        {std::min(x1, x2) - h, std::min(y1, y2) - h, std::max(x1, x2) + h, std::max(y1, y2) + h});
  }
  d.dots = Count(svg, "<circle");
  for (std::size_t at = svg.find("<text"); at != std::string::npos;
       at = svg.find("<text", at + 1)) {
    const std::size_t close = svg.find('>', at), end = svg.find("</text>", at);
    const std::string tag = svg.substr(at, close - at);
    std::string content = svg.substr(close + 1, end - close - 1);
    if (content.starts_with("<title>")) {
      content.erase(0, content.find("</title>") + 8);
      ++d.labels;
    }
    const std::string size_text = Attribute(tag, "font-size");
    EXPECT_FALSE(size_text.empty()) << tag;
    if (size_text.empty()) continue;
    const double size = std::stod(size_text), x = std::stod(Attribute(tag, "x"));
    const double baseline = std::stod(Attribute(tag, "y"));
    const double w = SvgTextWidth(Unescape(content), size);
    const std::string anchor = Attribute(tag, "text-anchor");
    EXPECT_TRUE(anchor.empty() || anchor == "end") << tag;
    const double left = anchor == "end" ? x - w : x;
    d.texts.push_back(
        {left, baseline - kSvgAscentEm * size, left + w, baseline + kSvgDescentEm * size});
    if (size == kSvgTipFont) d.tip_rows.push_back(baseline);
  }
  return d;
}

// Every text inside the picture and clear of every other text and every line.
void ExpectReadable(const Drawing& d, const std::string& what) {
  for (std::size_t i = 0; i < d.texts.size(); ++i) {
    const Rect& t = d.texts[i];
    EXPECT_TRUE(t.left >= 0 && t.top >= 0 && t.right <= d.width && t.bottom <= d.height)
        << what << ": text " << i << " leaves the picture";
    for (std::size_t j = i + 1; j < d.texts.size(); ++j)
      EXPECT_FALSE(Overlap(t, d.texts[j])) << what << ": texts " << i << " and " << j;
    for (std::size_t j = 0; j < d.lines.size(); ++j)
      EXPECT_FALSE(Overlap(t, d.lines[j])) << what << ": text " << i << " and line " << j;
  }
}

TEST(Svg, NoTextOverlapsAnotherOrABranchAtTenToFiveHundredTips) {
  double last_height = 0;
  std::size_t last_tips = 0;
  for (const std::size_t tips : {10u, 123u, 500u}) {
    for (const bool lengths : {true, false}) {
      const std::string what = std::to_string(tips) + (lengths ? " tips" : " tips, no lengths");
      const Tree tree = RandomTree(tips, unsigned(tips), lengths);
      const std::vector<NodeLabel> labels = RandomLabels(tree, 7);
      const std::string svg = DrawTreeSvg(tree, labels, "Clade survival in 12 groups");
      EXPECT_EQ(svg, DrawTreeSvg(tree, labels, "Clade survival in 12 groups")) << what;
      const Drawing d = Read(svg);
      ExpectReadable(d, what);
      // Every inner node but the root has its label, as text or (none fitting) as a dot.
      const std::size_t inner = tree.size() - tips - 1;
      EXPECT_EQ(d.labels + d.dots, inner) << what;
      EXPECT_LE(d.dots * 20, inner) << what;  // these trees are harder than most
      // Tips a fixed pitch apart, and the picture as much taller.
      ASSERT_EQ(d.tip_rows.size(), tips) << what;
      for (std::size_t i = 1; i < tips; ++i)
        EXPECT_NEAR(d.tip_rows[i] - d.tip_rows[i - 1], kSvgTipPitch, 0.11) << what;
      if (!lengths) continue;
      if (last_tips > 0) {
        EXPECT_NEAR(d.height - last_height, kSvgTipPitch * double(tips - last_tips), 0.11);
      }
      last_height = d.height;
      last_tips = tips;
    }
  }
}

}  // namespace
}  // namespace dk::clades
