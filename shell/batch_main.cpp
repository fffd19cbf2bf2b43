// dropkit-batch: runs the generator's commands without a window, for scripts and
// pipelines. The counts and the seed go into the window's boxes as texts, the file
// dialogs are answered with the paths given, and the commands run through the same
// entry a button press uses.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "clades/support_command.h"
#include "generator/randlist.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/graphics.h"
#include "platform/headless/headless_window_system.h"
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
  std::string names;
  std::string omit;
  std::string groups;
  std::string seed;
  bool has_seed = false;
  std::string output;
  bool show = false;
  dk::ReadLimits limits;
};

// Usage errors (an unknown option, a missing one) end with this status; every other
// error with 1.
constexpr int kUsageStatus = 2;

// True when `path` names standard output: "-", "/dev/stdout", "/dev/fd/1" or
// "/proc/self/fd/1" (also spelled with this process's number), in any equivalent form.
bool NamesStandardOutput(const std::string& path) {
  if (path == "-") return true;
  const std::string normal = std::filesystem::path(path).lexically_normal().string();
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/1";
  return normal == "/dev/stdout" || normal == "/dev/fd/1" || normal == "/proc/self/fd/1" ||
         normal == own;
}

void Run(const char* command) {
  Value in[1] = {Value::Text(command)};
  dk::mlxRandlist(0, nullptr, 1, in);
}

// Writes all of `text` to standard output; raises on a write error.
void WriteStdout(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const long n = dk::Env::Current()->Write(1, text.data() + done, text.size() - done);
    if (n <= 0)
      dk::Raise("Cannot write to standard output: " + dk::ErrnoText(n < 0 ? int(n) : EIO));
    done += static_cast<std::size_t>(n);
  }
}

std::string Absolute(const std::string& path, const char* what) {
  if (path.empty()) dk::Raise(std::string("The ") + what + " file name is empty");
  return std::filesystem::absolute(path).lexically_normal().string();
}

// The listing's file, checked before anything is read: not a folder, and not the name
// list itself (directly or through a link), which the listing would replace.
std::string ListingTarget(const Options& opt) {
  if (NamesStandardOutput(opt.output)) return "/dev/stdout";
  const std::string target = Absolute(opt.output, "listing");
  struct stat out {};
  const bool exists = ::stat(target.c_str(), &out) == 0;
  if ((exists && S_ISDIR(out.st_mode)) || opt.output.back() == '/') {
    dk::Raise("Cannot write the listing to " + dk::QuoteForMessage(opt.output) +
              ": it is a folder; name a file");
  }
  struct stat in {};
  if (exists && S_ISREG(out.st_mode) && ::stat(opt.names.c_str(), &in) == 0 &&
      in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
    dk::Raise("The listing would replace its own name list " + dk::QuoteForMessage(opt.names) +
              ": choose another output file");
  }
  return target;
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
  ws.QueueFileAnswer(Absolute(opt.names, "name list"));
  if (!opt.show) ws.QueueFileAnswer(ListingTarget(opt));
  dk::SetReadLimits(opt.limits);

  dk::InitializeModule_randlist();
  struct Release {
    ~Release() { dk::TerminateModule_randlist(); }
  } release;
  stage = "loading the name list " + dk::QuoteForMessage(opt.names);
  Run("Load");
  stage = "setting the seed";
  if (opt.has_seed) Run("ManualInit");
  stage = opt.show ? "drawing the listing" : "writing the listing";
  Run(opt.show ? "Show" : "Save");
  stage = "writing the listing to standard output";
  if (opt.show) {
    WriteStdout(dk::BoxText("OutBox") + "\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  // dropkit-batch support ...: clade survival from the groups' trees.
  if (argc > 1 && std::string_view(argv[1]) == "support") {
    std::string name = std::string(argv[0]) + " support";
    std::vector<char*> args{name.data()};
    args.insert(args.end(), argv + 2, argv + argc);
    ::signal(SIGPIPE, SIG_IGN);
    return SupportCommand(static_cast<int>(args.size()), args.data());
  }
  Options opt;
  CLI::App app{
      "Writes a randomized omission listing from a name list (one taxon name per line): for\n"
      "each group, a fresh random choice of names to leave out, in the order of the list."};
  app.add_option("NAMES", opt.names, "The name list file, one name per line")->required();
  app.add_option("--omit,-k", opt.omit, "How many names to leave out per group (0 or more)")
      ->required();
  app.add_option("--groups,-r", opt.groups, "How many groups to draw (0 or more)")->required();
  auto* seed = app.add_option("--seed,-s", opt.seed,
                              "Restart the random generator from this number first, so the same\n"
                              "seed, list and counts give the same groups again (without it,\n"
                              "every run draws new groups)");
  auto* output = app.add_option("--output,-o", opt.output,
                                "Write the listing file here; '-' writes it to standard output\n"
                                "(an existing file is replaced only once the listing is complete)");
  auto* show = app.add_flag("--show", opt.show,
                            "Print the listing as the window shows it, on standard output");
  app.add_option("--max-names", opt.limits.lines,
                 "Refuse a name list of more names (lines) than this")
      ->default_val(opt.limits.lines)
      ->check(CLI::PositiveNumber);
  app.add_option("--max-bytes", opt.limits.bytes, "Refuse a name list larger than this, in bytes")
      ->default_val(opt.limits.bytes)
      ->check(CLI::PositiveNumber);
  output->excludes(show);
  app.footer(
      "Exactly one of --output and --show is needed. A name longer than 65536 bytes is\n"
      "refused. Console displays and errors go to standard error. Exit status: 0 on\n"
      "success, 2 for a usage error (an unknown, missing or malformed option), 1 for any\n"
      "other error, a closed output pipe included.");
  try {
    app.parse(argc, argv);
    if (opt.output.empty() && !opt.show) throw CLI::RequiredError("--output or --show");
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsageStatus;
  }
  opt.has_seed = seed->count() > 0;

  // A closed pipe is an error to report, not a signal that ends the program unseen.
  ::signal(SIGPIPE, SIG_IGN);
  ConsoleToStderr env;
  dk::ScopedEnv scoped_env(&env);
  try {
    // A closed standard output would let the next file opened take its number; hold it
    // with /dev/null, and refuse a listing meant for it.
    if (::fcntl(STDOUT_FILENO, F_GETFD) == -1) {
      const int fd = ::open("/dev/null", O_WRONLY);
      if (fd >= 0 && fd != STDOUT_FILENO) ::close(fd);
      if (opt.show || NamesStandardOutput(opt.output)) {
        dk::Raise("Cannot write to standard output: it is closed");
      }
    }
    RunBatch(opt);
  } catch (const std::bad_alloc&) {
    dk::Env::Default()->ConsoleErr("dropkit-batch: Out of memory while " + stage + "\n");
    return 1;
  } catch (const std::exception& e) {
    dk::Env::Default()->ConsoleErr(std::string("dropkit-batch: ") + e.what() + "\n");
    return 1;
  }
  return 0;
}
