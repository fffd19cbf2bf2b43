// The taxa a jackknife draws from: a plain name list or the taxa of an alignment, with
// what provenance records about the file.
#ifndef DROPKIT_JACKKNIFE_INPUT_H_
#define DROPKIT_JACKKNIFE_INPUT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "alignment/alignment.h"
#include "alignment/input_format.h"
#include "os/text_lines.h"

namespace dk {

// The largest input file read, in bytes (4 GiB): reading and pruning an alignment hold
// about 1.1 to 1.3 times its size.
inline constexpr std::uint64_t kMaxInputBytes = std::uint64_t{4} << 30;

struct TaxonList {
  std::string file;  // the path as given
  std::uint64_t size = 0;
  std::string sha256;  // of the file's bytes, 64 lowercase hex digits
  // kList, or the alignment's format as read (kFasta, kPhylipStrict, kPhylipRelaxed,
  // kNexus).
  InputFormat format = InputFormat::kList;
  // Each name as read: a list's line with its line break, if it had one ("\n": the
  // reader turns "\r\n" and "\r" into "\n"); an alignment's name followed by "\n".
  std::vector<std::string> lines;
  // The same names without their line breaks.
  std::vector<std::string> names;
  std::optional<Alignment> alignment;  // set for alignments
};

// Reads the file at `path`: a regular file of at most kMaxInputBytes. Its format is
// `format` when given, else recognised from the content (DetectInputFormat). A name
// list is read exactly as the generator's Load reads one (os/text_lines.h, one name
// per line, within `limits`); an alignment through ReadAlignment, FASTA taxa named as
// `fasta_names` says.
// Raises a RuntimeError naming the file and the reason on any failure.
TaxonList LoadTaxa(const std::string& path, std::optional<InputFormat> format,
                   FastaNames fasta_names = FastaNames::kFirstWord, const TextLimits& limits = {});

// Reads a file of names, one per line, as a name list is read; blank lines are
// skipped. Raises naming the file on failure.
std::vector<std::string> LoadNameFile(const std::string& path, const TextLimits& limits = {});

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_INPUT_H_
