#include "jackknife/list_review.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "jackknife/name_checks.h"
#include "platform/errors.h"
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
  // when asked for, one thread at a time (the check may read from two), into texts that
  // stay until the check is done.
  std::mutex converting;
  std::deque<std::string> converted;
  const auto lines = [&](std::size_t first, std::size_t n, std::string_view* out) {
    constexpr std::size_t kViews = 64;
    TextView views[kViews];
    for (std::size_t done = 0; done < n;) {
      const std::size_t asked = std::min(kViews, n - done);
      const std::size_t given = list.names.cell_texts(first + done, asked, views);
      for (std::size_t k = 0; k < asked; ++k, ++done) {
        if (k < given && views[k].kind == TextView::Kind::kAscii) {
          *out++ = views[k].bytes();
        } else {
          const std::lock_guard lock(converting);
          *out++ = converted.emplace_back(list.names.cell(first + done).utf8());
        }
      }
    }
  };
  ListReview review{list, CheckNameSource(list.count, lines)};
  const std::string file = BaseName(list.path);
  last_review = std::move(review);
  if (last_review.findings.count == 0) return;
  std::string text = "The names of " + file + " may hold mistakes:";
  for (const std::string& line : FindingLines(file, last_review.findings)) text += "\n" + line;
  ShowWarningBox(text);
}

const ListReview& LastListReview() {
  return last_review;
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

}  // namespace dk
