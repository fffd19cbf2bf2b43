// The taxon-jackknife driver: from a name list or an alignment to a design and its
// files, in one call.
//
// RunJackknife reads the input, checks the names, draws the groups and writes the
// chosen output: one design format to a file or standard output, or a folder of pruned
// alignments with the design files and, optionally, job files for a tree program
// (docs/jackknife.md). Nothing is written when any check fails. Findings about the
// names, a seed drawn from entropy and, once written, the design's summary
// (SummaryLine) are shown on Env::Current()->ConsoleErr.
//
// Threading: uses the run-time's process-wide random generator and file table; call
// from the program's one thread.
#ifndef DROPKIT_JACKKNIFE_DRIVER_H_
#define DROPKIT_JACKKNIFE_DRIVER_H_

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "alignment/input_format.h"
#include "jackknife/design.h"
#include "jackknife/design_outputs.h"
#include "jackknife/input.h"
#include "jackknife/name_checks.h"  // kFindingsShown
#include "jackknife/provenance.h"
#include "jackknife/pruned_folder.h"  // kMaxPrunedGroups

namespace dk {

// The window's side of a run: it draws from the generator as it stands (no restart).
struct WindowContext {
  std::vector<std::pair<std::string, std::string>> boxes;  // e.g. {"NumBox", "3"}
  std::optional<double> seed;                              // the seed in force, if any
  bool seed_drawn = false;  // it was drawn from entropy, not set with Set seed
};

struct JackknifeOptions {
  std::string input;                        // a name list or an alignment
  std::optional<InputFormat> input_format;  // else recognised from the content
  FastaNames fasta_names = FastaNames::kFirstWord;
  TextLimits list_limits;         // the bounds on reading a name list (and kept_file)
  double omit = 0;                // K, names left out per group
  double groups = 0;              // R, number of groups
  std::optional<double> seed;     // else drawn from entropy and shown
  std::vector<std::string> kept;  // names never left out
  std::string kept_file;          // more of them, one per line ("" for none)
  // How the groups are chosen; kLeaveOneOut uses neither omit nor groups, and
  // kAllCombinations not groups, and neither draws.
  DrawMode draw = DrawMode::kRandom;
  bool strict = false;  // any finding about the names is an error
  OutputFormat format = OutputFormat::kListing;
  // Exactly one destination: a file ("-" for standard output), show (standard output;
  // the listing as the window shows it), or a folder of pruned alignments.
  std::string output;
  bool show = false;
  std::string prune_to;
  std::string jobs;  // with prune_to: "iqtree2", "raxml-ng" or a template ("" for none)
  // With jobs: the tree file each job writes, holding {group} ("" to tell it from the
  // template, jackknife/jobs.h TreeName); recorded in dropkit.json for `support`.
  std::string tree_name;
  bool force = false;  // with prune_to: write into a folder that is not empty
  bool gzip = false;   // with prune_to: gzip each pruned copy
  // Provenance.
  std::string version;            // the program's version
  std::vector<std::string> argv;  // the full command line (batch)
  std::optional<WindowContext> window;
};

// What a design drawn in the window records: the program "dropkit", `version`, the
// window's boxes, the seed in force and the groups drawn since it (`draws_before`), the
// input file and the moment (now, in the local time zone).
Provenance WindowProvenance(const WindowContext& window, const std::string& version,
                            const TaxonList& input, std::uint64_t draws_before);

// A design drawn and ready to write.
struct JackknifeRun {
  TaxonList taxa;
  Design design;
  Provenance provenance;
};

// Checks the options, reads the input, shows the findings (and stops on any with
// `strict`; names that cannot stand unquoted in PHYLIP or NEXUS are findings only when
// the run writes such a file: the nexus and tnt formats, a PHYLIP or NEXUS alignment
// pruned), starts the generator (restarts it from `seed`, or from a seed drawn from
// entropy which it shows as "seed: N"; the window's generator is used as it stands)
// and draws the design. Writes no file. Raises a RuntimeError on any error.
JackknifeRun PrepareJackknife(const JackknifeOptions& options);

// The bytes of `format` for a prepared run (the listing reads the clock now).
std::string FormatDesign(const JackknifeRun& run, OutputFormat format);

// PrepareJackknife, then writes the output the options ask for and shows the design's
// summary. Raises a RuntimeError
// on any error; a file is written all or nothing, and a folder of pruned alignments
// appears only once every file in it is complete (os/staged_folder.h).
void RunJackknife(const JackknifeOptions& options);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_DRIVER_H_
