// Job files that run a tree program on the whole alignment and on each group's pruned
// copy: jobs.txt (one shell command per line, the reference job first, run from inside
// the folder, e.g. `parallel < jobs.txt`) and slurm.sh (a SLURM array job over the lines
// of jobs.txt).
#ifndef DROPKIT_JACKKNIFE_JOBS_H_
#define DROPKIT_JACKKNIFE_JOBS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "alignment/alignment.h"

namespace dk {

// The command template for `choice`: "iqtree2" and "raxml-ng" name presets, anything else
// is a template itself. raxml-ng's model follows `kind`: GTR+G for DNA and RNA, LG+G
// for protein; other data raise (they need a template that names a model). A template
// holds {alignment} (the pruned file) and may hold {group} (the group's label).
// Raises a RuntimeError, quoting the template, for one without {alignment}, with
// another {placeholder}, an unbalanced brace, or a line break.
std::string JobTemplate(std::string_view choice, DataKind kind);

// The label of the reference job: it runs on "reference<extension>", the whole
// alignment written as the groups' copies are.
inline constexpr char kReferenceLabel[] = "reference";

// The job files' names in a folder of pruned alignments: one command per line, and the
// same as a SLURM array job.
inline constexpr char kJobsFile[] = "jobs.txt";
inline constexpr char kSlurmFile[] = "slurm.sh";

// The name of the tree file the program of `command_template` writes for a job whose
// label is {group}, its alignment being "{group}<extension>": "{group}.treefile" for
// IQ-TREE given `--prefix {group}` (or `-pre`), "{group}.raxml.bestTree" for RAxML-NG
// given `--prefix {group}`, and the alignment's name followed by those endings when the
// template gives no prefix. Empty when the program is neither.
std::string TreeName(std::string_view command_template, std::string_view extension);

// Raises a RuntimeError, quoting `pattern`, unless it holds {group} exactly once and no
// other placeholder, line break or "/" (it names a file in the folder).
void CheckTreeName(std::string_view pattern);

// `word` as one shell word: unchanged when it holds only letters, digits and
// "%+,-./:=@_", else in single quotes ('it'\''s').
std::string ShellQuoted(std::string_view word);

// jobs.txt: the template filled in once per label, the alignment named
// "<label><extension>", each value shell-quoted, one command per line.
// REQUIRES: `command_template` came from JobTemplate.
std::string JobsText(const std::string& command_template, const std::vector<std::string>& labels,
                     std::string_view extension);

// The most tasks slurm.sh's array has (Slurm's default MaxArraySize is 1001), and the
// most CPUs it asks for a task.
inline constexpr std::size_t kMaxSlurmTasks = 1000;
inline constexpr unsigned kMaxSlurmCpus = 256;

// The threads the tree program of `command_template` runs on: the number after its
// first "-nt", "-T" or "--threads" (IQ-TREE, RAxML-NG), else 1; at most kMaxSlurmCpus.
unsigned TemplateThreads(std::string_view command_template);

// slurm.sh: a bash script for `sbatch`, an array of min(lines, kMaxSlurmTasks) tasks of
// `cpus` CPUs each, task i running its share of the `lines` lines of jobs.txt (line i,
// or a block of lines when there are more lines than tasks) in the folder of jobs.txt: the one the
// job runs in, else the folder of the script as submitted (from `scontrol show job`). Run outside
// Slurm it says how to submit it. REQUIRES: lines >= 1.
std::string SlurmScript(std::size_t lines, unsigned cpus);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_JOBS_H_
