#include "jackknife/list_review.h"

#include <string_view>
#include <unordered_map>
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
  // The names as UTF-8 bytes: plain ASCII names are read in place, others converted
  // first, so that the check (which may read from two threads) only reads.
  std::unordered_map<std::size_t, std::string> converted;
  TextView view;
  for (std::size_t i = 0; i < list.count; ++i) {
    if (!list.names.cell_text(i, &view) || view.kind != TextView::Kind::kAscii) {
      converted.emplace(i, list.names.cell(i).utf8());
    }
  }
  const auto lines = [&](std::size_t first, std::size_t n, std::string_view* out) {
    TextView v;
    for (std::size_t i = first; i < first + n; ++i) {
      if (list.names.cell_text(i, &v) && v.kind == TextView::Kind::kAscii) {
        *out++ = v.bytes();
      } else {
        *out++ = converted.at(i);
      }
    }
  };
  ListReview review{list, CheckNameSource(list.count, lines)};
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
