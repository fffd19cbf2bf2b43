// A folder of pruned alignments: one copy of an alignment for each group of a design,
// without the group's taxa, with the design files and, optionally, the job files. The one
// way such a folder is made, by dropkit-batch's --prune-to and by the window's Export.
//
// Threading: call from one thread at a time.
#ifndef DROPKIT_JACKKNIFE_PRUNED_FOLDER_H_
#define DROPKIT_JACKKNIFE_PRUNED_FOLDER_H_

#include <cstddef>
#include <functional>
#include <string>

#include "alignment/alignment.h"
#include "jackknife/design.h"
#include "os/staged_folder.h"

namespace dk {

// At most this many groups with a folder (one alignment file each).
inline constexpr std::size_t kMaxPrunedGroups = 10000;

struct PrunedFolder {
  const Alignment* alignment = nullptr;
  std::string input;  // the alignment's file, as messages name it
  const Design* design = nullptr;
  // The command of each job (jackknife/jobs.h JobTemplate); empty for no job files.
  std::string command_template;
  std::string groups_tsv;  // the design files' bytes
  std::string dropkit_json;
  // Each copy gzipped, as groupNNN.EXT.gz (jackknife/gzip_pieces.h); the jobs name those.
  bool gzip = false;
  // Called with each group's index before its copy is written (for a progress bar).
  std::function<void(std::size_t)> progress;
};

// Checks the folder can hold the design (at most kMaxPrunedGroups groups, no group
// leaving out every taxon, no group file, job file or design file over an input the
// folder protects), then writes group001.EXT, ... (EXT as the alignment's format,
// alignment/pruned.h; with `gzip` group001.EXT.gz, ...), on DROPKIT_THREADS threads
// unless there is a progress callback; when there is a command template, also the whole
// alignment in the same form as reference.EXT, and jobs.txt (the reference job first) and
// slurm.sh; groups.tsv and dropkit.json last; and commits the folder. Raises a RuntimeError naming
// what was wrong on any failure; the target then shows none of it (see
// os/staged_folder.h for a folder that was not empty).
void WritePrunedFolder(StagedFolder& folder, const PrunedFolder& what);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_PRUNED_FOLDER_H_
