#include "jackknife/list_review.h"

#include <string_view>
#include <utility>

#include "jackknife/name_checks.h"
#include "platform/graphics.h"

namespace dk {
namespace {

ListReview last_review;

std::string BaseName(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

}  // namespace

void ReviewLoadedList(const LoadedList& list) {
  // The names as UTF-8 bytes: plain ASCII names are read in place, others converted.
  std::vector<std::string> converted;
  std::vector<std::string_view> lines(list.count);
  for (std::size_t i = 0; i < list.count; ++i) {
    const Value& name = list.names.cell(i);
    if (name.ascii()) {
      lines[i] = std::string_view(reinterpret_cast<const char*>(name.narrow_bytes()), name.numel());
    } else {
      converted.push_back(name.utf8());
    }
  }
  if (!converted.empty()) {  // fill in the converted ones, whose storage is now fixed
    std::size_t next = 0;
    for (std::size_t i = 0; i < list.count; ++i) {
      if (!list.names.cell(i).ascii()) lines[i] = converted[next++];
    }
  }
  ListReview review{list, CheckNameViews(lines)};
  const std::string file = BaseName(list.path);
  last_review = std::move(review);
  if (last_review.findings.empty()) return;
  std::string text = "The names of " + file + " may hold mistakes:";
  for (const std::string& line : FindingLines(file, last_review.findings)) text += "\n" + line;
  ShowWarningBox(text);
}

const ListReview& LastListReview() {
  return last_review;
}

std::vector<std::string> FindingLines(const std::string& file,
                                      const std::vector<std::string>& findings) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < findings.size() && i < kFindingsShown; ++i) {
    lines.push_back(file + ": " + findings[i]);
  }
  if (findings.size() > kFindingsShown) {
    const std::size_t more = findings.size() - kFindingsShown;
    lines.push_back(file + ": " + std::to_string(more) +
                    (more == 1 ? " more finding" : " more findings"));
  }
  return lines;
}

}  // namespace dk
