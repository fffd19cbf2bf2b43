#include "jackknife/jobs.h"

#include <cstring>

#include "platform/errors.h"

namespace dk {
namespace {

constexpr char kIqtree2[] = "iqtree2 -s {alignment} --prefix {group} -nt 1";
constexpr char kRaxmlNg[] =
    "raxml-ng --search --msa {alignment} --model {model} --prefix {group} --threads 1";

[[noreturn]] void Refuse(std::string_view command_template, const std::string& why) {
  Raise("The job template " + QuoteForMessage(command_template, '"') + " " + why);
}

// Calls `piece(text)` for each stretch of literal text and `slot(name)` for each
// {name}, in order. Raises for an unbalanced brace or a line break.
template <typename Piece, typename Slot>
void Walk(std::string_view t, Piece piece, Slot slot) {
  std::size_t i = 0;
  while (i < t.size()) {
    const std::size_t open = t.find_first_of("{}", i);
    if (open == std::string_view::npos) {
      piece(t.substr(i));
      break;
    }
    if (t[open] == '}') Refuse(t, "has a \"}\" without a \"{\" before it");
    piece(t.substr(i, open - i));
    const std::size_t close = t.find_first_of("{}", open + 1);
    if (close == std::string_view::npos || t[close] == '{') {
      Refuse(t, "has a \"{\" without a \"}\" after it");
    }
    slot(t.substr(open + 1, close - open - 1));
    i = close + 1;
  }
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

std::string SlurmScript(std::size_t groups) {
  const std::string n = std::to_string(groups);
  return "#!/bin/bash\n"
         "#SBATCH --job-name=dropkit-jackknife\n"
         "#SBATCH --array=1-" +
         n +
         "\n"
         "#SBATCH --ntasks=1\n"
         "#SBATCH --cpus-per-task=1\n"
         "#SBATCH --output=slurm-%A_%a.out\n"
         "# Runs one group's tree search per array task: task i runs line i of jobs.txt.\n"
         "# Submit it from this folder: sbatch slurm.sh\n"
         "set -euo pipefail\n"
         "cd \"${SLURM_SUBMIT_DIR:-.}\"\n"
         "if [ ! -f jobs.txt ]; then\n"
         "  echo \"slurm.sh: no jobs.txt in $(pwd); submit from the folder that holds it\" >&2\n"
         "  exit 1\n"
         "fi\n"
         "line=$(sed -n \"${SLURM_ARRAY_TASK_ID}p\" jobs.txt)\n"
         "if [ -z \"$line\" ]; then\n"
         "  echo \"slurm.sh: jobs.txt has no line ${SLURM_ARRAY_TASK_ID}\" >&2\n"
         "  exit 1\n"
         "fi\n"
         "exec bash -c \"$line\"\n";
}

}  // namespace dk
