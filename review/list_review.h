// The review of a name list loaded: the names are checked for what is probably a mistake
// (blank lines, names listed twice, stray blanks, names that are not UTF-8, a last line
// without a line break). The programs show the findings and keep the review for the
// commands that work on the loaded list (shell/registry.h). Names a PHYLIP or NEXUS
// file cannot hold unquoted are not found here, but where such a file is written.
#ifndef DROPKIT_REVIEW_LIST_REVIEW_H_
#define DROPKIT_REVIEW_LIST_REVIEW_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "jackknife/name_checks.h"  // NameFindings
#include "runtime/loaded_list.h"

namespace dk {

struct ListReview {
  LoadedList list;        // path empty when no list was loaded
  NameFindings findings;  // one line each ("line 4: blank line")
};

// Checks the names of `list`, leaving out the quoting findings.
ListReview ReviewList(const LoadedList& list);

// The findings about the names of the file at `path` as a warning's text ("The names of
// names.txt may hold mistakes:" and a line each); "" when there are none.
std::string FindingsText(const std::string& path, const NameFindings& findings);

// What the window's Load makes of `path` (installed with SetListSourceReader): an
// alignment (FASTA, PHYLIP, NEXUS, recognised as dropkit-batch recognises it) gives its
// taxa; a name list gives nullopt. Raises, naming the file, when it cannot be read or
// its first 64 KiB are not text (a NUL byte, or bytes that are not UTF-8 where there is
// no UTF-16 byte-order mark).
std::optional<ListSource> ReadAlignmentAsList(const std::string& path);

// The list the commands that work on the loaded list use: the review of the list loaded
// last, which the program hands over after each Load (an empty path: none loaded).
void SetLoadedListReview(ListReview review);
const ListReview& LoadedListReview();

}  // namespace dk

#endif  // DROPKIT_REVIEW_LIST_REVIEW_H_
