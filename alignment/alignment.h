// Reading an alignment (a data matrix) in FASTA, PHYLIP or NEXUS, through NCL.
//
// ReadAlignment parses the whole text, checks it and keeps what a pruned copy needs
// (alignment/pruned.h): the taxon names in the input's order and each taxon's row. NCL
// does the parsing; this module recognises which PHYLIP layout and which data type a
// file holds by trying NCL's readers in turn, and turns NCL's errors into messages
// that name the file, the taxon and the place.
//
// Threading: NCL keeps no global state that this module uses; calls may run on any
// one thread at a time.
#ifndef DROPKIT_ALIGNMENT_ALIGNMENT_H_
#define DROPKIT_ALIGNMENT_ALIGNMENT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "alignment/input_format.h"
#include "alignment/row_set.h"

namespace dk {

// Bounds on what an input may make the reader do. The file's size is bounded by the
// caller (jackknife/input.h); these bound the counts a header may claim.
inline constexpr std::size_t kMaxTaxa = 100000;
inline constexpr std::size_t kMaxCharacters = 50000000;

enum class DataKind { kDna, kRna, kProtein, kStandard, kOther };

struct Alignment {
  // kFasta, kPhylipStrict, kPhylipRelaxed or kNexus: the format as read.
  InputFormat format = InputFormat::kFasta;
  bool interleaved = false;  // PHYLIP: the input was interleaved
  DataKind kind = DataKind::kDna;
  // In the input's order, as NCL reads them, but for NEXUS with each blank written as an
  // underscore: NEXUS reads "Homo_sapiens" as "Homo sapiens", and tree programs write
  // both as Homo_sapiens.
  std::vector<std::string> names;
  std::size_t characters = 0;  // per taxon
  // Row i of taxon names[i]. FASTA: the record exactly as it stands in the input (the
  // ">" line and the data lines, each with its line break). PHYLIP and NEXUS: the
  // taxon's cells as the input writes them, side by side (words with one blank between
  // them), a match character replaced by the first taxon's cell.
  RowSet rows;
  // NEXUS: the commands of the characters block that go between DIMENSIONS and
  // MATRIX (FORMAT, character and state labels), each on its own line.
  std::string nexus_characters;
  // NEXUS: CHARSET and CHARPARTITION commands of the input's SETS and ASSUMPTIONS
  // blocks (they number characters, which pruning leaves alone), one per line.
  std::string nexus_sets;
};

// How ReadAlignment has NCL read the text.
enum class Reading {
  kAuto,        // a chunk of taxa at a time where that reads, else the whole text at once
  kWhole,       // the whole text at once
  kChunksOnly,  // a chunk at a time, or raise (to check that a text reads so)
};

// What names a FASTA taxon.
enum class FastaNames {
  kFirstWord,  // the first word of its ">" line, as tree programs name it
  kWholeLine,  // the whole ">" line
};

struct ReadingOptions {
  Reading reading = Reading::kAuto;
  std::size_t chunk_cells = 0;  // cells NCL reads at a time; 0 for a 64th of the matrix
  FastaNames fasta_names = FastaNames::kFirstWord;
};

// Reads `bytes`, the content of the file `file_name` (used in messages only), as
// `format`: kFasta, kPhylip (strict or relaxed, sequential or interleaved, whichever
// reads), kPhylipStrict, kPhylipRelaxed or kNexus. A UTF-8 byte-order mark is skipped.
// Data types tried: DNA, RNA, then protein (NEXUS declares its own).
//
// On success every taxon has a non-empty name, no two names are equal ignoring letter
// case, every row has `characters` characters and no name holds a tab or line break.
// A FASTA taxon is named as `options.fasta_names` says; its row keeps the whole ">" line.
// Otherwise raises a RuntimeError naming the file and what was wrong: duplicate names
// with their places, sequences of unequal length with their names and lengths, counts
// above kMaxTaxa or kMaxCharacters, or NCL's reason with the line and column.
//
// Memory: NCL holds several times the size of each cell it reads, so it reads the text a
// chunk of taxa at a time, each chunk's text made of pieces of the input, and the rows
// stay runs of `bytes` where they stand there as one run. A text that does not read so
// (any failure, a layout the chunks cannot be cut from) is read whole, and every message
// is the whole reading's; the result is the same either way.
Alignment ReadAlignment(std::string bytes, InputFormat format, const std::string& file_name,
                        ReadingOptions options = {});

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_ALIGNMENT_H_
