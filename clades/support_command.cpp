#include "clades/support_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <exception>
#include <filesystem>
#include <new>

#include <sys/stat.h>

#include "base/errors.h"
#include "clades/console_exit.h"
#include "clades/design.h"
#include "clades/group_trees.h"
#include "clades/report.h"
#include "clades/support.h"
#include "clades/svg.h"
#include "clades/taxon_tests.h"
#include "clades/tree_reader.h"
#include "design/design_files.h"
#include "os/env.h"
#include "os/files.h"
#include "os/staged_folder.h"

namespace dk::clades {
namespace {

std::string Svg(const SupportResult& result, std::size_t groups, const std::string& outgroup) {
  std::vector<NodeLabel> labels(result.shown.size());
  for (std::size_t v = 0; v < labels.size(); ++v) {
    const long c = result.shown_clade[v];
    if (c < 0) continue;
    const std::size_t survived = result.survived[std::size_t(c)];
    const std::size_t testable = result.testable[std::size_t(c)];
    const std::string p = Percent(survived, testable);
    if (!p.empty())
      labels[v] = {p + "%", std::to_string(survived) + " of " + std::to_string(testable) +
                                (testable == 1 ? " group" : " groups")};
  }
  std::string title = "Clade survival in " + std::to_string(groups) + " groups";
  if (!outgroup.empty()) title += ", rooted on " + outgroup;
  return DrawTreeSvg(result.shown, labels, title);
}

// Without a collapse length: how many testable clades sit on branches of kShortBranch or
// less, which tree programs write for branches they could not resolve (IQ-TREE writes
// about 2e-6 for them).
constexpr double kShortBranch = 1e-5;

std::string ShortBranchNote(const SupportResult& result, double collapse_below) {
  if (collapse_below >= 0) return "";
  std::size_t short_ones = 0;
  for (std::size_t c = 0; c < result.testable.size(); ++c)
    short_ones += result.testable[c] > 0 && result.clades.length[c] <= kShortBranch;
  if (short_ones == 0) return "";
  return "; " + std::to_string(short_ones) + " testable clade" + (short_ones == 1 ? "" : "s") +
         " of the reference sit" + (short_ones == 1 ? "s" : "") +
         " on branches of 1e-05 or less, which tree programs write for unresolved ones "
         "(--collapse-below 1e-05 treats them as absent)";
}

// The most bytes support.png may have.
constexpr std::size_t kMaxPngBytes = std::size_t{256} << 20;

// Draws the last output, support.svg, as support.png with rsvg-convert where it is
// installed. Returns "" or a note for the summary on why there is no picture.
std::string AddPng(std::vector<std::pair<std::string, std::string>>* out) {
  std::string png;
  const int status = Env::Current()->RunFilter({"rsvg-convert", "--format=png"}, out->back().second,
                                               kMaxPngBytes, &png);
  if (status == -ENOENT) return "";
  if (status != 0 || !png.starts_with("\x89PNG")) {
    return "; support.png was not drawn: rsvg-convert " +
           (status < 0    ? ErrnoText(status)
            : status == 0 ? std::string("wrote no PNG")
                          : "ended with status " + std::to_string(status));
  }
  out->emplace_back("support.png", std::move(png));
  return "";
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return Env::Current()->Stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string InFolder(const std::string& dir, const std::string& name) {
  return dir.ends_with('/') ? dir + name : dir + "/" + name;
}

// The group trees' files: by group when they can be matched by name (a folder, or files
// named for their groups), else in the order given.
struct TreeSources {
  std::vector<std::string> files;  // those to read, in order
  // Per group when matched by name: the index into `files`, or -1 when it has none.
  std::vector<long> of_group;
  std::vector<std::size_t> missing;
  std::string where;  // where the missing trees were looked for, for messages
};

// The groups' tree file name that a reference tree named "reference.EXT" stands for:
// "{group}.EXT", as the tree program named the trees of a design that records none (an
// Export of the window's). "" for a reference named otherwise.
std::string TreeNameLikeReference(const std::string& reference) {
  constexpr std::string_view kReference = "reference";
  const std::string name = reference.substr(reference.rfind('/') + 1);
  if (!name.starts_with(kReference) || name.size() == kReference.size()) return "";
  return "{group}" + name.substr(kReference.size());
}

TreeSources FindGroupTrees(const SupportOptions& options, const Design& design,
                           const std::string& pattern, bool in_folder) {
  const std::size_t groups = design.groups.size();
  const bool exact = design.group_count_exact;
  TreeSources sources;
  GroupTreeFiles found;
  if (in_folder) {
    if (pattern.empty()) {
      Raise("Cannot tell which files of " + QuoteForMessage(options.trees[0]) +
            " are the groups' trees: the design " + QuoteForMessage(design.source) +
            " records no tree file name; give it with {group} for the group (e.g. --tree-name "
            "'{group}.treefile'), or name the reference tree reference.EXT and each group's "
            "tree as the group with the same ending (group001.EXT, ...)");
    }
    found = TreeFilesInFolder(options.trees[0], pattern, groups, exact);
    sources.where =
        "no file " + QuoteForMessage(pattern, '"') + " in " + QuoteForMessage(options.trees[0]);
  } else {
    found = TreeFilesByName(options.trees, pattern, groups, exact);
    sources.where = "no file among those given";
  }
  if (found.files.empty()) {  // in the order given
    sources.files = options.trees;
    return sources;
  }
  for (const std::string& file : found.files) {
    sources.of_group.push_back(file.empty() ? -1 : static_cast<long>(sources.files.size()));
    if (!file.empty()) sources.files.push_back(file);
  }
  sources.missing = std::move(found.missing);
  return sources;
}

}  // namespace

std::string RunSupport(const SupportOptions& options) {
  const InputLimits& limits = options.limits;
  if (options.trees.empty()) Raise("No group tree file was given (--trees)");
  const bool in_folder = options.trees.size() == 1 && IsFolder(options.trees[0]);
  std::string design_file = options.design;
  if (design_file.empty()) {
    if (!in_folder) {
      Raise(
          "No design was given: name its dropkit.json or groups.tsv, or give the design's "
          "folder as the trees");
    }
    design_file = InFolder(options.trees[0], kDesignJsonFile);
  }
  Design design = ParseDesign(ReadBoundedFile(design_file, limits.file_bytes, "the design file"),
                              design_file, {limits.taxa, limits.trees});
  std::string pattern = options.tree_name.empty() ? design.tree_name : options.tree_name;
  if (pattern.empty() && in_folder) pattern = TreeNameLikeReference(options.reference);
  if (!pattern.empty()) CheckTreeNamePattern(pattern);
  std::string reference_file = options.reference;
  if (reference_file.empty()) {
    if (!in_folder || pattern.empty()) {
      Raise(
          "No reference tree was given; it can be left out only with the design's folder "
          "and a tree file name");
    }
    reference_file = InFolder(options.trees[0], FillTreeName(pattern, "reference"));
  }
  const TreeSources sources = FindGroupTrees(options, design, pattern, in_folder);
  if (!sources.missing.empty() && !options.allow_missing) {
    Raise("No tree for " + std::to_string(sources.missing.size()) + " of the " +
          std::to_string(sources.of_group.size()) + " groups (" + sources.where + "): group" +
          (sources.missing.size() == 1 ? " " : "s ") + GroupRanges(sources.missing) +
          "; run their jobs again, or go on without them (--allow-missing)");
  }
  if (sources.files.empty()) Raise("No group has a tree (" + sources.where + ")");

  // The steps: each file read, then reading its trees, computing and writing.
  const std::size_t steps = 1 + sources.files.size() + 3;
  std::size_t done = 0;
  const auto step = [&] {
    if (options.progress) options.progress(++done, steps);
  };
  std::vector<TreeFile> files;
  files.push_back({reference_file,
                   ReadBoundedFile(reference_file, limits.file_bytes, "the reference tree file")});
  step();
  std::size_t total = files.back().text.size();
  for (const std::string& path : sources.files) {
    files.push_back({path, ReadBoundedFile(path, limits.file_bytes, "the group tree file")});
    total += files.back().text.size();
    if (total > limits.total_bytes)
      Raise("Cannot read " + QuoteForMessage(path) +
            ": the tree files hold more than the limit of " + std::to_string(limits.total_bytes) +
            " bytes in all");
    step();
  }
  std::vector<std::vector<Tree>> trees = ReadTreeFiles(files, limits);
  step();

  if (trees[0].size() != 1)
    Raise("The reference tree file " + QuoteForMessage(reference_file) + " holds " +
          std::to_string(trees[0].size()) + " trees; it must hold one");
  SupportInput input;
  input.reference = std::move(trees[0][0]);
  std::vector<Tree> given;
  if (files.size() == 2 && sources.of_group.empty()) {
    given = std::move(trees[1]);
  } else {
    for (std::size_t f = 1; f < files.size(); ++f) {
      if (trees[f].size() != 1)
        Raise("The group tree file " + QuoteForMessage(files[f].path) + " holds " +
              std::to_string(trees[f].size()) +
              " trees; when several files are given, each holds one group's tree");
      given.push_back(std::move(trees[f][0]));
    }
  }
  if (sources.of_group.empty()) {
    input.groups = std::move(given);
  } else {
    for (const long f : sources.of_group) {
      input.missing.push_back(f < 0);
      input.groups.push_back(f < 0 ? Tree() : std::move(given[std::size_t(f)]));
    }
  }

  std::vector<std::string> reference_taxa;
  for (const int leaf : Leaves(input.reference))
    reference_taxa.push_back(input.reference.label[std::size_t(leaf)]);
  CompleteNames(design, reference_taxa, reference_file);
  for (const std::string& value : options.outgroup) {
    if (std::find(design.names.begin(), design.names.end(), value) != design.names.end() ||
        value.find(',') == std::string::npos) {
      input.outgroup.push_back(value);
      continue;
    }
    for (std::size_t at = 0; at <= value.size();) {
      const std::size_t comma = std::min(value.find(',', at), value.size());
      if (comma == at) {
        Raise("The outgroup " + QuoteForMessage(value) +
              " has an empty name between its commas; name each taxon once");
      }
      input.outgroup.push_back(value.substr(at, comma - at));
      at = comma + 1;
    }
  }
  input.design = std::move(design);
  input.collapse_below = options.collapse_below;
  input.keep_outcomes = true;
  const SupportResult result = ComputeSupport(input);
  step();

  std::vector<std::pair<std::string, std::string>> out;
  out.emplace_back("support.tsv", SupportTable(result));
  out.emplace_back("support.tre", AnnotatedNewick(result, options.labels));
  const std::size_t counted = input.groups.size() - result.missing.size();
  std::string rooted_on;
  for (const std::string& name : input.outgroup)
    rooted_on += (rooted_on.empty() ? "" : ", ") + name;
  out.emplace_back("support.svg", Svg(result, counted, rooted_on));
  const std::string png_note = AddPng(&out);
  out.emplace_back("outcomes.tsv", OutcomesTable(result));
  const TaxonTests tests = TestTaxa(result);
  out.emplace_back("taxa.tsv", TaxaTable(result, tests));
  out.emplace_back("instability.tsv", InstabilityTable(result, tests));
  if (options.by_taxon) out.emplace_back("by_taxon.tsv", ByTaxonTable(result, ByTaxon(result)));
  if (options.allow_missing) {
    std::string missing = "group\n";
    for (const std::size_t g : result.missing) missing += std::to_string(g) + "\n";
    out.emplace_back("missing.tsv", std::move(missing));
  }
  // A new folder appears whole; in an existing one the files of these names are replaced.
  StagedFolder folder(options.output, /*force=*/true);
  folder.ProtectInput(design_file, "the design");
  folder.ProtectInput(reference_file, "the reference tree file");
  for (const std::string& path : sources.files) folder.ProtectInput(path, "a group tree file");
  std::vector<std::string> names;
  for (const auto& file : out) names.push_back(file.first);
  folder.CheckOutputs(names);  // before anything is written
  for (const auto& [name, bytes] : out) folder.Write(name, bytes);
  step();  // the last moment to stop with nothing changed
  folder.Commit();
  return std::to_string(result.clades.sets.size()) + " clades of " +
         std::to_string(result.names.size()) + " taxa compared with " + std::to_string(counted) +
         " group trees" +
         (result.missing.empty()
              ? std::string()
              : " (without group" + std::string(result.missing.size() == 1 ? " " : "s ") +
                    GroupRanges(result.missing) +
                    (result.missing.size() == 1 ? ", which has none)" : ", which have none)")) +
         "; wrote " + std::to_string(out.size()) + " files to " + QuoteForMessage(options.output) +
         ShortBranchNote(result, options.collapse_below) + png_note;
}

}  // namespace dk::clades

int SupportCommand(int argc, char** argv) {
  dk::clades::SupportOptions opt;
  CLI::App app{
      "Counts how often each clade of the reference tree survives in the trees of the\n"
      "jackknife's groups, each restricted to the taxa its group kept (docs/support.md)."};
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return dk::EscapeForMessage(e.what()) + "\nRun with --help for more information.\n";
  });
  app.add_option("--reference", opt.reference,
                 "The tree of the whole data set (Newick or NEXUS); with the design's\n"
                 "folder, its reference job's tree by default");
  app.add_option("--trees", opt.trees,
                 "The groups' trees (Newick or NEXUS): the design's folder, files named\n"
                 "for their groups (group057.treefile), or, in group order, one file per\n"
                 "group or one file holding one tree per group")
      ->required()
      ->expected(1, -1);
  app.add_option("--design", opt.design,
                 "The design: dropkit.json or groups.tsv (default: the folder's dropkit.json)");
  app.add_option("--tree-name", opt.tree_name,
                 "The groups' tree files, {group} standing for the group's label\n"
                 "(default: as the design records, e.g. {group}.treefile)");
  app.add_flag("--allow-missing", opt.allow_missing,
               "Go on without the groups that have no tree, and list them in missing.tsv");
  app.add_option("--outgroup", opt.outgroup,
                 "Compare clades as rooted on this taxon (repeat it, or give a comma\n"
                 "list, for several; default: unrooted)");
  app.add_option("--collapse-below", opt.collapse_below,
                 "Treat a branch of this length or less as absent, in the reference\n"
                 "and every group's tree (e.g. 1e-05)")
      ->check(CLI::Validator(
          [](const std::string& text) -> std::string {
            double x = 0;
            if (!CLI::detail::lexical_cast(text, x) || !std::isfinite(x) || x < 0)
              return "must be a length of 0 or more, not " + text;
            return "";
          },
          "LENGTH"));
  std::string labels = "percent";
  app.add_option("--labels", labels, "support.tre's labels: percent (71), counts (5/7) or both")
      ->check(CLI::IsMember({"percent", "counts", "both"}));
  app.add_flag("--by-taxon", opt.by_taxon,
               "Also write by_taxon.tsv: the clades that fell more often when a taxon\n"
               "was left out than when it was kept");
  app.add_option("--output", opt.output, "The folder to write the results into")->required();
  app.footer(
      "Writes DIR/support.tsv, support.tre, support.svg, outcomes.tsv, taxa.tsv,\n"
      "instability.tsv (and by_taxon.tsv, missing.tsv), all or nothing. Exit status: 0 on success, "
      "2 for a usage error, 1 for any "
      "other error.");
  const std::string command = argc > 0 ? argv[0] : "support";
  try {
    app.parse(argc, argv);
    for (const std::string& name : opt.outgroup) {
      if (name.empty()) {
        throw CLI::ValidationError("--outgroup", "is empty: name a taxon, or leave the option out");
      }
    }
    opt.labels = labels == "counts" ? dk::clades::LabelStyle::kCounts
                 : labels == "both" ? dk::clades::LabelStyle::kBoth
                                    : dk::clades::LabelStyle::kPercent;
  } catch (const CLI::CallForHelp& e) {
    return dk::ExitThroughConsole(app, e);
  } catch (const CLI::ParseError& e) {
    dk::ExitThroughConsole(app, e);
    return 2;
  }
  try {
    const std::string summary = dk::clades::RunSupport(opt);
    dk::Env::Current()->ConsoleErr(command + ": " + summary + "\n");
  } catch (const std::bad_alloc&) {
    dk::Env::Current()->ConsoleErr(command + ": Out of memory while computing clade survival\n");
    return 1;
  } catch (const std::exception& e) {
    dk::Env::Current()->ConsoleErr(command + ": " + e.what() + "\n");
    return 1;
  }
  return 0;
}
