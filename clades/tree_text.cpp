#include "clades/tree_text.h"

#include <cctype>
#include <string_view>

#include "base/errors.h"

namespace dk::clades {
namespace {

[[noreturn]] void Refuse(const std::string& source, std::size_t line, const std::string& what) {
  Raise("Cannot read " + QuoteForMessage(source) + " (line " + std::to_string(line) +
        "): " + EscapeForMessage(what));
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

// The first word of a NEXUS command (letters only, in lower case) and, in `second`, the
// word after it; the "#NEXUS" that opens a file and comments are passed over.
std::string CommandWord(std::string_view command, std::string* second = nullptr) {
  std::string words[2];
  int n = 0;
  std::size_t i = 0;
  while (i < command.size() && n < 2) {
    const unsigned char c = static_cast<unsigned char>(command[i]);
    if (c == '[') {
      std::size_t nest = 0;
      for (; i < command.size(); ++i) {
        if (command[i] == '[') ++nest;
        if (command[i] == ']' && --nest == 0) break;
      }
      ++i;
    } else if (c == '#' && n == 0) {  // the "#NEXUS" that opens the file
      ++i;
      while (i < command.size() && std::isalpha(static_cast<unsigned char>(command[i]))) ++i;
    } else if (std::isalpha(c)) {
      while (i < command.size() && std::isalpha(static_cast<unsigned char>(command[i])))
        words[n].push_back(
            static_cast<char>(std::tolower(static_cast<unsigned char>(command[i++]))));
      ++n;
    } else if (std::isspace(c)) {
      ++i;
    } else {
      break;  // a word ends at anything else; a command's first word is all that counts
    }
  }
  if (second != nullptr) *second = words[1];
  return words[0];
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

std::optional<NexusTrees> SplitNexusTrees(std::string_view text, const std::string& source,
                                          std::size_t max_depth) {
  struct Command {
    TreeSpan span;
    std::string word;
    std::string second;
  };
  std::vector<Command> commands;
  Scan(text, source, max_depth, [&](std::size_t begin, std::size_t end, std::size_t line) {
    Command c{{begin, end, line}, "", ""};
    c.word = CommandWord(text.substr(begin, end - begin), &c.second);
    commands.push_back(std::move(c));
  });
  if (text.find('"') != std::string_view::npos) return std::nullopt;

  NexusTrees out;
  bool in_trees = false;
  bool trees_done = false;
  bool seen_trees_block = false;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const Command& c = commands[i];
    if (c.word == "begin") {
      if (c.second == "trees") {
        if (seen_trees_block) return std::nullopt;  // two TREES blocks
        seen_trees_block = true;
        in_trees = true;
      }
      continue;
    }
    if (c.word == "end" || c.word == "endblock") {
      if (in_trees) {
        if (out.trees.empty()) return std::nullopt;
        out.tail_begin = out.trees.back().end;
        trees_done = true;
      }
      in_trees = false;
      continue;
    }
    if (!in_trees) continue;
    if (c.word == "tree" || c.word == "utree") {
      if (trees_done) return std::nullopt;
      if (out.trees.empty()) out.head_end = c.span.begin;
      out.trees.push_back(c.span);
    } else if (!out.trees.empty()) {
      return std::nullopt;  // another command among the trees
    }
  }
  if (!trees_done) return std::nullopt;
  return out;
}

}  // namespace dk::clades
