// A first pass over a tree file, before NCL reads it: tells Newick from NEXUS, bounds
// the nesting of parentheses (NCL's reader recurses on it) and finds where each tree of
// a Newick file, or of a NEXUS file's TREES block, begins and ends, so the trees can be
// read in parallel.
//
// The pass knows Newick's lexical rules: [comments] (nested too) and 'quoted names'
// (with '' for a quote) hide parentheses and semicolons.
#ifndef DROPKIT_CLADES_TREE_TEXT_H_
#define DROPKIT_CLADES_TREE_TEXT_H_

#include <cstddef>
#include <optional>
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

// A NEXUS text cut around its tree commands: text[0, head_end) holds all before the first
// "tree" command (the TAXA block, the TREES block's TRANSLATE, ...), trees[i] each tree
// command with its semicolon, text[tail_begin, end) all after the last one. The head,
// some of the trees and the tail make a NEXUS text of those trees alone.
struct NexusTrees {
  std::size_t head_end = 0;
  std::size_t tail_begin = 0;
  std::vector<TreeSpan> trees;
};

// Cuts a NEXUS text as above, after the checks of CheckNesting (which raise the same
// errors). Answers nothing when the text is not of the plain shape that can be cut
// safely: exactly one TREES block, its tree commands ("tree" or "utree") one after the
// other with no other command among them, and no double quote anywhere.
std::optional<NexusTrees> SplitNexusTrees(std::string_view text, const std::string& source,
                                          std::size_t max_depth);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_TREE_TEXT_H_
