#include "jackknife/name_checks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "alignment/taxon_names.h"
#include "platform/errors.h"

namespace dk {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view WithoutBreak(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line;
}

// The name in double quotes, with control characters and bytes that are not UTF-8
// shown as escapes, so that a finding stays on one line.
std::string Shown(std::string_view name) {
  return QuoteForMessage(name, '"');
}

std::string Plural(const std::string& unit) {
  return unit == "taxon" ? "taxa" : unit + "s";
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t n;
    std::uint32_t cp;
    if ((b & 0xE0) == 0xC0) {
      n = 2, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      n = 3, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      n = 4, cp = b & 0x07;
    } else {
      return false;
    }
    if (i + n > text.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

namespace {

// Finds names listed before: an open hash table of positions (4 bytes a slot, at most
// half full) over the names, which stay where the caller keeps them. One pass over a list,
// with the slot of each name fetched a few names ahead of its turn.
class RepeatFinder {
 public:
  explicit RepeatFinder(std::size_t count) {
    std::size_t slots = 16;
    while (slots < 2 * count) slots *= 2;
    mask_ = slots - 1;
    table_.assign(slots, 0);
  }

  static std::size_t Hash(std::string_view name) { return std::hash<std::string_view>()(name); }
  void Prefetch(std::size_t hash) const { __builtin_prefetch(&table_[hash & mask_]); }

  // Enters name i (not empty, with its hash) and returns {first listing (1-based), times
  // listed so far} for a repeat, {0, 1} for a first listing. `name(j)` gives name j.
  template <typename Name>
  std::pair<std::size_t, std::size_t> Enter(std::size_t i, std::string_view n, std::size_t hash,
                                            const Name& name) {
    for (std::size_t s = hash & mask_;; s = (s + 1) & mask_) {
      if (table_[s] == 0) {
        table_[s] = static_cast<std::uint32_t>(i + 1);
        return {0, 1};
      }
      const std::size_t first = table_[s] - 1;
      if (name(first) != n) continue;
      std::size_t& listed = times_.try_emplace(first, 1).first->second;
      return {first + 1, ++listed};
    }
  }

 private:
  std::size_t mask_ = 0;
  std::vector<std::uint32_t> table_;                    // position + 1; 0 for a free slot
  std::unordered_map<std::size_t, std::size_t> times_;  // repeated names: first, times listed
};

// True when every byte is below 0x80, eight at a time.
bool AllAscii(std::string_view text) {
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if ((word & 0x8080808080808080ULL) != 0) return false;
  }
  for (; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

// The checks over `count` lines that `line(i)` gives (each name as read, with its line
// break when it had one), in one pass.
template <typename Line>
std::vector<std::string> CheckLines(std::size_t count, const Line& line, const std::string& unit) {
  if (count >= std::numeric_limits<std::uint32_t>::max()) {
    Raise("Cannot check " + std::to_string(count) + " names: a list holds fewer");
  }
  std::vector<std::string> findings;
  // A name without its line break, and empty for a blank line (never a repeat).
  const auto name = [&](std::size_t i) {
    const std::string_view n = WithoutBreak(line(i));
    return n.find_first_not_of(" \t") == std::string_view::npos ? std::string_view() : n;
  };
  RepeatFinder repeats(count);
  // The names just ahead, with their hashes, so that their slots are fetched in time.
  constexpr std::size_t kAhead = 16;
  struct Ahead {
    std::string_view name;
    std::size_t hash = 0;
  };
  Ahead ahead[kAhead];
  const auto look_ahead = [&](std::size_t i) {
    if (i >= count) return;
    Ahead& a = ahead[i % kAhead];
    a.name = name(i);
    a.hash = RepeatFinder::Hash(a.name);
    if (!a.name.empty()) repeats.Prefetch(a.hash);
  };
  for (std::size_t i = 0; i < kAhead; ++i) look_ahead(i);
  for (std::size_t i = 0; i < count; ++i) {
    const Ahead current = ahead[i % kAhead];
    look_ahead(i + kAhead);
    const auto at = [&] { return unit + " " + std::to_string(i + 1) + ": "; };
    if (current.name.empty()) {
      findings.push_back(at() + "blank line");
      continue;
    }
    const std::string_view name_i = current.name;
    if (const auto [first, times] = repeats.Enter(i, name_i, current.hash, name); times > 1) {
      const std::string said = times == 2 ? "twice" : std::to_string(times) + " times";
      findings.push_back(Plural(unit) + " " + std::to_string(first) + " and " +
                         std::to_string(i + 1) + ": " + Shown(name_i) + " is listed " + said);
    }
    std::size_t begin = 0, end = name_i.size();
    while (begin < end && IsBlank(name_i[begin])) ++begin;
    while (end > begin && IsBlank(name_i[end - 1])) --end;
    if (begin > 0 || end < name_i.size()) {
      const char* where = begin > 0 && end < name_i.size() ? "leading and trailing"
                          : begin > 0                      ? "leading"
                                                           : "trailing";
      findings.push_back(at() + Shown(name_i) + " has " + where + " blanks");
    }
    if (!AllAscii(name_i) && !IsValidUtf8(name_i)) {
      findings.push_back(at() + Shown(name_i) + " is not valid UTF-8");
    }
    const std::vector<std::string> problems =
        UnquotedNameProblems(name_i.substr(begin, end - begin));
    if (!problems.empty()) {
      std::string reasons;
      for (const auto& p : problems) reasons += (reasons.empty() ? "" : "; ") + p;
      findings.push_back(at() + Shown(name_i) +
                         " cannot stand unquoted in PHYLIP or NEXUS: " + reasons);
    }
  }
  if (count > 0) {
    const std::string_view last = line(count - 1);
    if (last.empty() || last.back() != '\n') {
      findings.push_back(unit + " " + std::to_string(count) + ": the last line has no line break");
    }
  }
  return findings;
}

}  // namespace

std::vector<std::string> CheckNames(const std::vector<std::string>& lines,
                                    const std::string& unit) {
  return CheckLines(
      lines.size(), [&](std::size_t i) { return std::string_view(lines[i]); }, unit);
}

std::vector<std::string> CheckNameViews(const std::vector<std::string_view>& lines,
                                        const std::string& unit) {
  return CheckLines(
      lines.size(), [&](std::size_t i) { return lines[i]; }, unit);
}

std::vector<std::string> CheckNameSource(std::size_t count, const NameSource& line,
                                         const std::string& unit) {
  return CheckLines(count, line, unit);
}

}  // namespace dk
