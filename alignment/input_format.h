// The kinds of input a taxon-jackknife starts from, recognised from the content or
// named by the user.
//
// Names, as the user types them: "fasta", "phylip" (strict: the name in the first 10
// columns), "phylip-relaxed" (the name, blanks, then the data), "nexus" and "list" (a
// plain name list, one name per line).
#ifndef DROPKIT_ALIGNMENT_INPUT_FORMAT_H_
#define DROPKIT_ALIGNMENT_INPUT_FORMAT_H_

#include <optional>
#include <string_view>

namespace dk {

enum class InputFormat {
  kList,
  kFasta,
  kPhylip,         // strict or relaxed, decided while reading
  kPhylipStrict,   // names in the first 10 columns
  kPhylipRelaxed,  // a name, blanks, then the data
  kNexus,
};

// The formats a user may name, each under InputFormatName.
inline constexpr InputFormat kNamedInputFormats[] = {
    InputFormat::kList, InputFormat::kFasta, InputFormat::kPhylipStrict,
    InputFormat::kPhylipRelaxed, InputFormat::kNexus};

// The format a user named, or nullopt for any other text (letter case counts).
std::optional<InputFormat> ParseInputFormat(std::string_view name);

// The user's name of a format ("phylip" for kPhylip and kPhylipStrict).
const char* InputFormatName(InputFormat format);

// The format family a design file records: "fasta", "phylip", "nexus" or "list".
const char* DesignFormatName(InputFormat format);

// True for the formats that hold an alignment (all but kList).
bool IsAlignmentFormat(InputFormat format);

// The format of a file from its first bytes (a few kilobytes are plenty): after a UTF-8
// byte-order mark and any blank lines, ">" starts FASTA, "#NEXUS" (any letter case)
// starts NEXUS, and a first line of two whole numbers separated by blanks starts PHYLIP
// (kPhylip: strict or relaxed). Anything else, and any UTF-16 text, is a name list.
InputFormat DetectInputFormat(std::string_view head);

}  // namespace dk

#endif  // DROPKIT_ALIGNMENT_INPUT_FORMAT_H_
