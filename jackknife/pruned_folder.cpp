#include "jackknife/pruned_folder.h"

#include <vector>

#include "alignment/pruned.h"
#include "jackknife/jobs.h"
#include "platform/errors.h"

namespace dk {

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
  const char* extension = PrunedExtension(alignment.format);
  std::vector<std::string> labels, names{"groups.tsv", "dropkit.json"};
  for (std::size_t g = 0; g < groups; ++g) labels.push_back(GroupLabel(g + 1, groups));
  for (const std::string& label : labels) names.push_back(label + extension);
  if (jobs) names.insert(names.end(), {"jobs.txt", "slurm.sh"});
  folder.CheckOutputs(names);  // before anything is written
  for (std::size_t g = 0; g < groups; ++g) {
    if (what.progress) what.progress(g);
    folder.Write(labels[g] + extension, PrunedPieces(alignment, OmittedFlags(design, g)).pieces());
  }
  if (jobs) {
    folder.Write("jobs.txt", JobsText(what.command_template, labels, extension));
    folder.Write("slurm.sh", SlurmScript(groups, TemplateThreads(what.command_template)));
  }
  // The design files come last: moved into an existing folder, they appear only once
  // everything they describe is in place.
  folder.Write("groups.tsv", what.groups_tsv);
  folder.Write("dropkit.json", what.dropkit_json);
  folder.Commit();
}

}  // namespace dk
