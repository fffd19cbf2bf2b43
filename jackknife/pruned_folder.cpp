#include "jackknife/pruned_folder.h"

#include <vector>

#include "alignment/pruned.h"
#include "base/errors.h"
#include "design/design_files.h"
#include "jackknife/gzip_pieces.h"
#include "jackknife/jobs.h"
#include "os/parallel.h"
#include "os/thread_count.h"

namespace dk {
namespace {

// Groups written at once by default: enough to keep the disk and two cores busy.
constexpr unsigned kMaxWriterThreads = 4;

}  // namespace

void WritePrunedFolder(StagedFolder& folder, const PrunedFolder& what) {
  const Alignment& alignment = *what.alignment;
  const Design& design = *what.design;
  const std::size_t groups = design.groups.size();
  if (groups > kMaxPrunedGroups) {
    Raise("Cannot prune into " + std::to_string(groups) + " alignments: at most " +
          std::to_string(kMaxPrunedGroups) + " groups are allowed with a folder");
  }
  for (std::size_t g = 0; g < groups; ++g) {
    if (design.groups[g].size() >= alignment.names.size()) {
      Raise("Cannot prune " + QuoteForMessage(what.input) + ": group " + std::to_string(g + 1) +
            " leaves out all " + std::to_string(alignment.names.size()) +
            " taxa, and an alignment without taxa cannot be read; leave out fewer");
    }
  }
  const bool jobs = !what.command_template.empty();
  if (jobs && groups == 0) Raise("There are no groups to write jobs for");
  const std::string extension =
      std::string(PrunedExtension(alignment.format)) + (what.gzip ? ".gz" : "");
  // The copies in the order they are written: with job files, the whole alignment as
  // the reference job's input first, then the groups.
  std::vector<std::string> labels, names{kGroupsTsvFile, kDesignJsonFile};
  if (jobs) labels.push_back(kReferenceLabel);
  const std::size_t first_group = labels.size();
  for (std::size_t g = 0; g < groups; ++g) labels.push_back(GroupLabel(g + 1, groups));
  for (const std::string& label : labels) names.push_back(label + extension);
  if (jobs) names.insert(names.end(), {kJobsFile, kSlurmFile});
  folder.CheckOutputs(names);  // before anything is written
  const auto write_copy = [&](std::size_t c) {
    const PrunedText copy =
        PrunedPieces(alignment, c < first_group ? std::vector<bool>(alignment.names.size(), false)
                                                : OmittedFlags(design, c - first_group));
    folder.Write(labels[c] + extension, [&](const ByteSink& sink) {
      if (what.gzip) {
        GzipPieces(copy.pieces(), sink);
      } else {
        for (const std::string_view piece : copy.pieces()) sink(piece);
      }
    });
  };
  if (what.progress) {  // the window's progress is shown from its own thread
    for (std::size_t c = 0; c < labels.size(); ++c) {
      if (c >= first_group) what.progress(c - first_group);
      write_copy(c);
    }
  } else {
    ParallelFor(labels.size(), ThreadCount(kMaxWriterThreads),
                [&](std::size_t c, unsigned) { write_copy(c); });
  }
  if (jobs) {
    folder.Write(kJobsFile, JobsText(what.command_template, labels, extension));
    folder.Write(kSlurmFile, SlurmScript(labels.size(), TemplateThreads(what.command_template)));
  }
  // The design files come last: moved into an existing folder, they appear only once
  // everything they describe is in place.
  folder.Write(kGroupsTsvFile, what.groups_tsv);
  folder.Write(kDesignJsonFile, what.dropkit_json);
  folder.Commit();
}

}  // namespace dk
