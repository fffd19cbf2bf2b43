#include "jackknife/name_checks.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string_view>
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

// For each name that repeats an earlier one: the line of its first listing and how many
// times it has been listed up to here (0 for a first listing). Hashing and sorting keeps
// a long list's check to a few passes over memory.
std::vector<std::pair<std::size_t, std::size_t>> Repeats(
    const std::vector<std::string_view>& names) {
  struct Key {
    std::size_t hash;
    std::size_t index;
  };
  std::vector<Key> keys;
  keys.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!names[i].empty()) keys.push_back({std::hash<std::string_view>()(names[i]), i});
  }
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.index < b.index;
  });
  std::vector<std::pair<std::size_t, std::size_t>> repeats(names.size(), {0, 0});
  for (std::size_t run = 0; run < keys.size();) {
    std::size_t end = run + 1;
    while (end < keys.size() && keys[end].hash == keys[run].hash) ++end;
    // Within a run of equal hashes (nearly always one name), in line order.
    for (std::size_t k = run + 1; k < end; ++k) {
      for (std::size_t m = k; m-- > run;) {  // the latest earlier listing
        if (names[keys[m].index] != names[keys[k].index]) continue;
        const auto& earlier = repeats[keys[m].index];
        const std::size_t first = earlier.second == 0 ? keys[m].index + 1 : earlier.first;
        repeats[keys[k].index] = {first, (earlier.second == 0 ? 1 : earlier.second) + 1};
        break;
      }
    }
    run = end;
  }
  return repeats;
}

}  // namespace

std::vector<std::string> CheckNames(const std::vector<std::string>& lines,
                                    const std::string& unit) {
  return CheckNameViews(std::vector<std::string_view>(lines.begin(), lines.end()), unit);
}

std::vector<std::string> CheckNameViews(const std::vector<std::string_view>& lines,
                                        const std::string& unit) {
  std::vector<std::string> findings;
  // Names without their line breaks, and empty for blank lines (never repeats).
  std::vector<std::string_view> names(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view name = WithoutBreak(lines[i]);
    if (name.find_first_not_of(" \t") != std::string_view::npos) names[i] = name;
  }
  const auto repeats = Repeats(names);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto at = [&] { return unit + " " + std::to_string(i + 1) + ": "; };
    const std::string_view name = WithoutBreak(lines[i]);
    std::size_t begin = 0, end = name.size();
    while (begin < end && IsBlank(name[begin])) ++begin;
    while (end > begin && IsBlank(name[end - 1])) --end;
    if (begin == end) {
      findings.push_back(at() + "blank line");
      continue;
    }
    if (const auto [first, count] = repeats[i]; count > 1) {
      const std::string times = count == 2 ? "twice" : std::to_string(count) + " times";
      findings.push_back(Plural(unit) + " " + std::to_string(first) + " and " +
                         std::to_string(i + 1) + ": " + Shown(name) + " is listed " + times);
    }
    if (begin > 0 || end < name.size()) {
      const char* where = begin > 0 && end < name.size() ? "leading and trailing"
                          : begin > 0                    ? "leading"
                                                         : "trailing";
      findings.push_back(at() + Shown(name) + " has " + where + " blanks");
    }
    if (!IsValidUtf8(name)) findings.push_back(at() + Shown(name) + " is not valid UTF-8");
    const std::vector<std::string> problems = UnquotedNameProblems(name.substr(begin, end - begin));
    if (!problems.empty()) {
      std::string reasons;
      for (const auto& p : problems) reasons += (reasons.empty() ? "" : "; ") + p;
      findings.push_back(at() + Shown(name) +
                         " cannot stand unquoted in PHYLIP or NEXUS: " + reasons);
    }
  }
  if (!lines.empty() && (lines.back().empty() || lines.back().back() != '\n')) {
    findings.push_back(unit + " " + std::to_string(lines.size()) +
                       ": the last line has no line break");
  }
  return findings;
}

}  // namespace dk
