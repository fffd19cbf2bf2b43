#include "clades/svg.h"

#include <gtest/gtest.h>

#include <cmath>

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
  const std::string svg = DrawTreeSvg(Small(true), {"", "67%", "", "", ""}, "Title \"x\"");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("</svg>\n"), std::string::npos);
  // Four branches and two vertical joins, plus the scale bar.
  EXPECT_EQ(Count(svg, "<line"), 4u + 2u + 1u);
  EXPECT_NE(svg.find(">A&lt;&amp;&gt;</text>"), std::string::npos);
  EXPECT_NE(svg.find(">67%</text>"), std::string::npos);
  EXPECT_NE(svg.find(">Title &quot;x&quot;</text>"), std::string::npos);
  EXPECT_EQ(svg.find("<&>"), std::string::npos);
}

TEST(Svg, PhylogramPlacesTipsByLengthAndCladogramAlignsThem) {
  auto tip_x = [](const std::string& svg, const std::string& name) {
    const std::size_t end = svg.find(">" + name + "</text>");
    const std::size_t start = svg.rfind("<text x=\"", end);
    return std::stod(svg.substr(start + 9));
  };
  const std::string phylo = DrawTreeSvg(Small(true), std::vector<std::string>(5), "");
  // A at depth 2, B and C at depth 3 of 3.
  EXPECT_GT(tip_x(phylo, "B") - tip_x(phylo, "A&lt;&amp;&gt;"), 100);
  EXPECT_DOUBLE_EQ(tip_x(phylo, "B"), tip_x(phylo, "C"));
  const std::string clado = DrawTreeSvg(Small(false), std::vector<std::string>(5), "");
  EXPECT_DOUBLE_EQ(tip_x(clado, "A&lt;&amp;&gt;"), tip_x(clado, "C"));
  EXPECT_EQ(Count(clado, "<line"), 6u);  // no scale bar
}

}  // namespace
}  // namespace dk::clades
