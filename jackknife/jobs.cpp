#include "jackknife/jobs.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "base/errors.h"

namespace dk {
namespace {

constexpr char kIqtree2[] = "iqtree2 -s {alignment} --prefix {group} -nt 1";
constexpr char kRaxmlNg[] =
    "raxml-ng --search --msa {alignment} --model {model} --prefix {group} --threads 1";

[[noreturn]] void Refuse(std::string_view command_template, const std::string& why,
                         const char* what = "The job template") {
  Raise(std::string(what) + " " + QuoteForMessage(command_template, '"') + " " + why);
}

// Calls `piece(text)` for each stretch of literal text and `slot(name)` for each
// {name}, in order. Raises for an unbalanced brace, naming the text as `what`.
template <typename Piece, typename Slot>
void Walk(std::string_view t, Piece piece, Slot slot, const char* what = "The job template") {
  std::size_t i = 0;
  while (i < t.size()) {
    const std::size_t open = t.find_first_of("{}", i);
    if (open == std::string_view::npos) {
      piece(t.substr(i));
      break;
    }
    if (t[open] == '}') Refuse(t, "has a \"}\" without a \"{\" before it", what);
    piece(t.substr(i, open - i));
    const std::size_t close = t.find_first_of("{}", open + 1);
    if (close == std::string_view::npos || t[close] == '{') {
      Refuse(t, "has a \"{\" without a \"}\" after it", what);
    }
    slot(t.substr(open + 1, close - open - 1));
    i = close + 1;
  }
}

// The words of a template, split at blanks (options and thread counts are never quoted).
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t begin = text.find_first_not_of(" \t", i);
    if (begin == std::string_view::npos) break;
    const std::size_t end = std::min(text.find_first_of(" \t", begin), text.size());
    words.push_back(text.substr(begin, end - begin));
    i = end;
  }
  return words;
}

}  // namespace

std::string JobTemplate(std::string_view choice, DataKind kind) {
  if (choice == "iqtree2") return kIqtree2;
  if (choice == "raxml-ng") {
    const char* model = kind == DataKind::kProtein                         ? "LG+G"
                        : kind == DataKind::kDna || kind == DataKind::kRna ? "GTR+G"
                                                                           : nullptr;
    if (model == nullptr) {
      Raise(
          "The raxml-ng preset knows models for nucleotides and protein only; give a job "
          "template with the model for these data instead");
    }
    std::string t = kRaxmlNg;
    t.replace(t.find("{model}"), 7, model);
    return t;
  }
  if (choice.find_first_of("\r\n") != std::string_view::npos) {
    Refuse(choice, "holds a line break; each job must be one line");
  }
  if (choice.find_first_not_of(" \t") == std::string_view::npos) Refuse(choice, "is empty");
  bool has_alignment = false;
  Walk(
      choice, [](std::string_view) {},
      [&](std::string_view name) {
        if (name == "alignment") {
          has_alignment = true;
        } else if (name != "group") {
          Refuse(choice, "has the unknown placeholder {" + EscapeForMessage(name) +
                             "}; the placeholders are {alignment} and {group}");
        }
      });
  if (!has_alignment) Refuse(choice, "has no {alignment}, the pruned alignment to run on");
  return std::string(choice);
}

std::string ShellQuoted(std::string_view word) {
  bool plain = !word.empty();
  for (const char c : word) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      (c != '\0' && std::strchr("%+,-./:=@_", c) != nullptr);
    if (!safe) plain = false;
  }
  if (plain) return std::string(word);
  std::string out = "'";
  for (const char c : word) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string JobsText(const std::string& command_template, const std::vector<std::string>& labels,
                     std::string_view extension) {
  std::string out;
  for (const auto& label : labels) {
    const std::string alignment = ShellQuoted(label + std::string(extension));
    const std::string group = ShellQuoted(label);
    Walk(
        command_template, [&](std::string_view text) { out += text; },
        [&](std::string_view name) { out += name == "alignment" ? alignment : group; });
    out += '\n';
  }
  return out;
}

std::string TreeName(std::string_view command_template, std::string_view extension) {
  const std::vector<std::string_view> words = Words(command_template);
  if (words.empty()) return "";
  std::string_view program = words[0];
  program.remove_prefix(std::min(program.size(), program.rfind('/') + 1));
  const bool iqtree = program.starts_with("iqtree");
  if (!iqtree && program != "raxml-ng") return "";
  const std::string ending = iqtree ? ".treefile" : ".raxml.bestTree";
  for (std::size_t w = 1; w < words.size(); ++w) {
    if (words[w] == "--prefix={group}") return "{group}" + ending;
    if (words[w].starts_with("--prefix=")) return "";
    if (w + 1 < words.size() && (words[w] == "--prefix" || (iqtree && words[w] == "-pre"))) {
      return words[w + 1] == "{group}" ? "{group}" + ending : "";
    }
  }
  return "{group}" + std::string(extension) + ending;  // named after the alignment
}

void CheckTreeName(std::string_view pattern) {
  constexpr char kWhat[] = "The tree file name";
  const auto refuse = [&](const std::string& why) { Refuse(pattern, why, kWhat); };
  if (pattern.find_first_of("\r\n") != std::string_view::npos) refuse("holds a line break");
  if (pattern.find('/') != std::string_view::npos) {
    refuse("holds a \"/\"; it names a file in the folder the job runs in");
  }
  std::size_t groups = 0;
  Walk(
      pattern, [](std::string_view) {},
      [&](std::string_view name) {
        if (name != "group") {
          refuse("has the placeholder {" + EscapeForMessage(name) + "}; it may hold only {group}");
        }
        ++groups;
      },
      kWhat);
  if (groups != 1) refuse("must hold {group} exactly once, for the group's label");
}

unsigned TemplateThreads(std::string_view command_template) {
  const std::vector<std::string_view> words = Words(command_template);
  for (std::size_t w = 0; w + 1 < words.size(); ++w) {
    if (words[w] != "-nt" && words[w] != "-T" && words[w] != "--threads") continue;
    unsigned n = 0;
    const std::string_view value = words[w + 1];
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec == std::errc() && end == value.data() + value.size() && n >= 1) {
      return std::min(n, kMaxSlurmCpus);
    }
  }
  return 1;
}

std::string SlurmScript(std::size_t lines, unsigned cpus) {
  const std::size_t per = (lines + kMaxSlurmTasks - 1) / kMaxSlurmTasks;
  const std::size_t tasks = (lines + per - 1) / per;
  const std::string what =
      per == 1 ? "# Runs one tree search a task: task i runs line i of jobs.txt.\n"
               : "# Runs " + std::to_string(per) +
                     " tree searches a task (Slurm allows at most 1,000 tasks an array): task i\n"
                     "# runs lines (i-1)*" +
                     std::to_string(per) + "+1 to i*" + std::to_string(per) + " of jobs.txt.\n";
  return "#!/bin/bash\n"
         "#SBATCH --job-name=dropkit-jackknife\n"
         "#SBATCH --array=1-" +
         std::to_string(tasks) +
         "\n"
         "#SBATCH --ntasks=1\n"
         "#SBATCH --cpus-per-task=" +
         std::to_string(cpus) +
         "\n"
         "#SBATCH --output=slurm-%A_%a.out\n" +
         what +
         "# Submit it from this folder or any other: sbatch slurm.sh, sbatch DIR/slurm.sh or\n"
         "# sbatch --chdir=DIR DIR/slurm.sh. To run again only the tasks that failed, name them:\n"
         "# sbatch --array=4,17 slurm.sh (their numbers are in sacct and in the slurm-*.out\n"
         "# files, which Slurm writes in the folder it was submitted from).\n"
         "set -euo pipefail\n"
         "if [ -z \"${SLURM_ARRAY_TASK_ID:-}\" ]; then\n"
         "  echo \"slurm.sh is a Slurm array job: submit it with sbatch slurm.sh, or run the jobs "
         "here with parallel < jobs.txt\" >&2\n"
         "  exit 2\n"
         "fi\n"
         "# jobs.txt is the one beside the script as it was submitted, or else the one in\n"
         "# the folder the job runs in (the one it was submitted from, or --chdir).\n"
         "script=$(scontrol show job \"${SLURM_JOB_ID:-}\" 2>/dev/null |\n"
         "  sed -n 's/^ *Command=//p' | head -n 1) || script=\"\"\n"
         "if [ -n \"$script\" ] && [ -f \"$(dirname \"$script\")/jobs.txt\" ]; then\n"
         "  cd \"$(dirname \"$script\")\"\n"
         "elif [ ! -f jobs.txt ]; then\n"
         "  echo \"slurm.sh: no jobs.txt beside the script nor in $(pwd); submit it with "
         "sbatch --chdir=DIR DIR/slurm.sh\" >&2\n"
         "  exit 1\n"
         "fi\n"
         "per=" +
         std::to_string(per) +
         "\n"
         "first=$(( (SLURM_ARRAY_TASK_ID - 1) * per + 1 ))\n"
         "status=0\n"
         "for (( n = first; n < first + per; n++ )); do\n"
         "  line=$(sed -n \"${n}p\" jobs.txt)\n"
         "  if [ -z \"$line\" ]; then\n"
         "    if (( n == first )); then\n"
         "      echo \"slurm.sh: jobs.txt has no line $n\" >&2\n"
         "      exit 1\n"
         "    fi\n"
         "    break\n"
         "  fi\n"
         "  if ! bash -c \"$line\"; then\n"
         "    echo \"slurm.sh: line $n of jobs.txt failed\" >&2\n"
         "    status=1\n"
         "  fi\n"
         "done\n"
         "exit \"$status\"\n";
}

}  // namespace dk
