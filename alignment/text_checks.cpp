#include "alignment/text_checks.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

#include "alignment/alignment.h"
#include "alignment/ascii_text.h"
#include "base/errors.h"

namespace dk {
namespace {

std::string Number(std::size_t n) {
  return std::to_string(n);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

void CheckCounts(const std::string& file, std::size_t taxa, std::size_t characters,
                 std::size_t bytes) {
  if (taxa > kMaxTaxa) {
    Raise("Cannot read " + QuoteForMessage(file) + ": it declares " + Number(taxa) +
          " taxa; at most " + Number(kMaxTaxa) + " are allowed");
  }
  if (characters > kMaxCharacters) {
    Raise("Cannot read " + QuoteForMessage(file) + ": it declares " + Number(characters) +
          " characters; at most " + Number(kMaxCharacters) + " are allowed");
  }
  if (taxa > 0 && characters > bytes / taxa) {
    Raise("Cannot read " + QuoteForMessage(file) + ": it declares " + Number(taxa) + " taxa of " +
          Number(characters) + " characters, more than its " + Number(bytes) + " bytes can hold");
  }
}

// Reads a whole number of at most 12 digits at text[*i], moving *i past its digits.
std::optional<std::size_t> ReadCount(std::string_view text, std::size_t* i) {
  std::size_t digits = 0, value = 0;
  while (*i < text.size() && IsDigit(text[*i])) {
    if (++digits > 12) return std::nullopt;
    value = value * 10 + static_cast<std::size_t>(text[*i] - '0');
    ++*i;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

std::string Trimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsAsciiSpace(s[b])) ++b;
  while (e > b && IsAsciiSpace(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// True when `word` (capitals) starts at text[at], in any letter case.
bool WordAt(std::string_view text, std::size_t at, std::string_view word) {
  if (at + word.size() > text.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (std::toupper(static_cast<unsigned char>(text[at + k])) != word[k]) return false;
  }
  return true;
}

}  // namespace

void CheckPhylipHeader(std::string_view text, const std::string& file) {
  std::size_t i = 0;
  while (i < text.size() && IsAsciiSpace(text[i])) ++i;
  const auto taxa = ReadCount(text, &i);
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const auto characters = ReadCount(text, &i);
  if (!taxa || !characters) {
    Raise("Cannot read " + QuoteForMessage(file) +
          " as PHYLIP: its first line must hold the numbers of taxa and characters");
  }
  if (*taxa == 0) Raise("Cannot read " + QuoteForMessage(file) + " as PHYLIP: it declares no taxa");
  CheckCounts(file, *taxa, *characters, text.size());
}

void CheckNexusDimensions(std::string_view text, const std::string& file) {
  std::size_t taxa = 0, characters = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '[') {
      int depth = 0;
      do {
        depth += text[i] == '[' ? 1 : text[i] == ']' ? -1 : 0;
        ++i;
      } while (i < text.size() && depth > 0);
      continue;
    }
    if (text[i] == '\'') {  // a quoted word; '' inside is a quote
      ++i;
      while (i < text.size() &&
             !(text[i] == '\'' && (i + 1 == text.size() || text[i + 1] != '\''))) {
        i += text[i] == '\'' ? 2u : 1u;
      }
      ++i;
      continue;
    }
    const bool word_start = i == 0 || std::isalnum(static_cast<unsigned char>(text[i - 1])) == 0;
    for (const auto& [word, slot] :
         {std::pair<std::string_view, std::size_t*>{"NTAX", &taxa},
          std::pair<std::string_view, std::size_t*>{"NCHAR", &characters}}) {
      if (!word_start || !WordAt(text, i, word)) continue;
      std::size_t j = i + word.size();
      while (j < text.size() && IsAsciiSpace(text[j])) ++j;
      if (j == text.size() || text[j] != '=') continue;
      ++j;
      while (j < text.size() && IsAsciiSpace(text[j])) ++j;
      if (const auto n = ReadCount(text, &j)) {
        *slot = std::max(*slot, *n);
      } else if (j < text.size() && IsDigit(text[j])) {
        Raise("Cannot read " + QuoteForMessage(file) + ": its " + std::string(word) +
              " is too large");
      }
    }
    ++i;
  }
  CheckCounts(file, taxa, characters, text.size());
}

std::vector<FastaRecord> FastaRecords(std::string_view text, const std::string& file) {
  std::vector<FastaRecord> records;
  std::map<std::string, std::size_t> seen;
  std::size_t pos = 0, line_number = 0;
  while (pos < text.size()) {
    ++line_number;
    // A line ends at "\n", "\r\n" or a lone "\r".
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      end = text.size();
    } else {
      end += text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2u : 1u;
    }
    const std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line[0] == '>') {
      records.push_back({Trimmed(line.substr(1)), line.substr(0, 0), line_number});
      const std::string& name = records.back().name;
      if (name.empty()) {
        Raise("Cannot read " + QuoteForMessage(file) + ": sequence " + Number(records.size()) +
              " has no name after its \">\"");
      }
      if (std::any_of(name.begin(), name.end(),
                      [](char c) { return IsControlByte(c) && c != '\t'; })) {
        Raise("Cannot read " + QuoteForMessage(file) + ": the name of sequence " +
              Number(records.size()) + " (" + QuoteForMessage(name) +
              ") holds a control character");
      }
      const auto [it, fresh] = seen.emplace(AsciiUpper(name), records.size());
      if (!fresh) {
        Raise("Cannot read " + QuoteForMessage(file) + ": the taxon name " + QuoteForMessage(name) +
              " is given twice (sequences " + Number(it->second) + " and " +
              Number(records.size()) + "; names are compared ignoring letter case)");
      }
    }
    if (!records.empty()) {
      std::string_view& record = records.back().text;
      record = std::string_view(record.data(), record.size() + line.size());
    }
    pos = end;
  }
  return records;
}

std::optional<std::string> UnreadPhylipText(std::string_view text,
                                            const std::vector<std::string>& names,
                                            const RowSet& rows) {
  // The first line is the header's, after any blank lines.
  std::size_t i = 0;
  while (i < text.size() && IsAsciiSpace(text[i])) ++i;
  i = text.find('\n', i);
  i = i == std::string_view::npos ? text.size() : i + 1;
  std::size_t present = 0;
  for (; i < text.size(); ++i) present += !IsAsciiSpace(text[i]);
  std::size_t expected = 0;
  for (std::size_t t = 0; t < names.size(); ++t) {
    for (const char c : names[t]) expected += !IsAsciiSpace(c);
    expected += rows.length(t);
  }
  if (present == expected) return std::nullopt;
  return "the names and rows of " + Number(names.size()) + " taxa account for " + Number(expected) +
         " of the " + Number(present) + " non-blank characters after the first line";
}

}  // namespace dk
