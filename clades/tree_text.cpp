#include "clades/tree_text.h"

#include <cctype>

#include "platform/errors.h"

namespace dk::clades {
namespace {

[[noreturn]] void Refuse(const std::string& source, std::size_t line, const std::string& what) {
  Raise("Cannot read '" + source + "' (line " + std::to_string(line) + "): " + what);
}

// Walks the text; calls on_tree(begin, end, line) for each top-level ";"-ended piece
// when `split` is set.
template <typename OnTree>
void Scan(std::string_view text, const std::string& source, std::size_t max_depth, OnTree on_tree) {
  std::size_t line = 1;
  std::size_t depth = 0;
  std::size_t tree_begin = 0;
  std::size_t tree_line = 1;
  bool tree_has_text = false;
  const std::size_t first = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;  // a byte-order mark
  for (std::size_t i = first; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      continue;
    }
    if (c == '[') {
      const std::size_t open_line = line;
      std::size_t nest = 1;
      while (nest > 0) {
        if (++i >= text.size()) Refuse(source, open_line, "a comment '[' is never closed");
        if (text[i] == '[') ++nest;
        if (text[i] == ']') --nest;
        if (text[i] == '\n') ++line;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') continue;
    if (!tree_has_text) {
      tree_has_text = true;
      tree_begin = i;
      tree_line = line;
    }
    if (c == '\'') {
      const std::size_t open_line = line;
      for (;;) {
        if (++i >= text.size()) Refuse(source, open_line, "a quoted name is never closed");
        if (text[i] == '\n') ++line;
        if (text[i] != '\'') continue;
        if (i + 1 < text.size() && text[i + 1] == '\'') {
          ++i;
          continue;
        }
        break;
      }
    } else if (c == '(') {
      if (++depth > max_depth)
        Refuse(source, line,
               "the parentheses nest deeper than the limit of " + std::to_string(max_depth));
    } else if (c == ')') {
      if (depth == 0) Refuse(source, line, "a ')' closes no '('");
      --depth;
    } else if (c == ';' && depth == 0) {
      on_tree(tree_begin, i + 1, tree_line);
      tree_has_text = false;
    }
  }
  if (depth > 0) Refuse(source, tree_line, "a '(' of the tree starting here is never closed");
  if (tree_has_text) on_tree(tree_begin, text.size(), tree_line);
}

}  // namespace

bool IsNexus(std::string_view text) {
  std::size_t i = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  static constexpr std::string_view kTag = "#nexus";
  if (text.size() - i < kTag.size()) return false;
  for (std::size_t k = 0; k < kTag.size(); ++k) {
    if (std::tolower(static_cast<unsigned char>(text[i + k])) != kTag[k]) return false;
  }
  return true;
}

std::vector<TreeSpan> SplitNewick(std::string_view text, const std::string& source,
                                  std::size_t max_depth, std::size_t max_trees) {
  std::vector<TreeSpan> trees;
  Scan(text, source, max_depth, [&](std::size_t begin, std::size_t end, std::size_t line) {
    if (trees.size() == max_trees)
      Refuse(source, line,
             "it holds more than the limit of " + std::to_string(max_trees) + " trees");
    trees.push_back({begin, end, line});
  });
  return trees;
}

void CheckNesting(std::string_view text, const std::string& source, std::size_t max_depth) {
  Scan(text, source, max_depth, [](std::size_t, std::size_t, std::size_t) {});
}

}  // namespace dk::clades
