#include "clades/tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace dk::clades {
namespace {

// (A:1,(B:2,C:3):4,D:5) with nodes 0 root, 1 A, 2 inner, 3 B, 4 C, 5 D.
Tree Sample() {
  Tree t;
  t.Add(-1, "", NAN);
  t.Add(0, "A", 1);
  t.Add(0, "", 4);
  t.Add(2, "B", 2);
  t.Add(2, "C", 3);
  t.Add(0, "D", 5);
  return t;
}

// The distance from each named leaf to every other, a property rerooting keeps.
std::map<std::pair<std::string, std::string>, double> LeafDistances(const Tree& t) {
  std::map<std::pair<std::string, std::string>, double> out;
  auto to_root = [&](int v) {
    std::vector<std::pair<int, double>> path;  // node, distance from v
    double d = 0;
    for (; v >= 0; v = t.parent[std::size_t(v)]) {
      path.emplace_back(v, d);
      if (t.parent[std::size_t(v)] >= 0) d += t.length[std::size_t(v)];
    }
    return path;
  };
  for (const int a : Leaves(t)) {
    for (const int b : Leaves(t)) {
      const auto pa = to_root(a), pb = to_root(b);
      for (const auto& [na, da] : pa) {
        const auto node = na;
        const auto it =
            std::find_if(pb.begin(), pb.end(), [node](auto& x) { return x.first == node; });
        if (it == pb.end()) continue;
        out[{t.label[std::size_t(a)], t.label[std::size_t(b)]}] = da + it->second;
        break;
      }
    }
  }
  return out;
}

TEST(Tree, ChildrenAndLeavesKeepTheFileOrder) {
  const Tree t = Sample();
  const Children kids(t);
  EXPECT_EQ(std::vector<int>(kids.begin(0), kids.end(0)), (std::vector<int>{1, 2, 5}));
  EXPECT_EQ(std::vector<int>(kids.begin(2), kids.end(2)), (std::vector<int>{3, 4}));
  EXPECT_EQ(kids.count(3), 0u);
  EXPECT_EQ(Leaves(t), (std::vector<int>{1, 3, 4, 5}));
}

TEST(Reroot, MovesTheRootAndKeepsEveryLeafToLeafDistance) {
  const Tree t = Sample();
  const Tree r = Reroot(t, 2);  // the parent of B and C
  EXPECT_EQ(r.size(), t.size());
  for (std::size_t v = 1; v < r.size(); ++v) EXPECT_LT(r.parent[v], int(v));
  // The former parent comes first: (( A, D ):4, B, C)
  EXPECT_EQ(r.label[1], "");
  EXPECT_DOUBLE_EQ(r.length[1], 4);
  EXPECT_EQ(LeafDistances(r), LeafDistances(t));
}

TEST(Reroot, RemovesAFormerRootOfDegreeTwoAndJoinsItsBranches) {
  // ((A:1,B:1):2,(C:1,D:1):3): rerooted at the parent of A, the old root's two branches
  // become one of length 5.
  Tree t;
  t.Add(-1, "", NAN);
  t.Add(0, "", 2);
  t.Add(1, "A", 1);
  t.Add(1, "B", 1);
  t.Add(0, "", 3);
  t.Add(4, "C", 1);
  t.Add(4, "D", 1);
  const Tree r = Reroot(t, 1);
  EXPECT_EQ(r.size(), t.size() - 1);
  EXPECT_EQ(LeafDistances(r), LeafDistances(t));
  EXPECT_EQ(Children(r).count(0), 3u);
}

}  // namespace
}  // namespace dk::clades
