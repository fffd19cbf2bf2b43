// The choices a file dialog's filter offers, from the filter a program gives: a text of
// patterns ("*.txt", several joined by ";") or an n-by-2 cell of patterns and their
// names ({"*.fasta;*.fa", "FASTA files"; "*.phy", "PHYLIP files"}). The program's choices
// come first, in its order; "All files" ("*") always ends the list, so any file can be
// chosen whatever the program expects.
//
// Threading: pure functions, safe anywhere.
#ifndef DROPKIT_GUI_FILE_FILTERS_H_
#define DROPKIT_GUI_FILE_FILTERS_H_

#include <string>
#include <vector>

#include "gui/window_system.h"
#include "runtime/value.h"

namespace dk::internal {

// The name of a text filter's one choice: "Text files" for "*.txt", "FASTA files" for
// "*.fasta" (the extension in capitals), "Files" for several patterns.
std::string FilterName(const std::string& patterns);

// The choices for `filter`: absent or empty gives "All files" alone. Patterns are kept
// as given, less blanks around each; a choice whose patterns are only "*" or "*.*" is
// the "All files" choice, which appears once, last. Raises a RuntimeError for a filter
// that is neither a text nor an n-by-2 cell of texts, or a choice without patterns.
std::vector<FileFilter> FileFilters(const Value& filter);

}  // namespace dk::internal

#endif  // DROPKIT_GUI_FILE_FILTERS_H_
