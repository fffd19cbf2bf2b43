// The rows of a PHYLIP or NEXUS matrix exactly as its text writes them, so that a pruned
// copy holds every value as the input wrote it: a continuous value keeps its digits, a
// state its letter case and its ambiguity braces. Runs after NCL read the text: NCL
// checks the states, this takes the text of each taxon's cells.
//
// Threading: no state; calls may run on any thread.
#ifndef DROPKIT_ALIGNMENT_RAW_ROWS_H_
#define DROPKIT_ALIGNMENT_RAW_ROWS_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "alignment/input_format.h"
#include "alignment/row_set.h"

namespace dk {

struct MatrixLayout {
  InputFormat format = InputFormat::kNexus;  // kPhylipStrict, kPhylipRelaxed or kNexus
  bool interleaved = false;
  bool tokens = false;    // NEXUS: cells are words (continuous data, TOKENS)
  bool labels = true;     // NEXUS: each row starts with its taxon's name or number
  char matchchar = '\0';  // a cell that repeats the first taxon's cell; '\0' for none
  std::size_t characters = 0;
  std::size_t taxa = 0;
};

// Where a piece of text stands: `size` bytes from `offset` on.
struct TextRange {
  std::size_t offset = 0;
  std::size_t size = 0;
};

struct RawMatrix {
  // Each taxon's cells, as runs of the text where they stand there side by side (or
  // words with one blank between them).
  RowSet rows;
  // Where each taxon's row stands in the text, its label included: one range, or one
  // for each line of an interleaved matrix.
  std::vector<std::vector<TextRange>> places;
  // NEXUS, when no names were given: the labels of the first rows, in order.
  std::vector<std::string> names;
  bool numbered = false;        // NEXUS: a row is labelled by its taxon's number
  bool matched = false;         // a match character stands in the matrix
  std::size_t first_taxon = 0;  // the taxon of the first row, which match characters copy
  std::size_t matrix_end = 0;   // NEXUS: where the ';' that ends the matrix stands
  std::size_t block_end = 0;    // NEXUS: just after the block's END; (0: none found)
};

// What a first look at a NEXUS text finds of its one matrix, for reading it a few taxa at
// a time: the layout its FORMAT command declares, where the taxa are counted and named.
struct NexusShape {
  MatrixLayout layout;  // format, interleaved, tokens, labels, matchchar, characters, taxa
  bool continuous = false;
  // The digits of the NTAX that counts the taxa: the TAXA block's when there is one.
  TextRange ntax;
  // The TAXA block's labels as written, and as names (underscores for blanks); empty
  // when the matrix's labels name the taxa.
  std::vector<TextRange> taxlabels;
  std::vector<std::string> names;
  std::size_t matrix_begin = 0;  // just after the MATRIX word
};

// The shape of `text`, or nullopt when it is not one this reading can take apart: more
// than one TAXA or characters block, a TAXA block after the characters block, a count of
// taxa in both or neither, a TRANSPOSE'd matrix, a count or match character it cannot
// read. Only a first look: NCL's reading decides what the text holds.
std::optional<NexusShape> ScanNexusShape(std::string_view text);

// Takes the matrix of `text` apart into `layout.taxa` rows of `layout.characters`
// cells, in the order of `names` (as read, NEXUS names with underscores for blanks; when
// empty, a NEXUS matrix's first labels name the taxa): cells side by side, or with one
// blank between them for words. A cell of `matchchar` becomes the cell of the taxon whose
// row comes first in the matrix.
// Raises a RuntimeError naming `file` when the matrix cannot be taken apart so (a NEXUS
// matrix given TRANSPOSE'd among them).
RawMatrix RawRows(std::string_view text, const MatrixLayout& layout, std::vector<std::string> names,
                  const std::string& file);

// Refuses, naming `file` and the line, a value of a NEXUS CONTINUOUS matrix that NCL
// would fail on without cleaning up after itself: a number with a leading "+". Does
// nothing for other data or a text without a matrix (NCL says what is wrong then).
void CheckNexusValues(std::string_view text, const std::string& file);

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_RAW_ROWS_H_
