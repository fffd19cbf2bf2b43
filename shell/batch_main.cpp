// dropkit-batch: runs the generator's commands without a window, for scripts and
// pipelines, and the taxon-jackknife's designs beyond them. A listing of a name list
// runs the generator's own commands: the counts and the seed go into the window's boxes
// as texts, the file dialogs are answered with the paths given, and the commands run
// through the same entry a button press uses. Everything else (alignments, kept names,
// leave-one-out, distinct or balanced groups, every combination, the other formats,
// folders of pruned alignments) goes to the jackknife's driver; "dropkit-batch support"
// to clade survival.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "alignment/input_format.h"
#include "base/errors.h"
#include "clades/console_exit.h"
#include "clades/support_command.h"
#include "generator/count_boxes.h"
#include "generator/randlist.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "jackknife/design.h"
#include "jackknife/design_outputs.h"
#include "jackknife/driver.h"
#include "jackknife/provenance.h"
#include "os/env.h"
#include "os/files.h"
#include "random/random.h"
#include "review/list_review.h"
#include "runtime/file_table.h"
#include "runtime/loaded_list.h"
#include "runtime/text.h"
#include "shell/box_window.h"

namespace {

using dk::Value;

// Sends console displays to standard error, so standard output carries only the listing.
class ConsoleToStderr : public dk::EnvWrapper {
 public:
  ConsoleToStderr() : EnvWrapper(dk::Env::Default()) {}
  void ConsoleOut(std::string_view text) override { target()->ConsoleErr(text); }
};

struct Options {
  std::string input;
  std::string omit;
  std::string groups;
  std::string seed;
  bool has_seed = false;
  std::string output;
  bool show = false;
  dk::ReadLimits limits;
  // The jackknife's design controls and outputs.
  std::vector<std::string> keep;
  std::string keep_file;
  bool each = false;
  bool distinct = false;
  bool balanced = false;
  bool all_combinations = false;
  bool strict = false;
  std::string input_format;
  std::string format = "listing";
  std::string prune_to;
  std::string jobs;
  std::string tree_name;
  std::string fasta_names = "first-word";
  bool force = false;
  std::string compress;
};

// Usage errors (an unknown option, a missing one) end with this status; every other
// error with 1.
constexpr int kUsageStatus = 2;

// True when `path` names standard output: "-", "/dev/stdout", "/dev/fd/1" or
// "/proc/self/fd/1" (also spelled with this process's number), in any equivalent form.
bool NamesStandardOutput(const std::string& path) {
  if (path == "-") return true;
  const std::string normal = std::filesystem::path(path).lexically_normal().string();
  const std::string own = "/proc/" + std::to_string(dk::Env::Current()->ProcessId()) + "/fd/1";
  return normal == "/dev/stdout" || normal == "/dev/fd/1" || normal == "/proc/self/fd/1" ||
         normal == own;
}

void Run(const char* command) {
  Value in[1] = {Value::Text(command)};
  dk::mlxRandlist(0, nullptr, 1, in);
}

std::string Absolute(const std::string& path, const char* what) {
  if (path.empty()) dk::Raise(std::string("The ") + what + " file name is empty");
  return std::filesystem::path(dk::AbsolutePath(path)).lexically_normal().string();
}

// The listing's file, checked before anything is read: not a folder, and not the name
// list itself (directly or through a link), which the listing would replace.
std::string ListingTarget(const Options& opt) {
  if (NamesStandardOutput(opt.output)) return "/dev/stdout";
  const std::string target = Absolute(opt.output, "listing");
  dk::Env* env = dk::Env::Current();
  struct stat out {};
  const bool exists = env->Stat(target, &out) == 0;
  if ((exists && S_ISDIR(out.st_mode)) || opt.output.back() == '/') {
    dk::Raise("Cannot write the listing to " + dk::QuoteForMessage(opt.output) +
              ": it is a folder; name a file");
  }
  const std::string folder = std::filesystem::path(target).parent_path().string();
  struct stat dir {};
  if (const int r = env->Stat(folder, &dir); r < 0 || !S_ISDIR(dir.st_mode)) {
    dk::Raise("Cannot write the listing to " + dk::QuoteForMessage(opt.output) + ": its folder " +
              dk::QuoteForMessage(folder) + " " +
              (r < 0 ? std::string("cannot be used: ") + dk::ErrnoText(r) : "is not a folder"));
  }
  dk::RefuseProtectedInput(target);
  return target;
}

void ReviewLoadedList(const dk::LoadedList& list) {
  dk::SetLoadedListReview(dk::ReviewList(list));
}

// Shows the findings about the names just loaded on standard error; with `strict`, any
// finding is an error, raised before anything is drawn.
void ReportFindings(bool strict) {
  const dk::ListReview& review = dk::LoadedListReview();
  const std::string file = review.list.path.substr(review.list.path.rfind('/') + 1);
  dk::ShowFindings(file, review.list.path, review.findings, strict);
}

// A whole-number seed from the operating system's entropy, shown so that the run can be
// drawn again with --seed.
std::uint64_t DrawnSeed() {
  const std::uint64_t seed = dk::EntropySeed();
  dk::ShowDrawnSeed(seed);
  return seed;
}

// One whole number from the text of an option, or a usage error naming the option. The
// same rule as the window's count boxes: 0 to the largest count a box may hold.
double CountOption(const std::string& text, const char* option) {
  const Value number = dk::mlfStr2num(Value::Text(text));
  switch (dk::FaultOfCount(number)) {
    case dk::CountFault::kNone:
      break;
    case dk::CountFault::kTooLarge:
      throw CLI::ValidationError(option, "is " + dk::QuoteForMessage(text, '"') +
                                             ", more than the largest count allowed, " +
                                             dk::FormatNumber(dk::kMaxCount));
    case dk::CountFault::kNotACount:
      throw CLI::ValidationError(
          option, "must be one whole number of 0 or more, not " + dk::QuoteForMessage(text, '"'));
  }
  return number.num(0);
}

// What the command is doing, for a message when memory runs out.
std::string stage = "starting";

void RunBatch(const Options& opt) {
  auto backend = std::make_unique<dk::HeadlessWindowSystem>();
  dk::HeadlessWindowSystem& ws = *backend;
  dk::ScopedGraphics graphics(std::move(backend));
  dk::CreateBoxWindow();
  dk::SetBoxText("NumBox", opt.omit);
  dk::SetBoxText("RepBox", opt.groups);
  dk::SetBoxText("InitBox", opt.seed);
  // Load first changes to the list's folder; a missing file is named as such instead.
  const std::string list = Absolute(opt.input, "name list");
  struct stat st {};
  if (const int r = dk::Env::Current()->Stat(list, &st); r < 0) {
    dk::Raise("Cannot read the name list " + dk::QuoteForMessage(opt.input) + ": " +
              dk::ErrnoText(r));
  }
  ws.QueueFileAnswer(list);
  if (!opt.show) ws.QueueFileAnswer(ListingTarget(opt));
  dk::SetReadLimits(opt.limits);

  dk::InitializeModule_randlist();
  struct Release {
    ~Release() { dk::TerminateModule_randlist(); }
  } release;
  stage = "loading the name list " + dk::QuoteForMessage(opt.input);
  Run("Load");
  ReportFindings(opt.strict);
  stage = "setting the seed";
  if (!opt.has_seed) dk::SetBoxText("InitBox", std::to_string(DrawnSeed()));
  Run("ManualInit");
  stage = opt.show ? "drawing the listing" : "writing the listing";
  Run(opt.show ? "Show" : "Save");
  stage = "writing the listing to standard output";
  if (opt.show) {
    dk::WriteWholeFile("-", dk::BoxText("OutBox") + "\n");
  }
}

// The seed as a number, or a usage error: one finite number, as Set seed takes it.
double SeedOption(const std::string& text) {
  const Value seed = dk::mlfStr2num(Value::Text(text));
  if (!dk::IsSeed(seed)) {
    throw CLI::ValidationError("--seed",
                               "must be one finite number, not " + dk::QuoteForMessage(text, '"'));
  }
  return seed.num(0);
}

// The names --input-format and --format take.
std::vector<std::string> InputFormatNames() {
  std::vector<std::string> names;
  for (const dk::InputFormat f : dk::kNamedInputFormats) names.emplace_back(dk::InputFormatName(f));
  return names;
}

std::vector<std::string> OutputFormatNames() {
  std::vector<std::string> names;
  for (const dk::OutputFormat f : dk::kOutputFormats) names.emplace_back(dk::OutputFormatName(f));
  return names;
}

// Accepts a whole number of 1 or more; says so otherwise.
CLI::Validator AtLeastOne() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        std::size_t used = 0;
        unsigned long long n = 0;
        try {
          n = std::stoull(text, &used);
        } catch (const std::exception&) {
          used = 0;
        }
        if (used == 0 || used != text.size() || n == 0 || text[0] == '-' || text[0] == '+') {
          return "must be a whole number of 1 or more, not " + dk::QuoteForMessage(text, '"');
        }
        return {};
      },
      "NUMBER >= 1");
}

// True when the run is today's listing of a name list, which the generator's own
// commands write: the listing format, no kept names, the groups drawn at random (not
// distinct, balanced, every combination or leave-one-out), no folder, and an
// input that is a name list (anything but a regular file, such as a pipe, is read as one
// unless a format is named).
bool IsPlainListing(const Options& opt) {
  if (opt.format != "listing" || !opt.keep.empty() || !opt.keep_file.empty() || opt.each ||
      opt.distinct || opt.balanced || opt.all_combinations || !opt.prune_to.empty()) {
    return false;
  }
  if (!opt.input_format.empty()) return opt.input_format == "list";
  dk::Env* env = dk::Env::Current();
  struct stat st {};
  if (env->Stat(opt.input, &st) != 0 || !S_ISREG(st.st_mode)) return true;
  // The start of the file: a failure leaves it to the reader to say what went wrong.
  std::string head;
  try {
    head = dk::ReadFileStart(opt.input, 64 * 1024, "the input");
  } catch (const dk::RuntimeError&) {
    return true;
  }
  return dk::DetectInputFormat(head) == dk::InputFormat::kList;
}

// Runs the jackknife's driver for everything else: alignments, kept names,
// leave-one-out, the other formats and folders of pruned alignments.
void RunDesign(const Options& opt, int argc, char** argv) {
  dk::JackknifeOptions o;
  o.input = opt.input;
  if (!opt.input_format.empty()) o.input_format = dk::ParseInputFormat(opt.input_format);
  if (!opt.each) o.omit = CountOption(opt.omit, "--omit");
  if (!opt.each && !opt.all_combinations) o.groups = CountOption(opt.groups, "--groups");
  if (opt.has_seed) o.seed = SeedOption(opt.seed);
  o.kept = opt.keep;
  o.kept_file = opt.keep_file;
  o.draw = opt.each               ? dk::DrawMode::kLeaveOneOut
           : opt.all_combinations ? dk::DrawMode::kAllCombinations
           : opt.distinct         ? dk::DrawMode::kDistinct
           : opt.balanced         ? dk::DrawMode::kBalanced
                                  : dk::DrawMode::kRandom;
  o.strict = opt.strict;
  o.format = *dk::ParseOutputFormat(opt.format);
  if (!opt.output.empty()) {
    const std::string target = ListingTarget(opt);
    o.output = target == "/dev/stdout" ? "-" : target;
  }
  o.show = opt.show;
  o.prune_to = opt.prune_to;
  o.jobs = opt.jobs;
  o.tree_name = opt.tree_name;
  o.fasta_names =
      opt.fasta_names == "whole-line" ? dk::FastaNames::kWholeLine : dk::FastaNames::kFirstWord;
  o.force = opt.force;
  o.gzip = opt.compress == "gzip";
  o.version = DROPKIT_VERSION;
  o.argv.assign(argv, argv + argc);
  o.list_limits = opt.limits;
  stage = "making the design";
  dk::RunJackknife(o);
}

}  // namespace

int main(int argc, char** argv) {
  // dropkit-batch support ...: clade survival from the groups' trees.
  if (argc > 1 && std::string_view(argv[1]) == "support") {
    std::string name = std::string(argv[0]) + " support";
    std::vector<char*> args{name.data()};
    args.insert(args.end(), argv + 2, argv + argc);
    dk::Env::Current()->HandleSignal(SIGPIPE, SIG_IGN, false);
    return SupportCommand(static_cast<int>(args.size()), args.data());
  }
  Options opt;
  CLI::App app{
      "Draws the groups of a taxon-jackknife from a name list (one taxon name per line) or\n"
      "an alignment (FASTA, PHYLIP or NEXUS): for each group, a fresh random choice of\n"
      "names to leave out, in the order of the list. Writes the listing, another design\n"
      "format, or one pruned alignment per group with job files for a tree program.\n"
      "  dropkit-batch support ...  computes clade survival from the groups' trees\n"
      "                             (dropkit-batch support --help)"};
  app.set_version_flag("--version", std::string("dropkit-batch ") + DROPKIT_VERSION);
  // Usage errors quote what was typed, control characters escaped as in every message.
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return dk::EscapeForMessage(e.what()) + "\nRun with --help for more information.\n";
  });
  app.add_option("INPUT", opt.input,
                 "The name list (one name per line) or the alignment (FASTA, PHYLIP or\n"
                 "NEXUS), recognised from its content")
      ->required();
  auto* omit =
      app.add_option("--omit,-k", opt.omit, "How many names to leave out per group (0 or more)");
  auto* groups = app.add_option("--groups,-r", opt.groups, "How many groups to draw (0 or more)");
  auto* seed = app.add_option("--seed,-s", opt.seed,
                              "Restart the random generator from this number first, so the same\n"
                              "seed, list and counts give the same groups again (without it, a\n"
                              "seed is drawn from the system's entropy and shown as \"seed: N\")");
  app.add_option("--keep", opt.keep,
                 "A name never left out (an outgroup, a reference taxon); repeatable");
  app.add_option("--keep-file", opt.keep_file, "More names never left out, one per line");
  auto* each = app.add_flag("--each", opt.each,
                            "Leave-one-out: one group per name, in list order, no random draws");
  auto* distinct = app.add_flag("--distinct", opt.distinct,
                                "No group twice: a group equal to an earlier one is drawn again");
  auto* balanced = app.add_flag("--balanced", opt.balanced,
                                "Every name left out equally often, within one: the groups are\n"
                                "cut from shuffled passes over the names");
  auto* all_combinations =
      app.add_flag("--all-combinations", opt.all_combinations,
                   "Every group of --omit names once, in list order, no random draws\n"
                   "(instead of --groups)");
  app.add_flag("--strict", opt.strict,
               "Any finding about the names (blank lines, names listed twice, ...) is an error");
  app.add_option("--input-format", opt.input_format, "Read INPUT as this format")
      ->check(CLI::IsMember(InputFormatNames()));
  app.add_option("--fasta-names", opt.fasta_names,
                 "What names a FASTA taxon: the first word of its '>' line, as tree\n"
                 "programs name it (default), or the whole line")
      ->check(CLI::IsMember({"first-word", "whole-line"}));
  app.add_option("--format", opt.format, "The design's format (default: listing)")
      ->check(CLI::IsMember(OutputFormatNames()));
  auto* output = app.add_option("--output,-o", opt.output,
                                "Write the design here; '-' writes it to standard output (an\n"
                                "existing file is replaced only once the new one is complete)");
  auto* show = app.add_flag("--show", opt.show,
                            "Print the listing as the window shows it, on standard output");
  auto* prune_to = app.add_option(
      "--prune-to", opt.prune_to,
      "Write one alignment per group, with the group's taxa removed, into this folder,\n"
      "with groups.tsv and dropkit.json (INPUT must be an alignment)");
  auto* jobs = app.add_option("--jobs", opt.jobs,
                              "With --prune-to: also write jobs.txt and slurm.sh, running\n"
                              "iqtree2, raxml-ng, or a template with {alignment} and {group}");
  auto* tree_name =
      app.add_option("--tree-name", opt.tree_name,
                     "With --jobs: the tree file each job writes, with {group} for the group\n"
                     "(e.g. {group}.treefile); recorded for `support --trees DIR`");
  auto* force =
      app.add_flag("--force", opt.force, "With --prune-to: write into a folder that is not empty");
  auto* compress = app.add_option("--compress", opt.compress,
                                  "With --prune-to: gzip each alignment (groupNNN.EXT.gz), which\n"
                                  "IQ-TREE reads as it is; the jobs name the .gz files")
                       ->check(CLI::IsMember({"gzip"}));
  app.add_option("--max-names", opt.limits.lines,
                 "Refuse a name list of more names (lines) than this")
      ->default_val(opt.limits.lines)
      ->check(AtLeastOne());
  app.add_option("--max-bytes", opt.limits.bytes, "Refuse a name list larger than this, in bytes")
      ->default_val(opt.limits.bytes)
      ->check(AtLeastOne());
  distinct->excludes(balanced);
  for (CLI::Option* mode : {distinct, balanced, all_combinations}) mode->excludes(each);
  distinct->excludes(all_combinations);
  balanced->excludes(all_combinations);
  all_combinations->excludes(groups);
  output->excludes(show);
  output->excludes(prune_to);
  show->excludes(prune_to);
  jobs->needs(prune_to);
  tree_name->needs(jobs);
  force->needs(prune_to);
  compress->needs(prune_to);
  app.footer(
      "Exactly one of --output, --show and --prune-to is needed; --omit and --groups too,\n"
      "but --each needs neither and --all-combinations no --groups. Findings about the\n"
      "names go to standard error before anything is drawn, and, but for a listing of a\n"
      "name list, a summary of the design once it is written (\"design: 50 groups, 33\n"
      "distinct; each taxon left out 4 to 14 times\"). A name longer than 65536 bytes is refused. "
      "Console displays and errors go\n"
      "to standard error. Exit status: 0 on success, 2 for a usage error (an unknown,\n"
      "missing or malformed option), 1 for any other error, a closed output pipe included.");
  try {
    app.parse(argc, argv);
    if (opt.output.empty() && !opt.show && opt.prune_to.empty()) {
      throw CLI::RequiredError("--output, --show or --prune-to");
    }
    if (!opt.each && omit->count() == 0) throw CLI::RequiredError("--omit");
    if (!opt.each && !opt.all_combinations && groups->count() == 0) {
      throw CLI::RequiredError("--groups");
    }
    if (opt.each && (omit->count() > 0 || groups->count() > 0)) {
      throw CLI::ExcludesError(each->get_name(), omit->count() > 0 ? "--omit" : "--groups");
    }
    // Counts and seed are checked here, for every kind of input, before anything is read
    // or a seed is drawn.
    if (!opt.each) CountOption(opt.omit, "--omit");
    if (!opt.each && !opt.all_combinations) CountOption(opt.groups, "--groups");
    if (seed->count() > 0) SeedOption(opt.seed);
    if (jobs->count() > 0 && opt.jobs.find_first_not_of(" \t") == std::string::npos) {
      throw CLI::ValidationError("--jobs",
                                 "is empty: give iqtree2, raxml-ng or a template with "
                                 "{alignment} and {group}");
    }
    if (opt.show && opt.format != "listing") {
      throw CLI::ValidationError("--show",
                                 "prints the listing; use --output - for --format " + opt.format);
    }
  } catch (const CLI::CallForHelp& e) {
    return dk::ExitThroughConsole(app, e);
  } catch (const CLI::CallForAllHelp& e) {
    return dk::ExitThroughConsole(app, e);
  } catch (const CLI::CallForVersion& e) {
    return dk::ExitThroughConsole(app, e);
  } catch (const CLI::ParseError& e) {
    dk::ExitThroughConsole(app, e);
    return kUsageStatus;
  }
  opt.has_seed = seed->count() > 0;

  // A closed pipe is an error to report, not a signal that ends the program unseen.
  dk::Env::Current()->HandleSignal(SIGPIPE, SIG_IGN, false);
  ConsoleToStderr env;
  dk::ScopedEnv scoped_env(&env);
  dk::SetLoadedListObserver(ReviewLoadedList);
  try {
    // A closed standard output would let the next file opened take its number; hold it
    // with /dev/null, and refuse a listing meant for it.
    struct stat out {};
    if (env.FileStat(STDOUT_FILENO, &out) == -EBADF) {
      int fd = -1;
      if (env.Open("/dev/null", O_WRONLY, 0, &fd) == 0 && fd != STDOUT_FILENO) env.Close(fd);
      if (opt.show || NamesStandardOutput(opt.output)) {
        dk::Raise("Cannot write to standard output: it is closed");
      }
    }
    // No output replaces the input, whichever path writes it.
    dk::SetProtectedInput(Absolute(opt.input, "input"));
    if (IsPlainListing(opt)) {
      RunBatch(opt);
    } else {
      RunDesign(opt, argc, argv);
    }
  } catch (const CLI::ParseError& e) {
    dk::ExitThroughConsole(app, e);
    return kUsageStatus;
  } catch (const std::bad_alloc&) {
    dk::Env::Default()->ConsoleErr("dropkit-batch: Out of memory while " + stage + "\n");
    return 1;
  } catch (const std::exception& e) {
    dk::Env::Default()->ConsoleErr(std::string("dropkit-batch: ") + e.what() + "\n");
    return 1;
  }
  return 0;
}
