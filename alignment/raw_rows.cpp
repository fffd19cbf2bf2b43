#include "alignment/raw_rows.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <unordered_map>

#include "alignment/ascii_text.h"
#include "platform/errors.h"

namespace dk {
namespace {

// The rows being gathered, with the first taxon's cells kept apart for its matchchar.
class Rows {
 public:
  Rows(const MatrixLayout& layout, std::size_t taxa, const std::string& file)
      : layout_(layout), file_(file), rows_(taxa), cells_(taxa, 0) {}

  std::size_t total() const { return total_; }
  bool full(std::size_t taxon) const { return cells_[taxon] >= layout_.characters; }

  void Add(std::size_t taxon, std::string_view cell) {
    if (full(taxon)) Fail("taxon " + std::to_string(taxon + 1) + " has more cells than declared");
    const std::size_t index = cells_[taxon]++;
    ++total_;
    if (taxon == 0) {
      first_.push_back(rows_[0].size() + (layout_.tokens && index > 0 ? 1 : 0));
    } else if (layout_.matchchar != '\0' && cell.size() == 1 && cell[0] == layout_.matchchar) {
      if (index >= cells_[0]) Fail("a match character stands before the first taxon's cell");
      cell = FirstCell(index);
    }
    std::string& row = rows_[taxon];
    if (layout_.tokens && index > 0) row += ' ';
    row.append(cell);
  }

  // Adds each character of `run` as a cell of its own (not for words), at most as many
  // as the row has room for; returns how many were added.
  std::size_t AddRun(std::size_t taxon, std::string_view run) {
    run = run.substr(0, layout_.characters - std::min(cells_[taxon], layout_.characters));
    const bool matches = taxon > 0 && layout_.matchchar != '\0' &&
                         run.find(layout_.matchchar) != std::string_view::npos;
    if (matches || layout_.tokens) {
      for (std::size_t k = 0; k < run.size(); ++k) Add(taxon, run.substr(k, 1));
      return run.size();
    }
    if (taxon == 0) {
      for (std::size_t k = 0; k < run.size(); ++k) first_.push_back(rows_[0].size() + k);
    }
    rows_[taxon].append(run);
    cells_[taxon] += run.size();
    total_ += run.size();
    return run.size();
  }

  std::vector<std::string> Take() {
    for (std::size_t t = 0; t < rows_.size(); ++t) {
      if (cells_[t] != layout_.characters) {
        Fail("taxon " + std::to_string(t + 1) + " has " + std::to_string(cells_[t]) +
             " cells where " + std::to_string(layout_.characters) + " are declared");
      }
    }
    return std::move(rows_);
  }

  [[noreturn]] void Fail(const std::string& why) const {
    Raise("Cannot take the rows of " + QuoteForMessage(file_) +
          " apart as they are written: " + why);
  }

 private:
  std::string_view FirstCell(std::size_t index) const {
    const std::string& row = rows_[0];
    const std::size_t begin = first_[index];
    std::size_t end = index + 1 < first_.size() ? first_[index + 1] : row.size();
    if (layout_.tokens && index + 1 < first_.size()) --end;  // the blank before the next
    return std::string_view(row).substr(begin, end - begin);
  }

  const MatrixLayout& layout_;
  const std::string& file_;
  std::vector<std::string> rows_;
  std::vector<std::size_t> cells_;
  std::vector<std::size_t> first_;  // where each cell of the first taxon begins
  std::size_t total_ = 0;
};

// ---- PHYLIP

std::vector<std::string> PhylipRows(std::string_view t, const MatrixLayout& layout,
                                    std::size_t taxa, Rows& rows) {
  std::size_t i = 0;
  while (i < t.size() && IsAsciiSpace(t[i])) ++i;
  i = t.find('\n', i);  // past the header
  i = i == std::string_view::npos ? t.size() : i + 1;
  const bool strict = layout.format == InputFormat::kPhylipStrict;
  const auto skip_name = [&] {
    if (strict) {
      for (std::size_t n = 0; n < 10 && i < t.size() && t[i] != '\n' && t[i] != '\r'; ++n) ++i;
    } else {
      while (i < t.size() && !IsAsciiSpace(t[i])) ++i;
    }
  };
  const auto skip_blank_lines = [&] {
    while (i < t.size() && IsAsciiSpace(t[i])) ++i;
  };
  // Cells up to the end of the line (interleaved) or until the row is full.
  const auto read_cells = [&](std::size_t taxon, bool to_line_end) {
    while (i < t.size()) {
      const char c = t[i];
      if (c == '\n' && to_line_end) break;
      if (IsAsciiSpace(c)) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < t.size() && !IsAsciiSpace(t[end])) ++end;
      const std::size_t added = rows.AddRun(taxon, t.substr(i, end - i));
      if (to_line_end && added < end - i) {
        rows.Fail("taxon " + std::to_string(taxon + 1) + " has more cells than declared");
      }
      i += added;
      if (rows.full(taxon)) break;
    }
  };
  for (std::size_t taxon = 0; taxon < taxa; ++taxon) {
    skip_blank_lines();
    skip_name();
    read_cells(taxon, layout.interleaved);
  }
  if (layout.interleaved) {
    for (std::size_t taxon = 0; rows.total() < taxa * layout.characters;
         taxon = (taxon + 1) % taxa) {
      skip_blank_lines();
      if (i >= t.size()) break;
      read_cells(taxon, true);
    }
  }
  return rows.Take();
}

// ---- NEXUS

class NexusText {
 public:
  NexusText(std::string_view text, Rows& rows) : t_(text), rows_(rows) {}

  // Skips blanks and comments (which nest); with `in_line`, stops at a line break.
  // Returns false at a line break it stopped at.
  bool Skip(bool in_line = false) {
    while (i_ < t_.size()) {
      const char c = t_[i_];
      if (c == '\n' && in_line) return false;
      if (IsAsciiSpace(c)) {
        ++i_;
      } else if (c == '[') {
        int depth = 0;
        do {
          if (t_[i_] == '[') ++depth;
          if (t_[i_] == ']') --depth;
          ++i_;
        } while (i_ < t_.size() && depth > 0);
      } else {
        break;
      }
    }
    return true;
  }

  bool AtEnd() const { return i_ >= t_.size(); }
  char Peek() const { return t_[i_]; }

  // One word: a quoted word without its quotes ('' stands for '), or a run of
  // characters up to a blank or punctuation.
  std::string Word() {
    std::string out;
    if (t_[i_] == '\'') {
      for (++i_; i_ < t_.size(); ++i_) {
        if (t_[i_] == '\'') {
          if (i_ + 1 < t_.size() && t_[i_ + 1] == '\'') {
            out += '\'';
            ++i_;
            continue;
          }
          ++i_;
          break;
        }
        out += t_[i_];
      }
      return out;
    }
    while (i_ < t_.size() && !IsAsciiSpace(t_[i_]) &&
           std::string_view("()[]{}/\\,;:=*'\"`<>").find(t_[i_]) == std::string_view::npos) {
      out += t_[i_++];
    }
    if (out.empty() && i_ < t_.size()) out += t_[i_++];  // a punctuation mark alone
    return out;
  }

  // Moves to just after the MATRIX word of the DATA or CHARACTERS block; false when
  // there is none. Notes whether the block's commands before it name CONTINUOUS data.
  bool FindMatrix() {
    bool in_block = false, command_start = true;
    while (Skip(), !AtEnd()) {
      if (t_[i_] == ';') {
        ++i_;
        command_start = true;
        continue;
      }
      const std::string word = AsciiUpper(Word());
      if (word == "#NEXUS") continue;  // the file's mark, not a command
      if (command_start && word == "BEGIN") {
        Skip();
        const std::string name = AtEnd() ? "" : AsciiUpper(Word());
        in_block = name == "DATA" || name == "CHARACTERS";
      } else if (command_start && in_block && word == "MATRIX") {
        return true;
      } else if (in_block && word == "CONTINUOUS") {
        continuous_ = true;
      }
      command_start = false;
    }
    return false;
  }
  bool continuous() const { return continuous_; }
  std::size_t at() const { return i_; }

  // Cells of one character each, up to a blank, a group, a comment or the end.
  std::string_view PlainRun() {
    const std::size_t begin = i_;
    while (i_ < t_.size() && !IsAsciiSpace(t_[i_]) &&
           std::string_view("({[;").find(t_[i_]) == std::string_view::npos) {
      ++i_;
    }
    return t_.substr(begin, i_ - begin);
  }
  void Back(std::size_t n) { i_ -= n; }

  // One cell: a group in parentheses or braces as written, a word (tokens), or one
  // character.
  std::string_view Cell(bool tokens) {
    const std::size_t begin = i_;
    const char c = t_[i_];
    if (c == '(' || c == '{') {
      const char close = c == '(' ? ')' : '}';
      const std::size_t end = t_.find(close, i_);
      if (end == std::string_view::npos)
        rows_.Fail("a '" + std::string(1, c) + "' is never closed");
      i_ = end + 1;
    } else if (tokens) {
      while (i_ < t_.size() && !IsAsciiSpace(t_[i_]) && t_[i_] != ';' && t_[i_] != '[') ++i_;
    } else {
      ++i_;
    }
    return t_.substr(begin, i_ - begin);
  }

 private:
  std::string_view t_;
  std::size_t i_ = 0;
  bool continuous_ = false;
  Rows& rows_;
};

std::vector<std::string> NexusRows(std::string_view text, const MatrixLayout& layout,
                                   const std::vector<std::string>& names, Rows& rows) {
  NexusText t(text, rows);
  if (!t.FindMatrix()) rows.Fail("no MATRIX command was found");
  std::unordered_map<std::string, std::size_t> index;
  for (std::size_t n = 0; n < names.size(); ++n) index.emplace(AsciiUpper(names[n]), n);
  const auto taxon_of = [&](std::string word, std::size_t by_order) -> std::size_t {
    if (!layout.labels) return by_order;
    for (char& c : word) {
      if (c == ' ') c = '_';
    }
    if (const auto it = index.find(AsciiUpper(word)); it != index.end()) return it->second;
    std::size_t number = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), number);
    if (ec == std::errc() && end == word.data() + word.size() && number >= 1 &&
        number <= names.size()) {
      return number - 1;
    }
    rows.Fail("the row label " + QuoteForMessage(word) + " names no taxon");
  };
  std::size_t order = 0;
  while (t.Skip(), !t.AtEnd() && t.Peek() != ';') {
    std::size_t taxon = order % names.size();
    if (layout.labels) taxon = taxon_of(t.Word(), taxon);
    ++order;
    // Adds the cells at the cursor: a run of single characters at once.
    const auto add = [&] {
      if (layout.tokens || t.Peek() == '(' || t.Peek() == '{') {
        rows.Add(taxon, t.Cell(layout.tokens));
        return;
      }
      const std::string_view run = t.PlainRun();
      const std::size_t added = rows.AddRun(taxon, run);
      if (added == run.size()) return;
      if (layout.interleaved) {
        rows.Fail("taxon " + std::to_string(taxon + 1) + " has more cells than declared");
      }
      t.Back(run.size() - added);  // the next row's label
    };
    if (layout.interleaved) {
      while (t.Skip(true) && !t.AtEnd() && t.Peek() != ';') add();
    } else {
      while (!rows.full(taxon) && (t.Skip(), !t.AtEnd()) && t.Peek() != ';') add();
    }
  }
  if (t.AtEnd()) rows.Fail("the MATRIX command has no ';'");
  return rows.Take();
}

}  // namespace

void CheckNexusValues(std::string_view text, const std::string& file) {
  MatrixLayout layout;
  Rows rows(layout, 0, file);
  NexusText t(text, rows);
  if (!t.FindMatrix() || !t.continuous()) return;
  while (t.Skip(), !t.AtEnd() && t.Peek() != ';') {
    const std::size_t at = t.at();
    const std::string word = t.Word();
    if (word.size() > 1 && word[0] == '+' &&
        (std::isdigit(static_cast<unsigned char>(word[1])) || word[1] == '.')) {
      const std::size_t line = 1 + static_cast<std::size_t>(std::count(
                                       text.begin(), text.begin() + static_cast<long>(at), '\n'));
      Raise("Cannot read " + QuoteForMessage(file) + " as NEXUS: the value " +
            QuoteForMessage(word) + " (line " + std::to_string(line) +
            ") starts with '+', which NCL cannot read; write it without the sign");
    }
  }
}

std::vector<std::string> RawRows(std::string_view text, const MatrixLayout& layout,
                                 const std::vector<std::string>& names, const std::string& file) {
  Rows rows(layout, names.size(), file);
  if (names.empty()) return {};
  if (layout.format == InputFormat::kNexus) return NexusRows(text, layout, names, rows);
  return PhylipRows(text, layout, names.size(), rows);
}

}  // namespace dk
