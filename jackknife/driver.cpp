#include "jackknife/driver.h"

#include <cmath>
#include <optional>
#include <utility>

#include "alignment/pruned.h"
#include "base/errors.h"
#include "base/number_text.h"
#include "design/design_files.h"
#include "jackknife/jobs.h"
#include "jackknife/name_checks.h"
#include "jackknife/pruned_folder.h"
#include "os/env.h"
#include "os/files.h"
#include "os/staged_folder.h"
#include "random/random.h"

namespace dk {
namespace {

void CheckDestinations(const JackknifeOptions& o) {
  if (o.input.empty()) Raise("No input file was given");
  const int destinations = int(!o.output.empty()) + int(o.show) + int(!o.prune_to.empty());
  if (destinations != 1) {
    Raise("Give exactly one destination: an output file, show, or a folder to prune into");
  }
  if (!o.jobs.empty() && o.prune_to.empty()) {
    Raise("Job files need a folder of pruned alignments (prune to a folder)");
  }
  // A bad template is refused before anything is read; the preset's model waits for
  // the data type.
  if (!o.jobs.empty()) JobTemplate(o.jobs, DataKind::kDna);
  if (!o.tree_name.empty()) {
    if (o.jobs.empty()) Raise("A tree file name needs job files (a job template)");
    CheckTreeName(o.tree_name);
  }
  if (o.gzip && o.prune_to.empty()) Raise("Compressing needs a folder of pruned alignments");
  if (o.gzip && o.jobs == "raxml-ng") {
    Raise(
        "RAxML-NG cannot read gzipped alignments: leave out the compression, or run a "
        "program that can (the iqtree2 preset, or a template)");
  }
  if (o.seed && !std::isfinite(*o.seed)) {
    Raise("The seed must be one finite number, not " + FormatNumber(*o.seed));
  }
}

std::string Place(const TaxonList& taxa, std::size_t i) {
  return (taxa.alignment ? "taxon " : "line ") + std::to_string(i + 1) + " of " +
         QuoteForMessage(taxa.file);
}

// groups.tsv and dropkit.json cannot hold a name with a tab or one that is not UTF-8.
void CheckNamesFit(const TaxonList& taxa) {
  for (std::size_t i = 0; i < taxa.names.size(); ++i) {
    if (taxa.names[i].find('\t') != std::string::npos) {
      Raise(Place(taxa, i) + ": the name holds a tab, which the design files cannot hold");
    }
    if (!IsValidUtf8(taxa.names[i])) {
      Raise(Place(taxa, i) + ": the name is not valid UTF-8, which the design files need");
    }
  }
}

// True when the run writes a PHYLIP or NEXUS file, or one a tree program reads beside
// one (TNT): only then do names that cannot stand unquoted there matter.
bool WritesPhylipOrNexus(const JackknifeOptions& o, const TaxonList& taxa) {
  if (o.format == OutputFormat::kNexus || o.format == OutputFormat::kTnt) return true;
  return !o.prune_to.empty() && taxa.alignment && taxa.alignment->format != InputFormat::kFasta;
}

std::vector<std::string> KeptNames(const JackknifeOptions& o) {
  std::vector<std::string> kept = o.kept;
  if (!o.kept_file.empty()) {
    for (auto& name : LoadNameFile(o.kept_file, o.list_limits)) kept.push_back(std::move(name));
  }
  return kept;
}

void Restart(double seed) {
  RestartRandom(seed);
}

bool Draws(DrawMode mode) {
  return mode != DrawMode::kLeaveOneOut && mode != DrawMode::kAllCombinations;
}

Design DesignAsAsked(const JackknifeOptions& o, std::size_t list_size,
                     std::vector<std::size_t> kept) {
  switch (o.draw) {
    case DrawMode::kLeaveOneOut:
      return LeaveOneOut(list_size, std::move(kept));
    case DrawMode::kAllCombinations:
      return AllCombinations(list_size, std::move(kept), o.omit);
    case DrawMode::kRandom:
    case DrawMode::kDistinct:
    case DrawMode::kBalanced:
      break;
  }
  return DrawDesign(list_size, std::move(kept), o.omit, o.groups, o.draw);
}

// Starts the generator as the options ask and draws the design; fills in the seed.
Design Draw(const JackknifeOptions& o, const TaxonList& taxa, std::vector<std::size_t> kept,
            Provenance* provenance) {
  const std::size_t n = taxa.names.size();
  if (o.window) return DesignAsAsked(o, n, std::move(kept));  // the seed is the window's
  if (!Draws(o.draw)) {  // no draws: a seed only says what was asked
    provenance->seed = o.seed;
    provenance->seed_source = o.seed ? SeedSource::kOption : SeedSource::kNone;
    return DesignAsAsked(o, n, std::move(kept));
  }
  if (o.seed) {
    Restart(*o.seed);
    provenance->seed = o.seed;
    provenance->seed_source = SeedSource::kOption;
    return DesignAsAsked(o, n, std::move(kept));
  }
  const std::uint64_t seed = EntropySeed();
  Restart(static_cast<double>(seed));
  Design design = DesignAsAsked(o, n, std::move(kept));
  provenance->seed = static_cast<double>(seed);
  provenance->seed_source = SeedSource::kEntropy;
  ShowDrawnSeed(seed);
  return design;
}

// What every design records: the program, its version, the input file and the moment.
Provenance InputProvenance(std::string program, const std::string& version,
                           const TaxonList& input) {
  Provenance p;
  p.program = std::move(program);
  p.version = version;
  p.input_file = input.file;
  p.input_size = input.size;
  p.input_sha256 = input.sha256;
  p.input_format = DesignFormatName(input.format);
  const LocalTime now = Env::Current()->Now();
  p.created = IsoDateTime(now, Env::Current()->ZoneOffset(now));
  return p;
}

void PruneInto(StagedFolder& folder, const JackknifeOptions& o, const JackknifeRun& run) {
  PrunedFolder what;
  what.alignment = &*run.taxa.alignment;
  what.input = o.input;
  what.design = &run.design;
  what.gzip = o.gzip;
  if (run.provenance.jobs) what.command_template = run.provenance.jobs->command_template;
  what.groups_tsv = FormatDesign(run, OutputFormat::kTsv);
  what.dropkit_json = FormatDesign(run, OutputFormat::kJson);
  WritePrunedFolder(folder, what);
}

}  // namespace

Provenance WindowProvenance(const WindowContext& window, const std::string& version,
                            const TaxonList& input, std::uint64_t draws_before) {
  Provenance p = InputProvenance("dropkit", version, input);
  p.window = window.boxes;
  p.seed = window.seed;
  p.seed_source = !window.seed        ? SeedSource::kNone
                  : window.seed_drawn ? SeedSource::kEntropy
                                      : SeedSource::kWindow;
  p.draws_before = draws_before;
  return p;
}

JackknifeRun PrepareJackknife(const JackknifeOptions& o) {
  CheckDestinations(o);
  JackknifeRun run;
  run.taxa = LoadTaxa(o.input, o.input_format, o.fasta_names, o.list_limits);
  if (!o.prune_to.empty() && !run.taxa.alignment) {
    Raise("Cannot prune " + QuoteForMessage(o.input) +
          ": it is a name list, and pruning needs an alignment (FASTA, PHYLIP or NEXUS)");
  }
  const bool design_files =
      !o.prune_to.empty() || o.format == OutputFormat::kTsv || o.format == OutputFormat::kJson;
  if (design_files) CheckNamesFit(run.taxa);
  const Quoting quoting = WritesPhylipOrNexus(o, run.taxa) ? Quoting::kIncluded : Quoting::kLeftOut;
  ShowFindings(run.taxa.file, run.taxa.file,
               CheckNames(run.taxa.lines, run.taxa.alignment ? "taxon" : "line", quoting),
               o.strict);
  std::vector<std::size_t> kept = KeptPositions(run.taxa.names, KeptNames(o), o.input);

  if (o.window) {
    run.provenance = WindowProvenance(*o.window, o.version, run.taxa, CurrentRandomState().drawn);
  } else {
    run.provenance = InputProvenance("dropkit-batch", o.version, run.taxa);
    run.provenance.command = o.argv;
  }
  Provenance& p = run.provenance;
  run.design = Draw(o, run.taxa, std::move(kept), &p);
  if (!o.prune_to.empty() && !o.jobs.empty()) {
    const std::string extension =
        std::string(PrunedExtension(run.taxa.alignment->format)) + (o.gzip ? ".gz" : "");
    JobsRecord& jobs = p.jobs.emplace();
    jobs.command_template = JobTemplate(o.jobs, run.taxa.alignment->kind);
    jobs.reference = kReferenceLabel + extension;
    jobs.tree_name = o.tree_name.empty() ? TreeName(jobs.command_template, extension) : o.tree_name;
  }
  return run;
}

std::string FormatDesign(const JackknifeRun& run, OutputFormat format) {
  switch (format) {
    case OutputFormat::kListing:
      return ListingText(run.taxa.lines, run.design);
    case OutputFormat::kTsv:
      return GroupsTsv(run.taxa.names, run.design);
    case OutputFormat::kJson:
      return DesignJson(run.taxa.names, run.design, run.provenance);
    case OutputFormat::kNexus:
      return NexusCommands(run.taxa.names, run.design);
    case OutputFormat::kTnt:
      return TntScript(run.design);
  }
  Raise("Unknown output format");
}

void RunJackknife(const JackknifeOptions& o) {
  // The folder is checked, and its staging folder made, before anything is read; both
  // go away if anything fails.
  std::optional<StagedFolder> folder;
  if (!o.prune_to.empty()) {
    CheckDestinations(o);
    folder.emplace(o.prune_to, o.force);
    folder->ProtectInput(o.input, "the input");
    if (!o.kept_file.empty()) folder->ProtectInput(o.kept_file, "the file of names to keep");
  }
  const JackknifeRun run = PrepareJackknife(o);
  if (folder) {
    PruneInto(*folder, o, run);
  } else if (o.show) {
    WriteWholeFile("-", o.format == OutputFormat::kListing ? ShowText(run.taxa.lines, run.design)
                                                           : FormatDesign(run, o.format));
  } else {
    WriteWholeFile(o.output, FormatDesign(run, o.format));
  }
  Env::Current()->ConsoleErr(SummaryLine(run.design));
}

}  // namespace dk
