// A design in each output format, as the bytes of the file.
//
// `lines` are the names as read, each with its line break; `names` the same without
// (jackknife/input.h). Every function here is pure but for the listings, which read the
// clock through the current Env.
#ifndef DROPKIT_JACKKNIFE_DESIGN_OUTPUTS_H_
#define DROPKIT_JACKKNIFE_DESIGN_OUTPUTS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jackknife/design.h"

namespace dk {

enum class OutputFormat { kListing, kTsv, kJson, kNexus, kTnt };
inline constexpr OutputFormat kOutputFormats[] = {OutputFormat::kListing, OutputFormat::kTsv,
                                                  OutputFormat::kJson, OutputFormat::kNexus,
                                                  OutputFormat::kTnt};

// "listing", "tsv", "json", "nexus" or "tnt"; nullopt for anything else.
std::optional<OutputFormat> ParseOutputFormat(std::string_view name);
const char* OutputFormatName(OutputFormat format);

// The listing file, byte for byte as the generator's Save writes it: the header line,
// the date line from the clock now, then for each group its heading and each name it
// leaves out, in list order, with the name's own line break.
std::string ListingText(const std::vector<std::string>& lines, const Design& design);

// The listing as the window's Show puts it in its box, followed by a line break, as
// dropkit-batch --show prints it (names lose their trailing blanks and line breaks).
std::string ShowText(const std::vector<std::string>& lines, const Design& design);

// A NEXUS file with a SETS block (one TAXSET per group, named by its label) and a PAUP
// block that, for each group, deletes its taxa, searches, saves the trees to
// "<label>.tre" and restores all taxa. Run it after the data file.
std::string NexusCommands(const std::vector<std::string>& names, const Design& design);

// A TNT script that, for each group, deactivates its taxa (TNT numbers taxa from 0, in
// list order), searches, saves the trees to "<label>.tre" and reactivates them. Run it
// after reading the data matrix.
std::string TntScript(const Design& design);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_DESIGN_OUTPUTS_H_
