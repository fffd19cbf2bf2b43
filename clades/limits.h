// Bounds on what outside input can make the clade-survival command do.
#ifndef DROPKIT_CLADES_LIMITS_H_
#define DROPKIT_CLADES_LIMITS_H_

#include <cstddef>

namespace dk::clades {

struct InputLimits {
  std::size_t file_bytes = std::size_t{256} << 20;  // any one input file
  std::size_t total_bytes = std::size_t{1} << 30;   // all tree files together
  std::size_t taxa = 10'000;                        // names in the design, leaves in a tree
  std::size_t trees = 100'000;                      // group trees
  std::size_t depth = 10'000;                       // parenthesis nesting in a tree text
};

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_LIMITS_H_
