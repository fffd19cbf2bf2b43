#include "design/design.h"

#include <algorithm>
#include <cstdio>

namespace dk {
namespace {

std::string Counted(std::size_t n, const char* unit) {
  return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

}  // namespace

const char* DrawModeName(DrawMode mode) {
  switch (mode) {
    case DrawMode::kRandom:
      return "random";
    case DrawMode::kDistinct:
      return "distinct";
    case DrawMode::kBalanced:
      return "balanced";
    case DrawMode::kAllCombinations:
      return "all-combinations";
    case DrawMode::kLeaveOneOut:
      return "leave-one-out";
  }
  return "random";
}

DesignSummary Summarize(const Design& design) {
  DesignSummary summary;
  summary.groups = design.groups.size();
  std::vector<const std::vector<std::size_t>*> sorted;
  sorted.reserve(design.groups.size());
  for (const auto& group : design.groups) sorted.push_back(&group);
  std::sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) { return *a < *b; });
  for (std::size_t g = 0; g < sorted.size(); ++g) {
    if (g == 0 || *sorted[g] != *sorted[g - 1]) ++summary.distinct;
  }
  std::vector<std::size_t> times(design.list_size, 0);
  for (const auto& group : design.groups) {
    for (const std::size_t i : group) ++times[i];
  }
  bool counted = false;
  auto next_kept = design.kept.begin();
  for (std::size_t i = 0; i < times.size(); ++i) {
    if (next_kept != design.kept.end() && *next_kept == i) {
      ++next_kept;
      continue;
    }
    summary.omitted_least = counted ? std::min(summary.omitted_least, times[i]) : times[i];
    summary.omitted_most = std::max(summary.omitted_most, times[i]);
    counted = true;
  }
  return summary;
}

std::string SummaryLine(const Design& design) {
  const DesignSummary s = Summarize(design);
  std::string line =
      "design: " + Counted(s.groups, "group") + ", " + std::to_string(s.distinct) + " distinct; ";
  if (design.kept.size() >= design.list_size) return line + "no taxon may be left out\n";
  line += design.kept.empty() ? "each taxon left out " : "each taxon not kept left out ";
  if (s.omitted_least != s.omitted_most) {
    return line + std::to_string(s.omitted_least) + " to " + std::to_string(s.omitted_most) +
           " times\n";
  }
  return line + (s.omitted_most == 1 ? "once" : std::to_string(s.omitted_most) + " times") + "\n";
}

std::string GroupLabel(std::size_t group, std::size_t groups) {
  const int width = std::max(3, static_cast<int>(std::to_string(groups).size()));
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%0*zu", kGroupLabelStart, width, group);
  return buf;
}

std::vector<bool> OmittedFlags(const Design& design, std::size_t group) {
  std::vector<bool> flags(design.list_size, false);
  for (const std::size_t i : design.groups[group]) flags[i] = true;
  return flags;
}

}  // namespace dk
