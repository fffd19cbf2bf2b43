#include "clades/tree.h"

#include <cmath>
#include <utility>

namespace dk::clades {

int Tree::Add(int parent_node, std::string name, double branch_length) {
  parent.push_back(parent_node);
  label.push_back(std::move(name));
  length.push_back(branch_length);
  support.emplace_back();
  return static_cast<int>(parent.size()) - 1;
}

Children::Children(const Tree& tree) : start(tree.size() + 1, 0) {
  for (std::size_t v = 1; v < tree.size(); ++v) ++start[std::size_t(tree.parent[v]) + 1];
  for (std::size_t v = 0; v < tree.size(); ++v) start[v + 1] += start[v];
  nodes.resize(tree.size() > 0 ? tree.size() - 1 : 0);
  std::vector<int> next(start.begin(), start.end() - 1);
  for (std::size_t v = 1; v < tree.size(); ++v)
    nodes[std::size_t(next[std::size_t(tree.parent[v])]++)] = static_cast<int>(v);
}

std::vector<int> Leaves(const Tree& tree) {
  std::vector<bool> inner(tree.size(), false);
  for (std::size_t v = 1; v < tree.size(); ++v) inner[std::size_t(tree.parent[v])] = true;
  std::vector<int> out;
  for (std::size_t v = 0; v < tree.size(); ++v)
    if (!inner[v]) out.push_back(static_cast<int>(v));
  return out;
}

namespace {

double JoinLengths(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return a + b;
}

}  // namespace

std::vector<double> EdgeLengths(const Tree& tree) {
  std::vector<double> edge(tree.length);
  if (!edge.empty()) edge[0] = NAN;
  std::vector<int> below_root;
  for (std::size_t v = 1; v < tree.size(); ++v)
    if (tree.parent[v] == 0) below_root.push_back(static_cast<int>(v));
  if (below_root.size() == 2) {
    const double joined = JoinLengths(tree.length[std::size_t(below_root[0])],
                                      tree.length[std::size_t(below_root[1])]);
    for (const int v : below_root) edge[std::size_t(v)] = joined;
  }
  return edge;
}

Tree Reroot(const Tree& tree, int new_root) {
  const Children children(tree);
  // Neighbours of each node as an undirected tree, with the length of the edge between.
  // The path from new_root up to the old root is reversed.
  std::vector<int> up(tree.size(), -1);  // the new parent of each node
  std::vector<double> up_length(tree.size(), NAN);
  up[std::size_t(new_root)] = -1;
  for (int v = new_root; tree.parent[std::size_t(v)] >= 0; v = tree.parent[std::size_t(v)]) {
    const int p = tree.parent[std::size_t(v)];
    up[std::size_t(p)] = v;
    up_length[std::size_t(p)] = tree.length[std::size_t(v)];
  }
  std::vector<bool> on_path(tree.size(), false);
  for (int v = new_root; v >= 0; v = tree.parent[std::size_t(v)]) on_path[std::size_t(v)] = true;

  // Children in the rerooted tree: the former parent first (when on the path), then the
  // former children that are not the next node down the path.
  auto new_children = [&](int v, std::vector<std::pair<int, double>>* out) {
    out->clear();
    const int p = tree.parent[std::size_t(v)];
    if (on_path[std::size_t(v)] && p >= 0) out->emplace_back(p, tree.length[std::size_t(v)]);
    for (const int* c = children.begin(v); c != children.end(v); ++c) {
      if (up[std::size_t(v)] == *c) continue;  // *c is v's new parent
      out->emplace_back(*c, tree.length[std::size_t(*c)]);
    }
  };

  Tree out;
  out.origin = tree.origin;
  // Iterative preorder: (old node, new parent, branch length) on a stack.
  struct Item {
    int node;
    int new_parent;
    double length;
  };
  std::vector<Item> stack{{new_root, -1, NAN}};
  std::vector<std::pair<int, double>> kids;
  while (!stack.empty()) {
    Item item = stack.back();
    stack.pop_back();
    new_children(item.node, &kids);
    // The old root with a single remaining child disappears; its child takes its place.
    while (kids.size() == 1 && item.node != new_root && tree.parent[std::size_t(item.node)] < 0) {
      item.length = JoinLengths(item.length, kids[0].second);
      item.node = kids[0].first;
      new_children(item.node, &kids);
    }
    const int id = out.Add(item.new_parent, tree.label[std::size_t(item.node)], item.length);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
      stack.push_back({it->first, id, it->second});
  }
  return out;
}

}  // namespace dk::clades
