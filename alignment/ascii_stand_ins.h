// Names beyond ASCII through NCL's FASTA and PHYLIP readers, which take each byte beyond
// ASCII for a blank ("écureuil" reads as "cureuil").
//
// Before NCL reads a text, each run of bytes beyond ASCII is replaced by ASCII of the
// same length: "!" and then characters that are neither letters (so that no two names
// become equal ignoring letter case) nor states of any data type. The same run always
// gets the same stand-in and different runs different ones, so names stay distinct,
// and every byte keeps its place, so a name read from the replaced text is found at the
// same place in the original.
//
// Threading: an object is used by one thread at a time.
#ifndef DROPKIT_ALIGNMENT_ASCII_STAND_INS_H_
#define DROPKIT_ALIGNMENT_ASCII_STAND_INS_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace dk {

class AsciiStandIns {
 public:
  // Replaces the runs in `*text`. Returns false, leaving `*text` as it was, when it has
  // no byte beyond ASCII or more distinct runs than stand-ins can tell apart.
  bool Apply(std::string* text);

  // `s` with its runs replaced as Apply replaced them (a run Apply did not meet is left).
  std::string Of(std::string_view s) const;

  // The names as the original text spells them: each of `names`, read from `replaced`
  // in the order they stand there, becomes the bytes at its place in `original`. A name
  // not found is kept as it is.
  static std::vector<std::string> Originals(std::string_view original, std::string_view replaced,
                                            const std::vector<std::string>& names);

 private:
  std::map<std::string, std::string, std::less<>> stand_in_;  // run -> its stand-in
  std::map<std::size_t, std::size_t> used_;                   // length -> stand-ins made
};

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_ASCII_STAND_INS_H_
