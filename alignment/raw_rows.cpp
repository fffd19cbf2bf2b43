#include "alignment/raw_rows.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <unordered_map>

#include "alignment/ascii_text.h"
#include "base/errors.h"

namespace dk {
namespace {

// The rows being gathered. A row stays a run of the text while its cells follow one
// another there (words with one blank between them); it gets a text of its own at the
// first cell that does not. The first taxon's cells are located for its matchchar.
class Rows {
 public:
  Rows(std::string_view text, const MatrixLayout& layout, std::size_t taxa, const std::string& file)
      : t_(text), layout_(layout), file_(file), rows_(taxa), places_(taxa) {}

  std::size_t total() const { return total_; }
  bool full(std::size_t taxon) const { return rows_[taxon].cells >= layout_.characters; }

  // Notes that taxon's row (label included) stands in the text from `begin` to `end`.
  void Place(std::size_t taxon, std::size_t begin, std::size_t end) {
    if (end > begin) places_[taxon].push_back({begin, end - begin});
  }

  void Add(std::size_t taxon, std::string_view cell) {
    if (full(taxon)) Fail("taxon " + std::to_string(taxon + 1) + " has more cells than declared");
    if (first_taxon_ == kNone) first_taxon_ = taxon;
    Row& row = rows_[taxon];
    const std::size_t index = row.cells++;
    ++total_;
    if (taxon == first_taxon_) {
      first_.push_back(row.size() + (layout_.tokens && index > 0 ? 1 : 0));
      if (IsMatchchar(cell)) matched_ = true;  // NCL refuses it; the chunks must too
    } else if (IsMatchchar(cell)) {
      if (index >= rows_[first_taxon_].cells) {
        Fail("a match character stands before the first taxon's cell");
      }
      cell = FirstCell(index);
      matched_ = true;
    }
    Append(row, cell, layout_.tokens && index > 0);
  }

  // Adds each character of `run` as a cell of its own (not for words), at most as many
  // as the row has room for; returns how many were added.
  std::size_t AddRun(std::size_t taxon, std::string_view run) {
    if (first_taxon_ == kNone) first_taxon_ = taxon;
    Row& row = rows_[taxon];
    run = run.substr(0, layout_.characters - std::min(row.cells, layout_.characters));
    const bool matches = taxon != first_taxon_ && layout_.matchchar != '\0' &&
                         run.find(layout_.matchchar) != std::string_view::npos;
    if (matches || layout_.tokens) {
      for (std::size_t k = 0; k < run.size(); ++k) Add(taxon, run.substr(k, 1));
      return run.size();
    }
    if (taxon == first_taxon_) {
      for (std::size_t k = 0; k < run.size(); ++k) first_.push_back(row.size() + k);
      if (layout_.matchchar != '\0' && run.find(layout_.matchchar) != std::string_view::npos) {
        matched_ = true;
      }
    }
    Append(row, run, false);
    row.cells += run.size();
    total_ += run.size();
    return run.size();
  }

  RawMatrix Take() {
    RawMatrix out;
    for (std::size_t t = 0; t < rows_.size(); ++t) {
      Row& row = rows_[t];
      if (row.cells != layout_.characters) {
        Fail("taxon " + std::to_string(t + 1) + " has " + std::to_string(row.cells) +
             " cells where " + std::to_string(layout_.characters) + " are declared");
      }
      if (row.own) {
        out.rows.AddOwn(std::move(row.text));
      } else {
        out.rows.AddRun(row.begin == kNone ? 0 : row.begin, row.run);
      }
    }
    out.places = std::move(places_);
    out.matched = matched_;
    out.first_taxon = first_taxon_ == kNone ? 0 : first_taxon_;
    return out;
  }

  [[noreturn]] void Fail(const std::string& why) const {
    Raise("Cannot take the rows of " + QuoteForMessage(file_) +
          " apart as they are written: " + why);
  }

 private:
  static constexpr std::size_t kNone = std::string_view::npos;

  struct Row {
    std::size_t begin = kNone;  // where the run starts in the text
    std::size_t run = 0;        // its length
    bool own = false;           // the row is `text`, not a run
    std::string text;
    std::size_t cells = 0;
    std::size_t size() const { return own ? text.size() : run; }
  };

  // Appends `cell` (with a blank before it when `blank`), keeping the row a run of the
  // text while the cell follows it there.
  void Append(Row& row, std::string_view cell, bool blank) {
    if (!row.own) {
      const char* at = cell.data();
      const bool in_text = at >= t_.data() && at + cell.size() <= t_.data() + t_.size();
      const std::size_t offset = in_text ? static_cast<std::size_t>(at - t_.data()) : 0;
      if (in_text && row.begin == kNone && !blank) {
        row.begin = offset;
        row.run = cell.size();
        return;
      }
      const std::size_t next = row.begin + row.run;
      if (in_text && row.begin != kNone && offset == next + (blank ? 1 : 0) &&
          (!blank || t_[next] == ' ')) {
        row.run += cell.size() + (blank ? 1 : 0);
        return;
      }
      row.own = true;
      if (row.begin != kNone) row.text.assign(t_.substr(row.begin, row.run));
    }
    if (blank) row.text += ' ';
    row.text.append(cell);
  }

  bool IsMatchchar(std::string_view cell) const {
    return layout_.matchchar != '\0' && cell.size() == 1 && cell[0] == layout_.matchchar;
  }

  std::string_view FirstCell(std::size_t index) const {
    const Row& first = rows_[first_taxon_];
    const std::string_view row =
        first.own ? std::string_view(first.text) : t_.substr(first.begin, first.run);
    const std::size_t begin = first_[index];
    std::size_t end = index + 1 < first_.size() ? first_[index + 1] : row.size();
    if (layout_.tokens && index + 1 < first_.size()) --end;  // the blank before the next
    return row.substr(begin, end - begin);
  }

  std::string_view t_;
  const MatrixLayout& layout_;
  const std::string& file_;
  std::vector<Row> rows_;
  std::vector<std::vector<TextRange>> places_;
  // The taxon of the matrix's first row, which match characters refer to, and where
  // each of its cells begins.
  std::size_t first_taxon_ = kNone;
  std::vector<std::size_t> first_;
  std::size_t total_ = 0;
  bool matched_ = false;
};

// ---- PHYLIP

RawMatrix PhylipRows(std::string_view t, const MatrixLayout& layout, std::size_t taxa, Rows& rows) {
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
    const std::size_t begin = i;
    skip_name();
    read_cells(taxon, layout.interleaved);
    rows.Place(taxon, begin, i);
  }
  if (layout.interleaved) {
    for (std::size_t taxon = 0; rows.total() < taxa * layout.characters;
         taxon = (taxon + 1) % taxa) {
      skip_blank_lines();
      if (i >= t.size()) break;
      const std::size_t begin = i;
      read_cells(taxon, true);
      rows.Place(taxon, begin, i);
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
  void Next() { ++i_; }

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

RawMatrix NexusRows(std::string_view text, const MatrixLayout& layout,
                    std::vector<std::string> names, Rows& rows) {
  NexusText t(text, rows);
  if (!t.FindMatrix()) rows.Fail("no MATRIX command was found");
  // Without names, the labels of the first rows name the taxa, in order.
  const bool learn = names.empty();
  std::unordered_map<std::string, std::size_t> index;
  for (std::size_t n = 0; n < names.size(); ++n) index.emplace(AsciiUpper(names[n]), n);
  bool numbered = false;
  const auto taxon_of = [&](std::string word, std::size_t by_order) -> std::size_t {
    if (!layout.labels) return by_order;
    for (char& c : word) {
      if (c == ' ') c = '_';
    }
    if (learn && names.size() < layout.taxa && by_order == names.size()) {
      if (!index.emplace(AsciiUpper(word), names.size()).second) {
        rows.Fail("the row label " + QuoteForMessage(word) + " is given twice");
      }
      names.push_back(word);
      return by_order;
    }
    if (const auto it = index.find(AsciiUpper(word)); it != index.end()) return it->second;
    std::size_t number = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), number);
    if (ec == std::errc() && end == word.data() + word.size() && number >= 1 &&
        number <= layout.taxa) {
      numbered = true;
      return number - 1;
    }
    rows.Fail("the row label " + QuoteForMessage(word) + " names no taxon");
  };
  std::size_t order = 0;
  while (t.Skip(), !t.AtEnd() && t.Peek() != ';') {
    const std::size_t begin = t.at();
    std::size_t taxon = order % layout.taxa;
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
    rows.Place(taxon, begin, t.at());
  }
  if (t.AtEnd()) rows.Fail("the MATRIX command has no ';'");
  RawMatrix out = rows.Take();
  out.names = std::move(names);
  out.numbered = numbered;
  out.matrix_end = t.at();
  // The block's END: the commands after the matrix are left to NCL.
  for (bool command_start = true; t.Skip(), !t.AtEnd();) {
    if (t.Peek() == ';') {
      t.Next();
      command_start = true;
      continue;
    }
    const std::string word = AsciiUpper(t.Word());
    if (command_start && (word == "END" || word == "ENDBLOCK")) {
      t.Skip();
      if (!t.AtEnd() && t.Peek() == ';') out.block_end = t.at() + 1;
      break;
    }
    command_start = false;
  }
  return out;
}

// A number as a NEXUS word writes it, or nullopt.
std::optional<std::size_t> WholeNumber(std::string_view word) {
  std::size_t n = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), n);
  if (ec != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return n;
}

}  // namespace

std::optional<NexusShape> ScanNexusShape(std::string_view text) {
  MatrixLayout none;
  Rows rows(text, none, 0, "");
  NexusText t(text, rows);
  NexusShape shape;
  std::string block, command;
  bool command_start = true, taxa_block = false, characters_block = false;
  std::optional<TextRange> block_ntax;  // NTAX of the characters block
  // After "KEY =": the value's word and where it stands.
  const auto value = [&](TextRange* place) -> std::optional<std::string> {
    t.Skip();
    if (t.AtEnd() || t.Peek() != '=') return std::nullopt;
    t.Next();
    t.Skip();
    if (t.AtEnd()) return std::nullopt;
    const std::size_t at = t.at();
    std::string word = t.Word();
    if (place != nullptr) *place = {at, t.at() - at};
    return word;
  };
  while (t.Skip(), !t.AtEnd()) {
    if (t.Peek() == ';') {
      t.Next();
      command_start = true;
      continue;
    }
    const std::string word = AsciiUpper(t.Word());
    if (word == "#NEXUS") continue;
    if (command_start) {
      command_start = false;
      command = word;
      if (word == "BEGIN") {
        t.Skip();
        block = t.AtEnd() ? "" : AsciiUpper(t.Word());
        if (block == "TAXA") {
          if (taxa_block || characters_block) return std::nullopt;
          taxa_block = true;
        } else if (block == "DATA" || block == "CHARACTERS") {
          if (characters_block) return std::nullopt;
          characters_block = true;
        }
      } else if (word == "END" || word == "ENDBLOCK") {
        block.clear();
      } else if (block == "TAXA" && word == "TAXLABELS") {
        while (t.Skip(), !t.AtEnd() && t.Peek() != ';') {
          const std::size_t at = t.at();
          std::string label = t.Word();
          std::replace(label.begin(), label.end(), ' ', '_');
          shape.taxlabels.push_back({at, t.at() - at});
          shape.names.push_back(std::move(label));
        }
      } else if ((block == "DATA" || block == "CHARACTERS") && word == "MATRIX") {
        shape.matrix_begin = t.at();
        break;
      }
      continue;
    }
    const bool in_characters = block == "DATA" || block == "CHARACTERS";
    if (command == "DIMENSIONS" && (block == "TAXA" || in_characters) &&
        (word == "NTAX" || word == "NCHAR")) {
      TextRange place;
      const auto n = value(&place);
      if (!n || !WholeNumber(*n)) return std::nullopt;
      if (word == "NCHAR") {
        shape.layout.characters = *WholeNumber(*n);
      } else {
        if (block == "TAXA") {
          shape.ntax = place;
        } else {
          block_ntax = place;
        }
        shape.layout.taxa = *WholeNumber(*n);
      }
    } else if (command == "FORMAT" && in_characters) {
      MatrixLayout& l = shape.layout;
      if (word == "INTERLEAVE") {
        l.interleaved = true;
        t.Skip();
        if (!t.AtEnd() && t.Peek() == '=') {
          const auto yes = value(nullptr);
          l.interleaved = yes && AsciiUpper(*yes) != "NO";
        }
      } else if (word == "TOKENS") {
        l.tokens = true;
      } else if (word == "NOTOKENS") {
        l.tokens = false;
      } else if (word == "LABELS") {
        l.labels = true;
      } else if (word == "NOLABELS") {
        l.labels = false;
      } else if (word == "TRANSPOSE") {
        return std::nullopt;
      } else if (word == "MATCHCHAR") {
        const auto symbol = value(nullptr);
        if (!symbol || symbol->size() != 1) return std::nullopt;
        l.matchchar = (*symbol)[0];
      } else if (word == "DATATYPE") {
        const auto type = value(nullptr);
        if (type && AsciiUpper(*type) == "CONTINUOUS") shape.continuous = l.tokens = true;
      }
    }
  }
  if (!characters_block || shape.matrix_begin == 0) return std::nullopt;
  if (taxa_block == block_ntax.has_value()) return std::nullopt;  // one count, one place
  if (!taxa_block) {
    shape.ntax = *block_ntax;
    shape.names.clear();
  } else if (shape.names.size() != shape.layout.taxa) {
    return std::nullopt;
  }
  // The pieces a chunk is made of must stand in this order.
  const std::size_t after_count = shape.ntax.offset + shape.ntax.size;
  if (after_count > shape.matrix_begin) return std::nullopt;
  if (!shape.taxlabels.empty() &&
      (shape.taxlabels.front().offset < after_count ||
       shape.taxlabels.back().offset + shape.taxlabels.back().size > shape.matrix_begin)) {
    return std::nullopt;
  }
  shape.layout.format = InputFormat::kNexus;
  return shape;
}

void CheckNexusValues(std::string_view text, const std::string& file) {
  MatrixLayout layout;
  Rows rows(text, layout, 0, file);
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

RawMatrix RawRows(std::string_view text, const MatrixLayout& layout, std::vector<std::string> names,
                  const std::string& file) {
  Rows rows(text, layout, layout.taxa, file);
  if (layout.taxa == 0) return {};
  if (layout.format == InputFormat::kNexus) return NexusRows(text, layout, std::move(names), rows);
  return PhylipRows(text, layout, layout.taxa, rows);
}

}  // namespace dk
