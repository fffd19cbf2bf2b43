#include "jackknife/design.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "platform/errors.h"
#include "platform/ops.h"
#include "platform/random.h"
#include "platform/text.h"

namespace dk {
namespace {

std::size_t WholeCount(double x, const char* what) {
  if (!std::isfinite(x) || x < 0 || x != std::floor(x) || x > 4294967295.0) {
    Raise(std::string("The ") + what + " must be one whole number from 0 to 4294967295, not " +
          FormatNumber(x));
  }
  return static_cast<std::size_t>(x);
}

// The positions that may be left out, in list order.
std::vector<std::size_t> Omittable(std::size_t list_size, const std::vector<std::size_t>& kept) {
  std::vector<std::size_t> out;
  out.reserve(list_size - std::min(list_size, kept.size()));
  auto next_kept = kept.begin();
  for (std::size_t i = 0; i < list_size; ++i) {
    if (next_kept != kept.end() && *next_kept == i) {
      ++next_kept;
      continue;
    }
    out.push_back(i);
  }
  return out;
}

}  // namespace

std::vector<std::size_t> KeptPositions(const std::vector<std::string>& names,
                                       const std::vector<std::string>& kept,
                                       const std::string& list_file) {
  const std::unordered_set<std::string> wanted(kept.begin(), kept.end());
  std::unordered_set<std::string> found;
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (wanted.count(names[i]) != 0) {
      positions.push_back(i);
      found.insert(names[i]);
    }
  }
  for (const auto& name : kept) {
    if (found.count(name) == 0) {
      Raise("The name " + QuoteForMessage(name, '"') + " to keep is not in " +
            QuoteForMessage(list_file));
    }
  }
  return positions;
}

Design DrawDesign(std::size_t list_size, std::vector<std::size_t> kept, double omit,
                  double groups) {
  const std::size_t k = WholeCount(omit, "number of names to leave out per group");
  const std::size_t r = WholeCount(groups, "number of groups");
  const std::vector<std::size_t> omittable = Omittable(list_size, kept);
  const std::size_t m = omittable.size();
  if (k > m) {
    std::string why = "the list has only " + std::to_string(list_size) + " names";
    if (!kept.empty()) {
      why = "only " + std::to_string(m) + " of the list's " + std::to_string(list_size) +
            " names may be left out (" + std::to_string(kept.size()) + " are kept)";
    }
    Raise("Cannot leave out " + std::to_string(k) + " names per group: " + why);
  }
  if (r > kMaxGroups) {
    Raise("Cannot draw " + std::to_string(r) + " groups: at most " + std::to_string(kMaxGroups) +
          " are allowed");
  }
  if (k > 0 && r > kMaxOmittedEntries / k) {
    Raise("Cannot draw " + std::to_string(r) + " groups of " + std::to_string(k) + ": at most " +
          std::to_string(kMaxOmittedEntries) + " names left out over all groups are allowed");
  }
  Design design;
  design.list_size = list_size;
  design.kept = std::move(kept);
  design.omit = k;
  design.groups.reserve(r);
  const Value n_value = Value::Scalar(static_cast<double>(m));
  const Value k_value = Value::Scalar(static_cast<double>(k));
  for (std::size_t g = 0; g < r; ++g) {
    const Value drawn = mlfSort(mlfRandperm(n_value, k_value));
    std::vector<std::size_t> group(k);
    for (std::size_t j = 0; j < k; ++j) {
      group[j] = omittable[static_cast<std::size_t>(drawn.num(j)) - 1];
    }
    design.groups.push_back(std::move(group));
  }
  return design;
}

Design LeaveOneOut(std::size_t list_size, std::vector<std::size_t> kept) {
  if (list_size - kept.size() > kMaxGroups) {
    Raise("Cannot leave out each of " + std::to_string(list_size - kept.size()) +
          " names in turn: at most " + std::to_string(kMaxGroups) + " groups are allowed");
  }
  Design design;
  design.list_size = list_size;
  design.omit = 1;
  design.each = true;
  for (const std::size_t i : Omittable(list_size, kept)) design.groups.push_back({i});
  design.kept = std::move(kept);
  return design;
}

std::string GroupLabel(std::size_t group, std::size_t groups) {
  const int width = std::max(3, static_cast<int>(std::to_string(groups).size()));
  char buf[48];
  std::snprintf(buf, sizeof buf, "group%0*zu", width, group);
  return buf;
}

std::vector<bool> OmittedFlags(const Design& design, std::size_t group) {
  std::vector<bool> flags(design.list_size, false);
  for (const std::size_t i : design.groups[group]) flags[i] = true;
  return flags;
}

}  // namespace dk
