// The rows of a PHYLIP or NEXUS matrix exactly as its text writes them, so that a pruned
// copy holds every value as the input wrote it: a continuous value keeps its digits, a
// state its letter case and its ambiguity braces. Runs after NCL read the text: NCL
// checks the states, this takes the text of each taxon's cells.
//
// Threading: no state; calls may run on any thread.
#ifndef DROPKIT_ALIGNMENT_RAW_ROWS_H_
#define DROPKIT_ALIGNMENT_RAW_ROWS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "alignment/input_format.h"

namespace dk {

struct MatrixLayout {
  InputFormat format = InputFormat::kNexus;  // kPhylipStrict, kPhylipRelaxed or kNexus
  bool interleaved = false;
  bool tokens = false;    // NEXUS: cells are words (continuous data, TOKENS)
  bool labels = true;     // NEXUS: each row starts with its taxon's name or number
  char matchchar = '\0';  // a cell that repeats the first taxon's cell; '\0' for none
  std::size_t characters = 0;
};

// The text of each taxon's cells, in the order of `names` (as read, NEXUS names with
// underscores for blanks): cells side by side, or with one blank between them for
// words. A cell of `matchchar` becomes the first taxon's cell. Raises a RuntimeError
// naming `file` when the matrix cannot be taken apart into `names.size()` rows of
// `characters` cells (a NEXUS matrix given TRANSPOSE'd among them).
std::vector<std::string> RawRows(std::string_view text, const MatrixLayout& layout,
                                 const std::vector<std::string>& names, const std::string& file);

// Refuses, naming `file` and the line, a value of a NEXUS CONTINUOUS matrix that NCL
// would fail on without cleaning up after itself: a number with a leading "+". Does
// nothing for other data or a text without a matrix (NCL says what is wrong then).
void CheckNexusValues(std::string_view text, const std::string& file);

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_RAW_ROWS_H_
