// Writing an alignment without some of its taxa, in the format it was read in.
#ifndef DROPKIT_ALIGNMENT_PRUNED_H_
#define DROPKIT_ALIGNMENT_PRUNED_H_

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "alignment/alignment.h"

namespace dk {

// The file name extension of a pruned copy: ".fasta", ".phy" or ".nex".
const char* PrunedExtension(InputFormat format);

// A pruned copy as pieces to be written one after another: views into an alignment's
// rows (which must outlive it) and texts of its own.
class PrunedText {
 public:
  PrunedText() = default;
  PrunedText(PrunedText&&) = default;
  PrunedText& operator=(PrunedText&&) = default;
  PrunedText(const PrunedText&) = delete;
  PrunedText& operator=(const PrunedText&) = delete;

  void Add(std::string_view piece) { pieces_.push_back(piece); }
  void Add(std::string text);
  void Add(const char* text) { Add(std::string_view(text)); }

  const std::vector<std::string_view>& pieces() const { return pieces_; }
  std::string Joined() const;

 private:
  std::deque<std::string> own_;  // a deque keeps each text where it is
  std::vector<std::string_view> pieces_;
};

// The text of `alignment` without the taxa whose flag in `omitted` is set (one flag
// per taxon, in the input's order); the others keep their order.
//
// FASTA: the records kept, each exactly as it stands in the input. PHYLIP: a header
// with the counts, then one line per taxon (strict: the name padded to 10 columns;
// relaxed: the name padded with blanks to the longest name and one more), sequential
// whatever the input was. NEXUS: a TAXA block, a CHARACTERS block with the input's
// FORMAT and labels, and a SETS block with its CHARSET and CHARPARTITION commands.
// REQUIRES: omitted.size() == alignment.names.size().
PrunedText PrunedPieces(const Alignment& alignment, const std::vector<bool>& omitted);

// The same text in one piece.
std::string PrunedAlignment(const Alignment& alignment, const std::vector<bool>& omitted);

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_PRUNED_H_
