// A tree as read from a file: nodes in preorder, each knowing its parent.
#ifndef DROPKIT_CLADES_TREE_H_
#define DROPKIT_CLADES_TREE_H_

#include <cstddef>
#include <string>
#include <vector>

namespace dk::clades {

struct Tree {
  std::string origin;              // where it came from, for messages ("'g.tre', tree 3")
  std::vector<int> parent;         // parent[0] == -1 (the root); parent[i] < i otherwise
  std::vector<std::string> label;  // a leaf's name as read; "" for inner nodes
  std::vector<double> length;      // the branch to the parent; NaN when the file gives none
  // An inner node's own label as read (another program's support for its branch, e.g.
  // "95" or "88.5/97"); "" for leaves and unlabelled nodes. Reroot does not carry it.
  std::vector<std::string> support;

  std::size_t size() const { return parent.size(); }
  // Adds a node under `parent_node` (-1 for the root) and returns its index.
  int Add(int parent_node, std::string name, double branch_length);
};

// The children of every node, in the order the file lists them (CSR form).
struct Children {
  explicit Children(const Tree& tree);
  std::vector<int> start;  // children of node v: nodes[start[v] .. start[v + 1])
  std::vector<int> nodes;
  std::size_t count(int v) const { return std::size_t(at(v + 1) - at(v)); }
  const int* begin(int v) const { return nodes.data() + at(v); }
  const int* end(int v) const { return nodes.data() + at(v + 1); }

 private:
  int at(int v) const { return start[static_cast<std::size_t>(v)]; }
};

// The length of each node's branch as an edge of the unrooted tree: its own length, but
// the two branches below a root of degree two are one edge, the sum of both (NaN for the
// root, and where the file gives no length).
std::vector<double> EdgeLengths(const Tree& tree);

// The indices of the leaves (nodes without children), in preorder.
std::vector<int> Leaves(const Tree& tree);

// `tree` with its root moved to the node `new_root`; branch lengths follow their
// branches. A former root left with one child is removed and its two branches joined.
// The nodes of the result are in preorder again; children keep their order, and the
// branch to the former parent comes first among a node's children.
Tree Reroot(const Tree& tree, int new_root);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_TREE_H_
