#include "jackknife/name_checks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <future>
#include <limits>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

#include "alignment/taxon_names.h"
#include "base/errors.h"
#include "base/growable_array.h"
#include "os/env.h"

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

// The bytes at `p` as a T, read without regard to alignment.
template <typename T>
T Load(const char* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// Finds names listed before: an open hash table (4 bytes a slot, at most 5/8 full) over
// the names, which stay where the caller keeps them. A slot holds a position + 1 in its
// low bits and, in the bits a list's positions leave free, a few bits of the name's hash,
// so that nearly only a true repeat is compared with an earlier name.
class RepeatFinder {
 public:
  explicit RepeatFinder(std::size_t count) {
    std::size_t slots = 16;
    while (slots * 5 < count * 8) slots *= 2;  // at most five eighths full
    mask_ = slots - 1;
    std::memset(table_.Grow(slots), 0, slots * sizeof(std::uint32_t));
    while (index_bits_ < 32 && (std::uint64_t{1} << index_bits_) <= count + 1) ++index_bits_;
  }

  // A hash of eight bytes at a time: names are short, and a table of positions needs
  // only well-spread bits, not a hash that resists chosen input.
  static std::size_t Hash(std::string_view name) {
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ULL;
    const char* p = name.data();
    const std::size_t n = name.size();
    std::uint64_t h = n * kMul;
    const auto mix = [&h](std::uint64_t word) {
      h = (h ^ word) * kMul;
      h ^= h >> 29;
    };
    // Loads of fixed sizes only: the last word overlaps the one before, and a short name
    // is read as two overlapping halves.
    if (n >= 8) {
      for (std::size_t i = 0; i + 8 < n; i += 8) mix(Load<std::uint64_t>(p + i));
      mix(Load<std::uint64_t>(p + n - 8));
    } else if (n >= 4) {
      mix(Load<std::uint32_t>(p) | std::uint64_t{Load<std::uint32_t>(p + n - 4)} << 32);
    } else if (n > 0) {
      const auto byte = [&](std::size_t i) {
        return std::uint64_t{static_cast<unsigned char>(p[i])};
      };
      mix(byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16);
    }
    h ^= h >> 32;
    return static_cast<std::size_t>(h * 0xBF58476D1CE4E5B9ULL);
  }

  void Prefetch(std::size_t hash) const { __builtin_prefetch(table_.data() + (hash & mask_)); }

  // Enters name i (not empty, with its hash) and returns where it was first listed (from
  // 1) when it was listed before, 0 when not. `name(j)` gives name j.
  template <typename Name>
  std::size_t Enter(std::size_t i, std::string_view n, std::size_t hash, const Name& name) {
    const std::uint32_t index_mask =
        index_bits_ >= 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << index_bits_) - 1;
    const std::uint32_t tag =
        index_bits_ >= 32 ? 0 : static_cast<std::uint32_t>(hash >> 32) & ~index_mask;
    for (std::size_t s = hash & mask_;; s = (s + 1) & mask_) {
      const std::uint32_t slot = table_.data()[s];
      if (slot == 0) {
        table_.data()[s] = tag | static_cast<std::uint32_t>(i + 1);
        return 0;
      }
      if ((slot & ~index_mask) != tag) continue;
      const std::size_t first = slot & index_mask;
      if (name(first - 1) == n) return first;
    }
  }

  // Counts one more listing of the name first listed at `first` (from 1) and returns how
  // many times it is listed so far. Only the repeats that become text are counted.
  std::size_t CountRepeat(std::size_t first) {
    return ++times_.try_emplace(first, 1).first->second;
  }

 private:
  std::size_t mask_ = 0;
  int index_bits_ = 1;
  GrowableArray<std::uint32_t> table_;  // tag | position + 1; 0: free (huge pages when large)
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

// A name without its line break, and empty for a blank line (never a repeat).
std::string_view NameOf(std::string_view line) {
  const std::string_view n = WithoutBreak(line);
  for (const char c : n) {
    if (!IsBlank(c)) return n;
  }
  return {};
}

// A finding about one line: the line (from 0) and its text.
struct LineFinding {
  std::size_t line;
  std::string text;
};

// The findings of one kind of check: the first kFindingsShown as text, in line order, and
// how many there are in all.
struct Findings {
  std::vector<LineFinding> first;
  std::size_t count = 0;

  // True while a finding still has to be made into text.
  bool WantText() const { return first.size() < kFindingsShown; }
};

constexpr std::size_t kBlock = 256;  // lines read at a time

// The findings about names listed before, in line order: one pass over `count` lines that
// `fill(first, n, views)` gives n at a time, each name's hash slot fetched a few names
// before its turn.
template <typename Fill>
Findings RepeatFindings(std::size_t count, const Fill& fill, const std::string& unit) {
  Findings findings;
  const auto name = [&](std::size_t i) {
    std::string_view line;
    fill(i, 1, &line);
    return NameOf(line);
  };
  RepeatFinder repeats(count);
  std::string_view lines[kBlock];
  std::string_view names[kBlock];
  std::size_t hashes[kBlock];
  // Enough to hide the wait for a slot, few enough not to crowd the processor's queue.
  constexpr std::size_t kAhead = 16;
  for (std::size_t block = 0; block < count; block += kBlock) {
    const std::size_t n = std::min(kBlock, count - block);
    fill(block, n, lines);
    for (std::size_t k = 0; k < n; ++k) {
      names[k] = NameOf(lines[k]);
      hashes[k] = RepeatFinder::Hash(names[k]);
    }
    for (std::size_t k = 0; k < std::min(n, kAhead); ++k) {
      if (!names[k].empty()) repeats.Prefetch(hashes[k]);
    }
    for (std::size_t k = 0; k < n; ++k) {
      if (k + kAhead < n && !names[k + kAhead].empty()) repeats.Prefetch(hashes[k + kAhead]);
      if (names[k].empty()) continue;
      const std::size_t i = block + k;
      const std::size_t first = repeats.Enter(i, names[k], hashes[k], name);
      if (first == 0) continue;
      ++findings.count;
      if (!findings.WantText()) continue;
      const std::size_t times = repeats.CountRepeat(first);
      const std::string said = times == 2 ? "twice" : std::to_string(times) + " times";
      findings.first.push_back({i, Plural(unit) + " " + std::to_string(first) + " and " +
                                       std::to_string(i + 1) + ": " + Shown(names[k]) +
                                       " is listed " + said});
    }
  }
  return findings;
}

// The findings about each line on its own (blank, stray blanks, not UTF-8, not to stand
// unquoted, as `quoting` says), in line order.
template <typename Fill>
Findings LineFindings(std::size_t count, const Fill& fill, const std::string& unit,
                      Quoting quoting) {
  Findings findings;
  // Counts a finding about line i; makes its text, `what`, only while texts are wanted.
  const auto found = [&](std::size_t i, const auto& what) {
    ++findings.count;
    if (findings.WantText()) findings.first.push_back({i, what()});
  };
  std::string_view lines[kBlock];
  for (std::size_t block = 0; block < count; block += kBlock) {
    const std::size_t n = std::min(kBlock, count - block);
    fill(block, n, lines);
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t i = block + k;
      const auto at = [&] { return unit + " " + std::to_string(i + 1) + ": "; };
      const std::string_view name = WithoutBreak(lines[k]);
      // Not blank, no stray blanks, ASCII and fit to stand unquoted: nothing to find.
      if (IsPlainAsciiName(name)) continue;
      std::size_t begin = 0, end = name.size();
      while (begin < end && IsBlank(name[begin])) ++begin;
      while (end > begin && IsBlank(name[end - 1])) --end;
      if (begin == end) {
        if (quoting != Quoting::kOnly) found(i, [&] { return at() + "blank line"; });
        continue;
      }
      if (quoting != Quoting::kOnly && (begin > 0 || end < name.size())) {
        const char* where = begin > 0 && end < name.size() ? "leading and trailing"
                            : begin > 0                    ? "leading"
                                                           : "trailing";
        found(i, [&] { return at() + Shown(name) + " has " + where + " blanks"; });
      }
      if (quoting != Quoting::kOnly && !AllAscii(name) && !IsValidUtf8(name)) {
        found(i, [&] { return at() + Shown(name) + " is not valid UTF-8"; });
      }
      if (quoting == Quoting::kLeftOut) continue;
      const std::vector<std::string> problems =
          UnquotedNameProblems(name.substr(begin, end - begin));
      if (!problems.empty()) {
        found(i, [&] {
          std::string reasons;
          for (const auto& p : problems) reasons += (reasons.empty() ? "" : "; ") + p;
          return at() + Shown(name) + " cannot stand unquoted in PHYLIP or NEXUS: " + reasons;
        });
      }
    }
  }
  return findings;
}

// A list this long has its repeats looked for on a second thread while the caller checks
// each line; a shorter one is checked faster than a thread starts.
constexpr std::size_t kSecondThreadLines = 1 << 16;

// The checks over `count` lines that `fill(first, n, views)` gives n at a time (each name
// as read, with its line break when it had one). `fill` may be called from two threads
// at once.
template <typename Fill>
NameFindings CheckLines(std::size_t count, const Fill& fill, const std::string& unit,
                        Quoting quoting) {
  if (count >= std::numeric_limits<std::uint32_t>::max()) {
    Raise("Cannot check " + std::to_string(count) + " names: a list holds fewer");
  }
  Findings repeats, singles;
  if (quoting == Quoting::kOnly) {
    singles = LineFindings(count, fill, unit, quoting);
  } else if (count >= kSecondThreadLines && Env::Current()->Processors() > 1) {
    auto repeated =
        std::async(std::launch::async, [&] { return RepeatFindings(count, fill, unit); });
    singles = LineFindings(count, fill, unit, quoting);
    repeats = repeated.get();
  } else {
    repeats = RepeatFindings(count, fill, unit);
    singles = LineFindings(count, fill, unit, quoting);
  }
  // In line order; a line's repeat first (a blank line is never a repeat). Each kind's
  // first texts hold the first of all findings: any finding before them is among them.
  NameFindings findings;
  findings.count = repeats.count + singles.count;
  std::size_t r = 0, l = 0;
  while ((r < repeats.first.size() || l < singles.first.size()) &&
         findings.first.size() < kFindingsShown) {
    if (l == singles.first.size() ||
        (r < repeats.first.size() && repeats.first[r].line <= singles.first[l].line)) {
      findings.first.push_back(std::move(repeats.first[r++].text));
    } else {
      findings.first.push_back(std::move(singles.first[l++].text));
    }
  }
  if (count > 0 && quoting != Quoting::kOnly) {
    std::string_view last;
    fill(count - 1, 1, &last);
    if (last.empty() || last.back() != '\n') {
      ++findings.count;
      if (findings.first.size() < kFindingsShown) {
        findings.first.push_back(unit + " " + std::to_string(count) +
                                 ": the last line has no line break");
      }
    }
  }
  return findings;
}

}  // namespace

NameFindings CheckNames(const std::vector<std::string>& lines, const std::string& unit,
                        Quoting quoting) {
  const auto fill = [&](std::size_t first, std::size_t n, std::string_view* out) {
    for (std::size_t k = 0; k < n; ++k) out[k] = lines[first + k];
  };
  return CheckLines(lines.size(), fill, unit, quoting);
}

NameFindings CheckNameViews(const std::vector<std::string_view>& lines, const std::string& unit,
                            Quoting quoting) {
  const auto fill = [&](std::size_t first, std::size_t n, std::string_view* out) {
    std::copy_n(lines.begin() + static_cast<std::ptrdiff_t>(first), n, out);
  };
  return CheckLines(lines.size(), fill, unit, quoting);
}

NameFindings CheckNameSource(std::size_t count, const NameSource& lines, const std::string& unit,
                             Quoting quoting) {
  return CheckLines(count, lines, unit, quoting);
}

std::vector<std::string> FindingLines(const std::string& file, const NameFindings& findings) {
  std::vector<std::string> lines;
  for (const std::string& finding : findings.first)
    lines.push_back(EscapeForMessage(file) + ": " + finding);
  if (findings.count > findings.first.size()) {
    const std::size_t more = findings.count - findings.first.size();
    lines.push_back(EscapeForMessage(file) + ": " + std::to_string(more) +
                    (more == 1 ? " more finding" : " more findings"));
  }
  return lines;
}

void ShowFindings(const std::string& file, const std::string& path, const NameFindings& findings,
                  bool strict) {
  for (const std::string& line : FindingLines(file, findings)) {
    Env::Current()->ConsoleErr(line + "\n");
  }
  if (strict && findings.count > 0) {
    Raise(QuoteForMessage(path) + " has " + std::to_string(findings.count) +
          (findings.count == 1 ? " finding" : " findings") +
          " about its names and the strict check allows none; nothing was written");
  }
}

}  // namespace dk
