#include "review/list_review.h"

#include <fcntl.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "alignment/input_format.h"
#include "base/errors.h"
#include "jackknife/input.h"
#include "jackknife/name_checks.h"
#include "os/env.h"
#include "os/files.h"

namespace dk {
namespace {

std::string BaseName(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

}  // namespace

ListReview ReviewList(const LoadedList& list) {
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
  return ListReview{list, CheckNameSource(list.count, lines, "line", Quoting::kLeftOut)};
}

std::string FindingsText(const std::string& path, const NameFindings& findings) {
  if (findings.count == 0) return "";
  const std::string file = BaseName(path);
  std::string text = "The names of " + file + " may hold mistakes:";
  for (const std::string& line : FindingLines(file, findings)) text += "\n" + line;
  return text;
}

std::optional<ListSource> ReadAlignmentAsList(const std::string& path) {
  const std::string block = ReadFileStart(path, 65536, "the file");
  const InputFormat format = DetectInputFormat(std::string_view(block).substr(0, 4096));
  if (format == InputFormat::kList) {
    const bool utf16 = block.starts_with("\xFF\xFE") || block.starts_with("\xFE\xFF");
    if (utf16) return std::nullopt;
    // A multi-byte character cut at the block's end is not a fault.
    std::size_t end = block.size();
    for (std::size_t back = 1; back <= 3 && back <= end; ++back) {
      const unsigned char c = static_cast<unsigned char>(block[end - back]);
      if ((c & 0xC0) != 0x80) {
        if (c >= 0xC0) end -= back;
        break;
      }
    }
    const std::size_t nul = block.find('\0');
    if (nul != std::string::npos || !IsValidUtf8(std::string_view(block).substr(0, end))) {
      Raise("Cannot load " + QuoteForMessage(path) + ": it is not text (" +
            (nul != std::string::npos ? "a NUL byte at byte " + std::to_string(nul + 1)
                                      : std::string("bytes that are not UTF-8")) +
            "); load a name list, one name per line, or an alignment");
    }
    return std::nullopt;
  }
  const TaxonList taxa = LoadTaxa(path, format);
  ListSource source;
  source.lines = taxa.lines;
  const char* kind = taxa.format == InputFormat::kFasta   ? "FASTA"
                     : taxa.format == InputFormat::kNexus ? "NEXUS"
                                                          : "PHYLIP";
  source.message = "Loaded " + std::to_string(taxa.names.size()) +
                   (taxa.names.size() == 1 ? " taxon" : " taxa") + " from the " + kind +
                   " alignment " + BaseName(path);
  return source;
}

namespace {

ListReview& ReviewInForce() {
  static ListReview* review = new ListReview;
  return *review;
}

}  // namespace

void SetLoadedListReview(ListReview review) {
  ReviewInForce() = std::move(review);
}

const ListReview& LoadedListReview() {
  return ReviewInForce();
}

}  // namespace dk
