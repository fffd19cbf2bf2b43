#include "clades/group_trees.h"

#include <algorithm>

#include "base/errors.h"
#include "design/design.h"
#include "os/env.h"

namespace dk::clades {
namespace {

constexpr std::string_view kSlot = "{group}";
constexpr std::string_view kLabelStart = kGroupLabelStart;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The number of "group<digits>" at the start of `text` and how long that is; {0, 0}
// when it is not there (or the number is 0 or too long to be a group's).
std::pair<std::size_t, std::size_t> LeadingLabel(std::string_view text) {
  if (!text.starts_with(kLabelStart)) return {0, 0};
  std::size_t end = kLabelStart.size(), number = 0;
  while (end < text.size() && IsDigit(text[end])) {
    if (end - kLabelStart.size() >= 9) return {0, 0};
    number = number * 10 + static_cast<std::size_t>(text[end] - '0');
    ++end;
  }
  if (end == kLabelStart.size() || number == 0) return {0, 0};
  return {number, end};
}

// Puts each matched file in its group's place.
class Matcher {
 public:
  Matcher(std::size_t groups, bool exact) : exact_(exact) { result_.files.resize(groups); }

  void Add(std::size_t group, const std::string& path) {
    if (group > kMaxGroups) {
      Raise("The tree file " + QuoteForMessage(path) + " is named for group " +
            std::to_string(group) + ", beyond the " + std::to_string(kMaxGroups) +
            " groups a design may have");
    }
    if (group > result_.files.size()) {
      if (exact_) {
        Raise("The tree file " + QuoteForMessage(path) + " is named for group " +
              std::to_string(group) + ", but the design has " +
              std::to_string(result_.files.size()) + " groups");
      }
      result_.files.resize(group);
    }
    std::string& slot = result_.files[group - 1];
    if (!slot.empty()) {
      Raise("The tree files " + QuoteForMessage(slot) + " and " + QuoteForMessage(path) +
            " are both named for group " + std::to_string(group));
    }
    slot = path;
  }

  GroupTreeFiles Finish() {
    for (std::size_t g = 0; g < result_.files.size(); ++g)
      if (result_.files[g].empty()) result_.missing.push_back(g + 1);
    return std::move(result_);
  }

 private:
  bool exact_;
  GroupTreeFiles result_;
};

}  // namespace

void CheckTreeNamePattern(std::string_view pattern) {
  const std::size_t slot = pattern.find(kSlot);
  const bool once = slot != std::string_view::npos &&
                    pattern.find(kSlot, slot + kSlot.size()) == std::string_view::npos;
  const std::size_t braces =
      static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '{') +
                               std::count(pattern.begin(), pattern.end(), '}'));
  if (!once || braces != 2 || pattern.find('/') != std::string_view::npos) {
    Raise("The tree file name " + QuoteForMessage(pattern, '"') +
          " must hold {group} once, no other placeholder and no \"/\" (e.g. \"{group}.treefile\")");
  }
}

std::size_t GroupNumberOf(std::string_view name, std::string_view pattern) {
  if (pattern.empty()) {
    const auto [number, end] = LeadingLabel(name);
    return end < name.size() && IsDigit(name[end]) ? 0 : number;
  }
  const std::size_t slot = pattern.find(kSlot);
  const std::string_view before = pattern.substr(0, slot);
  const std::string_view after = pattern.substr(slot + kSlot.size());
  if (name.size() < before.size() + after.size() || !name.starts_with(before) ||
      !name.ends_with(after)) {
    return 0;
  }
  const std::string_view label =
      name.substr(before.size(), name.size() - before.size() - after.size());
  const auto [number, end] = LeadingLabel(label);
  return end == label.size() ? number : 0;
}

std::string FillTreeName(std::string_view pattern, std::string_view label) {
  std::string name(pattern);
  if (const std::size_t slot = name.find(kSlot); slot != std::string::npos)
    name.replace(slot, kSlot.size(), label);
  return name;
}

GroupTreeFiles TreeFilesInFolder(const std::string& dir, std::string_view pattern,
                                 std::size_t groups, bool exact) {
  CheckTreeNamePattern(pattern);
  std::vector<std::string> names;
  if (const int r = Env::Current()->ListDir(dir, &names); r < 0)
    Raise("Cannot list the folder " + QuoteForMessage(dir) + ": " + ErrnoText(r));
  std::sort(names.begin(), names.end());  // the same message whatever the listing's order
  Matcher matcher(groups, exact);
  const std::string prefix = dir.ends_with('/') ? dir : dir + "/";
  for (const std::string& name : names)
    if (const std::size_t group = GroupNumberOf(name, pattern); group > 0)
      matcher.Add(group, prefix + name);
  return matcher.Finish();
}

GroupTreeFiles TreeFilesByName(const std::vector<std::string>& paths, std::string_view pattern,
                               std::size_t groups, bool exact) {
  if (!pattern.empty()) CheckTreeNamePattern(pattern);
  const auto numbers_by = [&](std::string_view by) {
    std::vector<std::size_t> numbers;
    for (const std::string& path : paths) {
      const std::size_t slash = path.rfind('/');
      numbers.push_back(
          GroupNumberOf(slash == std::string::npos ? path : path.substr(slash + 1), by));
    }
    return numbers;
  };
  const auto none = [](const std::vector<std::size_t>& numbers) {
    return std::all_of(numbers.begin(), numbers.end(), [](std::size_t n) { return n == 0; });
  };
  std::vector<std::size_t> numbers = numbers_by(pattern);
  if (none(numbers) && !pattern.empty()) {  // named otherwise, but still for their groups
    pattern = {};
    numbers = numbers_by(pattern);
  }
  if (none(numbers)) return {};
  Matcher matcher(groups, exact);
  for (std::size_t f = 0; f < paths.size(); ++f) {
    if (numbers[f] == 0) {
      Raise("The tree file " + QuoteForMessage(paths[f]) +
            " is not named for a group as the others are" +
            (pattern.empty() ? std::string(" (\"group\" and its number first)")
                             : " (" + QuoteForMessage(pattern, '"') + ")"));
    }
    matcher.Add(numbers[f], paths[f]);
  }
  return matcher.Finish();
}

std::string GroupRanges(const std::vector<std::size_t>& groups) {
  std::vector<std::string> parts;
  for (std::size_t i = 0; i < groups.size();) {
    std::size_t j = i;
    while (j + 1 < groups.size() && groups[j + 1] == groups[j] + 1) ++j;
    parts.push_back(j == i ? std::to_string(groups[i])
                           : std::to_string(groups[i]) + "-" + std::to_string(groups[j]));
    i = j + 1;
  }
  std::string text;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    if (p > 0) text += p + 1 == parts.size() ? " and " : ", ";
    text += parts[p];
  }
  return text;
}

}  // namespace dk::clades
