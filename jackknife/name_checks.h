// Checks over a name list as loaded, for what is probably a mistake.
#ifndef DROPKIT_JACKKNIFE_NAME_CHECKS_H_
#define DROPKIT_JACKKNIFE_NAME_CHECKS_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dk {

// At most this many findings are given as text; the rest are only counted, so that a
// list of millions of faulty names costs the check neither memory nor time to say so.
inline constexpr std::size_t kFindingsShown = 20;

// What the checks found: the first findings, one line of text each, in the order of the
// lines they name, and how many there are in all.
struct NameFindings {
  std::vector<std::string> first;  // the first kFindingsShown (fewer when there are fewer)
  std::size_t count = 0;           // every finding: first.size() or more
};

// Which findings a check gives. Whether a name can stand unquoted in PHYLIP or NEXUS
// matters only where such a file is written: the other findings matter wherever the
// names are used.
enum class Quoting {
  kLeftOut,   // every finding but the quoting ones
  kIncluded,  // every finding
  kOnly,      // the quoting findings alone
};

// Findings about `lines` (each name as read, with its line break when it had one), in
// the order of the lines they name: blank lines; names listed twice (both line numbers);
// leading or trailing blanks; names that PHYLIP or NEXUS cannot hold unquoted, with the
// reasons (as `quoting` says); names that are not valid UTF-8; a last line without a
// line break. `unit` names a place in the findings: "line" for a name list, "taxon" for
// an alignment ("line 4: blank line", "taxa 2 and 7: ...").
NameFindings CheckNames(const std::vector<std::string>& lines, const std::string& unit = "line",
                        Quoting quoting = Quoting::kIncluded);
// The same over views of the lines.
NameFindings CheckNameViews(const std::vector<std::string_view>& lines,
                            const std::string& unit = "line", Quoting quoting = Quoting::kIncluded);
// The same over `count` lines that `lines(first, n, out)` gives, n views at a time into
// out[0 .. n-1], for a list too long to copy; the views must stay valid until the check
// returns. A long list is checked on two threads: `lines` may be called from both at once.
using NameSource = std::function<void(std::size_t first, std::size_t n, std::string_view* out)>;
NameFindings CheckNameSource(std::size_t count, const NameSource& lines,
                             const std::string& unit = "line",
                             Quoting quoting = Quoting::kIncluded);

// True when `text` is valid UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The findings as they are shown: the first ones, each after the file's name
// ("names.txt: line 4: blank line"), then how many more there are.
std::vector<std::string> FindingLines(const std::string& file, const NameFindings& findings);

// Shows the findings on Env::Current()->ConsoleErr, one line each after `file`
// (FindingLines); with `strict`, any finding is then an error, raised naming `path`.
void ShowFindings(const std::string& file, const std::string& path, const NameFindings& findings,
                  bool strict);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_NAME_CHECKS_H_
