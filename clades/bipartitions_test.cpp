// Checks the clade counts against a brute-force definition written here from scratch:
// trees as parent pointers, the leaf set below each branch found by walking up from
// every leaf, sides as std::set, restriction by plain set operations.
#include "clades/bipartitions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "clades/support.h"

namespace dk::clades {
namespace {

using TaxonSet = std::set<int>;

// A tree as the test knows it: parent pointers (root: -1) and the taxon of each leaf.
struct RawTree {
  std::vector<int> parent;
  std::vector<int> taxon;  // -1 for inner nodes
};

// A random tree over `taxa`: random joins of two or three subtrees, then some inner
// branches collapsed into polytomies.
RawTree RandomTree(const std::vector<int>& taxa, std::mt19937& rng) {
  RawTree t;
  std::vector<int> roots;
  for (const int x : taxa) {
    t.parent.push_back(-1);
    t.taxon.push_back(x);
    roots.push_back(int(t.parent.size()) - 1);
  }
  while (roots.size() > 1) {
    std::shuffle(roots.begin(), roots.end(), rng);
    const std::size_t k = std::min<std::size_t>(roots.size(), 2 + (rng() % 4 == 0));
    const int node = int(t.parent.size());
    t.parent.push_back(-1);
    t.taxon.push_back(-1);
    for (std::size_t i = 0; i < k; ++i) {
      t.parent[std::size_t(roots.back())] = node;
      roots.pop_back();
    }
    roots.push_back(node);
  }
  // Collapse about a fifth of the inner branches.
  for (std::size_t v = 0; v < t.parent.size(); ++v) {
    const int p = t.parent[v];
    if (t.taxon[v] >= 0 || p < 0 || rng() % 5 != 0) continue;
    for (int& q : t.parent)
      if (q == int(v)) q = p;
    t.parent[v] = -2;  // removed
  }
  return t;
}

// `t` keeping only the leaves of `keep`; inner nodes left without leaves go, inner nodes
// left with one child stay (a degree-two node).
RawTree Prune(const RawTree& t, const TaxonSet& keep) {
  std::vector<bool> used(t.parent.size(), false);
  for (std::size_t v = 0; v < t.parent.size(); ++v) {
    if (t.parent[v] == -2 || t.taxon[v] < 0 || !keep.count(t.taxon[v])) continue;
    for (int u = int(v); u >= 0 && !used[std::size_t(u)]; u = t.parent[std::size_t(u)])
      used[std::size_t(u)] = true;
  }
  RawTree out = t;
  for (std::size_t v = 0; v < t.parent.size(); ++v)
    if (!used[v]) out.parent[v] = -2;
  return out;
}

// The library's Tree (preorder, parent before child) and the taxon of each of its nodes.
struct Converted {
  Tree tree;
  std::vector<int> taxon;
};

Converted Convert(const RawTree& raw) {
  std::vector<std::vector<int>> kids(raw.parent.size());
  int root = -1;
  for (std::size_t v = 0; v < raw.parent.size(); ++v) {
    if (raw.parent[v] == -1) root = int(v);
    if (raw.parent[v] >= 0) kids[std::size_t(raw.parent[v])].push_back(int(v));
  }
  Converted out;
  std::vector<std::pair<int, int>> stack{{root, -1}};
  while (!stack.empty()) {
    const auto [v, p] = stack.back();
    stack.pop_back();
    const int taxon = raw.taxon[std::size_t(v)];
    const int id = out.tree.Add(p, taxon >= 0 ? "t" + std::to_string(taxon) : "", 0.1);
    out.taxon.push_back(taxon);
    for (const int c : kids[std::size_t(v)]) stack.emplace_back(c, id);
  }
  return out;
}

TaxonSet LeafTaxa(const RawTree& t) {
  TaxonSet s;
  for (std::size_t v = 0; v < t.parent.size(); ++v)
    if (t.parent[v] != -2 && t.taxon[v] >= 0) s.insert(t.taxon[v]);
  return s;
}

// The side of each branch as a set of taxa, normalised to the side without `anchor`,
// keeping those with two taxa or more on each side.
std::set<TaxonSet> Splits(const RawTree& t, int anchor) {
  const TaxonSet all = LeafTaxa(t);
  std::map<int, TaxonSet> below;
  for (std::size_t v = 0; v < t.parent.size(); ++v) {
    if (t.parent[v] == -2 || t.taxon[v] < 0) continue;
    for (int u = int(v); u >= 0; u = t.parent[std::size_t(u)]) below[u].insert(t.taxon[v]);
  }
  std::set<TaxonSet> out;
  for (auto& [v, side] : below) {
    if (t.parent[std::size_t(v)] < 0) continue;
    TaxonSet s = side;
    if (s.count(anchor)) {
      TaxonSet other;
      std::set_difference(all.begin(), all.end(), s.begin(), s.end(),
                          std::inserter(other, other.end()));
      s = other;
    }
    if (s.size() >= 2 && all.size() - s.size() >= 2) out.insert(s);
  }
  return out;
}

struct Counts {
  int testable = 0;
  int survived = 0;
};

// The brute-force count for every clade of `ref` over the group trees.
std::map<TaxonSet, Counts> BruteForce(const RawTree& ref, const std::vector<RawTree>& groups,
                                      int outgroup) {
  const int ref_anchor = outgroup >= 0 ? outgroup : *LeafTaxa(ref).begin();
  std::map<TaxonSet, Counts> out;
  for (const TaxonSet& c : Splits(ref, ref_anchor)) out[c];
  for (const RawTree& g : groups) {
    const TaxonSet present = LeafTaxa(g);
    if (outgroup >= 0 && !present.count(outgroup)) continue;
    const int anchor = outgroup >= 0 ? outgroup : *present.begin();
    const std::set<TaxonSet> splits = Splits(g, anchor);
    for (auto& [clade, counts] : out) {
      TaxonSet a, b;
      std::set_intersection(clade.begin(), clade.end(), present.begin(), present.end(),
                            std::inserter(a, a.end()));
      std::set_difference(present.begin(), present.end(), clade.begin(), clade.end(),
                          std::inserter(b, b.end()));
      if (a.size() < 2 || b.size() < 2) continue;
      ++counts.testable;
      if (splits.count(a.count(anchor) ? b : a)) ++counts.survived;
    }
  }
  return out;
}

std::map<TaxonSet, Counts> Library(const RawTree& ref, const std::vector<RawTree>& groups,
                                   int outgroup, std::size_t n) {
  SupportInput input;
  input.design.source = "random";
  for (std::size_t t = 0; t < n; ++t) input.design.names.push_back("t" + std::to_string(t));
  input.design.names_complete = true;
  input.design.group_count_exact = true;
  input.reference = Convert(ref).tree;
  input.reference.origin = "reference";
  for (const RawTree& g : groups) {
    const TaxonSet present = LeafTaxa(g);
    std::vector<std::size_t> left_out;
    for (std::size_t t = 0; t < n; ++t)
      if (!present.count(int(t))) left_out.push_back(t);
    input.design.groups.push_back(left_out);
    input.groups.push_back(Convert(g).tree);
  }
  if (outgroup >= 0) input.outgroup = {"t" + std::to_string(outgroup)};
  const SupportResult r = ComputeSupport(input);
  std::map<TaxonSet, Counts> out;
  for (std::size_t c = 0; c < r.clades.sets.size(); ++c) {
    TaxonSet s;
    for (std::size_t t = 0; t < n; ++t)
      if (TestBit(r.clades.sets.row(c), t)) s.insert(int(t));
    out[s] = {int(r.testable[c]), int(r.survived[c])};
  }
  return out;
}

void CompareOnRandomTrees(bool rooted, unsigned seed) {
  std::mt19937 rng(seed);
  for (int round = 0; round < 60; ++round) {
    const std::size_t n = 4 + rng() % (round < 40 ? 12 : 140);
    std::vector<int> all(n);
    for (std::size_t t = 0; t < n; ++t) all[t] = int(t);
    const RawTree ref = RandomTree(all, rng);
    const int outgroup = rooted ? int(rng() % n) : -1;
    std::vector<RawTree> groups;
    for (int g = 0; g < 12; ++g) {
      TaxonSet keep;
      for (const int t : all)
        if (rng() % 4 != 0) keep.insert(t);
      if (keep.empty()) keep.insert(all[rng() % n]);
      if (g % 3 == 0) {
        groups.push_back(RandomTree(std::vector<int>(keep.begin(), keep.end()), rng));
      } else {
        // The reference restricted, with some branches collapsed: most clades survive.
        RawTree pruned = Prune(ref, keep);
        for (std::size_t v = 0; v < pruned.parent.size(); ++v) {
          const int p = pruned.parent[v];
          if (g % 3 == 2 && p >= 0 && pruned.taxon[v] < 0 && rng() % 6 == 0) {
            for (int& q : pruned.parent)
              if (q == int(v)) q = p;
            pruned.parent[v] = -2;
          }
        }
        groups.push_back(pruned);
      }
    }
    const auto expected = BruteForce(ref, groups, outgroup);
    const auto actual = Library(ref, groups, outgroup, n);
    ASSERT_EQ(expected.size(), actual.size()) << "round " << round;
    for (const auto& [clade, counts] : expected) {
      const auto it = actual.find(clade);
      ASSERT_NE(it, actual.end()) << "round " << round;
      EXPECT_EQ(it->second.testable, counts.testable) << "round " << round;
      EXPECT_EQ(it->second.survived, counts.survived) << "round " << round;
    }
  }
}

TEST(CladeCounts, MatchBruteForceOnRandomUnrootedTrees) {
  CompareOnRandomTrees(false, 11);
}

TEST(CladeCounts, MatchBruteForceOnRandomTreesRootedOnAnOutgroup) {
  CompareOnRandomTrees(true, 12);
}

// A tree from nested parent lists is easier to read than parent arrays.
Tree FromParents(const std::vector<int>& parent, const std::vector<std::string>& label) {
  Tree t;
  for (std::size_t v = 0; v < parent.size(); ++v) t.Add(parent[v], label[v], 1.0);
  return t;
}

TEST(CladeTable, RowsGoBySizeThenListOrderAndTheRootBranchesCountOnce) {
  // ((t0,t3),((t1,t5),(t2,t4))) on a root of degree two: the two branches below the
  // root split alike.
  const Tree t = FromParents({-1, 0, 1, 1, 0, 4, 5, 5, 4, 8, 8},
                             {"", "", "t0", "t3", "", "", "t1", "t5", "", "t2", "t4"});
  const std::vector<int> taxon{-1, -1, 0, 3, -1, -1, 1, 5, -1, 2, 4};
  const CladeTable table = FindClades(t, taxon, 6);
  const std::vector<std::vector<int>> want{{1, 5}, {2, 4}, {1, 2, 4, 5}};
  ASSERT_EQ(table.sets.size(), want.size());
  for (std::size_t c = 0; c < want.size(); ++c) {
    std::vector<int> got;
    for (int x = 0; x < 6; ++x)
      if (TestBit(table.sets.row(c), std::size_t(x))) got.push_back(x);
    EXPECT_EQ(got, want[c]) << c;
    EXPECT_EQ(table.members[c], want[c].size());
  }
}

TEST(CladeTable, EachInnerBranchKnowsItsClade) {
  const Tree t = FromParents({-1, 0, 1, 1, 0, 4, 4, 0}, {"", "", "a", "b", "", "c", "d", "e"});
  const std::vector<int> taxon{-1, -1, 0, 1, -1, 2, 3, 4};
  const CladeTable table = FindClades(t, taxon, 5);
  const std::vector<long> of = CladeOfEachNode(table, t, taxon);
  EXPECT_EQ(of[0], -1);
  EXPECT_EQ(of[2], -1);
  ASSERT_GE(of[1], 0);
  ASSERT_GE(of[4], 0);
  EXPECT_NE(of[1], of[4]);
  // The branch above (a,b) names the side without a: {c,d,e}.
  EXPECT_TRUE(TestBit(table.sets.row(std::size_t(of[1])), 4));
  EXPECT_FALSE(TestBit(table.sets.row(std::size_t(of[1])), 0));
}

TEST(SplitSet, FindsEqualRowsAcrossGrowthAndClears) {
  SplitSet set(130);
  std::vector<Word> row(set.words());
  for (std::size_t i = 0; i < 300; ++i) {
    std::fill(row.begin(), row.end(), 0);
    SetBit(row.data(), i % 130);
    SetBit(row.data(), (i * 7 + 3) % 130);
    SetBit(row.data(), 129);
    set.Insert(row.data());
  }
  std::fill(row.begin(), row.end(), 0);
  SetBit(row.data(), 5);
  SetBit(row.data(), 38);
  SetBit(row.data(), 129);
  const long at = set.Find(row.data());
  ASSERT_GE(at, 0);
  EXPECT_TRUE(std::equal(row.begin(), row.end(), set.row(std::size_t(at))));
  const std::size_t before = set.size();
  EXPECT_EQ(set.Insert(row.data()), std::size_t(at));
  EXPECT_EQ(set.size(), before);
  set.Clear();
  EXPECT_EQ(set.size(), 0u);
  EXPECT_EQ(set.Find(row.data()), -1);
}

}  // namespace
}  // namespace dk::clades
