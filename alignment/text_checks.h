// Cheap passes over an alignment's text around NCL's parse: bounds a header claims,
// checked before NCL sizes anything by them; FASTA records as they stand; and text a
// PHYLIP reader left unread.
#ifndef DROPKIT_ALIGNMENT_TEXT_CHECKS_H_
#define DROPKIT_ALIGNMENT_TEXT_CHECKS_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "alignment/row_set.h"

namespace dk {

// Checks the counts on the first line of PHYLIP text against kMaxTaxa and
// kMaxCharacters (alignment/alignment.h) and against the text's size: every cell of the
// matrix takes at least one byte. Raises a RuntimeError naming `file` otherwise, or when
// the line does not start with two whole numbers or declares no taxa.
void CheckPhylipHeader(std::string_view text, const std::string& file);

// The same for the largest NTAX=n and NCHAR=n of NEXUS text, outside comments (which
// nest) and quoted words.
void CheckNexusDimensions(std::string_view text, const std::string& file);

struct FastaRecord {
  std::string name;       // the ">" line without ">" and the blanks around the name
  std::string_view text;  // the ">" line and the data lines, with their line breaks
  std::size_t line = 0;   // the ">" line's number, from 1
};

// Splits FASTA text into records, lines ending at "\n", "\r\n" or a lone "\r"; text
// before the first ">" line is dropped (NCL refuses it). Raises naming `file` and the records for a
// record without a name, or two names equal ignoring letter case (as NCL compares them).
// Each record's text is a view into `text`.
std::vector<FastaRecord> FastaRecords(std::string_view text, const std::string& file);

// PHYLIP readers stop once they have their counts, so a wrong reading of the layout can
// leave text unread. Every non-blank character after the first line is a name's or a
// state's: nullopt when the names (without their blanks) and the rows account for all
// of them, else a phrase saying how many they account for.
std::optional<std::string> UnreadPhylipText(std::string_view text,
                                            const std::vector<std::string>& names,
                                            const RowSet& rows);

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_TEXT_CHECKS_H_
