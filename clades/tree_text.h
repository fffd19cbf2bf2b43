// A first pass over a tree file, before NCL reads it: tells Newick from NEXUS, bounds
// the nesting of parentheses (NCL's reader recurses on it) and finds where each tree of
// a Newick file begins and ends, so the trees can be read in parallel.
//
// The pass knows Newick's lexical rules: [comments] (nested too) and 'quoted names'
// (with '' for a quote) hide parentheses and semicolons.
#ifndef DROPKIT_CLADES_TREE_TEXT_H_
#define DROPKIT_CLADES_TREE_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dk::clades {

// True when the text starts (after blanks) with "#NEXUS", in any case.
bool IsNexus(std::string_view text);

// One tree of a Newick file: text[begin, end) holds it with its semicolon, starting on
// line `line` (1-based).
struct TreeSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t line = 1;
};

// Splits a Newick text into trees at the semicolons outside parentheses, comments and
// quotes. A last tree without a semicolon counts when it holds more than blanks and
// comments. Raises an error naming `source` and the line when the parentheses nest
// deeper than `max_depth`, when they do not balance, when a comment or quote is not
// closed, or when there are more than `max_trees` trees.
std::vector<TreeSpan> SplitNewick(std::string_view text, const std::string& source,
                                  std::size_t max_depth, std::size_t max_trees);

// Checks only the nesting of parentheses of any text (a NEXUS file), as SplitNewick does.
void CheckNesting(std::string_view text, const std::string& source, std::size_t max_depth);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_TREE_TEXT_H_
