#include "clades/support_command.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <new>

#include "clades/design.h"
#include "clades/file_io.h"
#include "clades/report.h"
#include "clades/support.h"
#include "clades/svg.h"
#include "clades/tree_reader.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/staged_folder.h"

namespace dk::clades {
namespace {

std::string Quoted(const std::string& s) {
  return QuoteForMessage(s);
}

std::string Svg(const SupportResult& result, std::size_t groups, const std::string& outgroup) {
  std::vector<std::string> labels(result.shown.size());
  for (std::size_t v = 0; v < labels.size(); ++v) {
    const long c = result.shown_clade[v];
    if (c < 0) continue;
    const std::string p = Percent(result.survived[std::size_t(c)], result.testable[std::size_t(c)]);
    if (!p.empty()) labels[v] = p + "%";
  }
  std::string title = "Clade survival in " + std::to_string(groups) + " groups";
  if (!outgroup.empty()) title += ", rooted on " + outgroup;
  return DrawTreeSvg(result.shown, labels, title);
}

}  // namespace

std::string RunSupport(const SupportOptions& options) {
  const InputLimits& limits = options.limits;
  if (options.trees.empty()) Raise("No group tree file was given (--trees)");
  Design design = ParseDesign(ReadBoundedFile(options.design, limits.file_bytes, "the design file"),
                              options.design, limits);

  std::vector<TreeFile> files;
  files.push_back({options.reference, ReadBoundedFile(options.reference, limits.file_bytes,
                                                      "the reference tree file")});
  std::size_t total = files.back().text.size();
  for (const std::string& path : options.trees) {
    files.push_back({path, ReadBoundedFile(path, limits.file_bytes, "the group tree file")});
    total += files.back().text.size();
    if (total > limits.total_bytes)
      Raise("Cannot read " + Quoted(path) + ": the tree files hold more than the limit of " +
            std::to_string(limits.total_bytes) + " bytes in all");
  }
  std::vector<std::vector<Tree>> trees = ReadTreeFiles(files, limits);

  if (trees[0].size() != 1)
    Raise("The reference tree file " + Quoted(options.reference) + " holds " +
          std::to_string(trees[0].size()) + " trees; it must hold one");
  SupportInput input;
  input.reference = std::move(trees[0][0]);
  if (files.size() == 2) {
    input.groups = std::move(trees[1]);
  } else {
    for (std::size_t f = 1; f < files.size(); ++f) {
      if (trees[f].size() != 1)
        Raise("The group tree file " + Quoted(files[f].path) + " holds " +
              std::to_string(trees[f].size()) +
              " trees; when several files are given, each holds one group's tree");
      input.groups.push_back(std::move(trees[f][0]));
    }
  }

  std::vector<std::string> reference_taxa;
  for (const int leaf : Leaves(input.reference))
    reference_taxa.push_back(input.reference.label[std::size_t(leaf)]);
  CompleteNames(design, reference_taxa, options.reference);
  input.design = std::move(design);
  input.outgroup = options.outgroup;
  input.keep_outcomes = options.by_taxon;
  const SupportResult result = ComputeSupport(input);

  std::vector<std::pair<std::string, std::string>> out;
  out.emplace_back("support.tsv", SupportTable(result));
  out.emplace_back("support.tre", AnnotatedNewick(result));
  out.emplace_back("support.svg", Svg(result, input.groups.size(), options.outgroup));
  if (options.by_taxon) out.emplace_back("by_taxon.tsv", ByTaxonTable(result, ByTaxon(result)));
  // A new folder appears whole; in an existing one the files of these names are replaced.
  StagedFolder folder(options.output, /*force=*/true);
  folder.ProtectInput(options.design, "the design");
  folder.ProtectInput(options.reference, "the reference tree file");
  for (const std::string& path : options.trees) folder.ProtectInput(path, "a group tree file");
  std::vector<std::string> names;
  for (const auto& file : out) names.push_back(file.first);
  folder.CheckOutputs(names);  // before anything is written
  for (const auto& [name, bytes] : out) folder.Write(name, bytes);
  folder.Commit();
  return std::to_string(result.clades.sets.size()) + " clades of " +
         std::to_string(result.names.size()) + " taxa compared with " +
         std::to_string(input.groups.size()) + " group trees; wrote " + std::to_string(out.size()) +
         " files to " + QuoteForMessage(options.output);
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
  app.add_option("--reference", opt.reference, "The tree of the whole data set (Newick or NEXUS)")
      ->required();
  app.add_option("--trees", opt.trees,
                 "The groups' trees, in group order: one file per group, or one file\n"
                 "holding one tree per group (Newick or NEXUS)")
      ->required()
      ->expected(1, -1);
  app.add_option("--design", opt.design, "The design: dropkit.json or groups.tsv")->required();
  app.add_option("--outgroup", opt.outgroup,
                 "Compare clades as rooted on this taxon (default: unrooted)");
  app.add_flag("--by-taxon", opt.by_taxon,
               "Also write by_taxon.tsv: the clades that fell more often when a taxon\n"
               "was left out than when it was kept");
  app.add_option("--output", opt.output, "The folder to write the results into")->required();
  app.footer(
      "Writes DIR/support.tsv, support.tre, support.svg (and by_taxon.tsv), all or\n"
      "nothing. Exit status: 0 on success, 2 for a usage error, 1 for any other error.");
  const std::string command = argc > 0 ? argv[0] : "support";
  try {
    app.parse(argc, argv);
    if (app.count("--outgroup") > 0 && opt.outgroup.empty()) {
      throw CLI::ValidationError("--outgroup", "is empty: name a taxon, or leave the option out");
    }
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
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
