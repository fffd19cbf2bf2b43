// scaling_bench: shows that each loop over input or output costs time in proportion to
// its size. Every case runs at two sizes ten times apart and prints the time per item of
// the larger over that of the smaller: about 1 when the cost is linear, about 10 when it
// is quadratic.
//
// Usage: scaling_bench [--size N] [--reps R]
//   --size N  items of the smaller size (default 100000; the larger is 10 N)
//   --reps R  timed repetitions of each; the minimum is reported (default 3)
//
// Cases, all through the generator's commands on a headless window:
//   load      Load of a list of N names
//   long-line Load of N / 100 lines of 3 KiB, then of N / 1000 lines of 30 KiB: the same
//             bytes, so a read linear in the line's length takes the same time
//   save      Save of one group of N names drawn from N names
//   show      Show of one group of N names drawn from N names (the join of the listing)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_support.h"
#include "generator/randlist.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "os/env.h"
#include "runtime/value.h"
#include "shell/box_window.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kLinearTarget = 1.5;  // per-item time of the larger size / the smaller, at most

class QuietEnv : public dk::EnvWrapper {
 public:
  QuietEnv() : EnvWrapper(dk::Env::Default()) {}
  void ConsoleOut(std::string_view) override {}
};

void Command(const char* word) {
  dk::Value in[1] = {dk::Value::Text(word)};
  dk::mlxRandlist(0, nullptr, 1, in);
}

struct Options {
  long size = 100000;
  int reps = 3;
};

Options ParseOptions(int argc, char** argv) {
  Options opt;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--size" && i + 1 < argc) {
      opt.size = std::atol(argv[++i]);
    } else if (arg == "--reps" && i + 1 < argc) {
      opt.reps = std::atoi(argv[++i]);
    } else {
      throw std::runtime_error("usage: scaling_bench [--size N] [--reps R]");
    }
  }
  if (opt.size < 100 || opt.reps < 1) throw std::runtime_error("--size >= 100, --reps >= 1");
  return opt;
}

void Report(const char* name, long small, double small_ms, long large, double large_ms) {
  const double ratio =
      (large_ms / static_cast<double>(large)) / (small_ms / static_cast<double>(small));
  std::printf("%-9s %9ld: %9.2f ms  %9ld: %9.2f ms  per-item ratio %.2f (target <= %.1f)  %s\n",
              name, small, small_ms, large, large_ms, ratio, kLinearTarget,
              ratio <= kLinearTarget ? "ok" : "NOT LINEAR");
  std::fflush(stdout);
}

int Run(const Options& opt) {
  const dk::bench::ScratchFolder scratch("dropkit-scaling");
  const fs::path& dir = scratch.path();

  QuietEnv env;
  dk::ScopedEnv scoped_env(&env);
  dk::ScopedHeadlessGraphics g;
  dk::CreateBoxWindow();
  dk::InitializeModule_randlist();
  struct Release {
    ~Release() { dk::TerminateModule_randlist(); }
  } release;

  const long sizes[2] = {opt.size, opt.size * 10};
  double load_ms[2], save_ms[2], show_ms[2], long_ms[2];
  for (int s = 0; s < 2; ++s) {
    const long n = sizes[s];
    const fs::path list = dir / ("names" + std::to_string(n) + ".txt");
    dk::bench::WriteNameList(list, n);
    // Each Load starts from a fresh module: a list loaded before would be carried over
    // (its slots above the new count stay), which costs time of its own.
    const auto fresh_load = [&g](const fs::path& file) {
      return [&g, file] {
        dk::TerminateModule_randlist();
        dk::InitializeModule_randlist();
        g.ui().QueueFileAnswer(file.string());
      };
    };
    load_ms[s] = dk::bench::MinimumMs(opt.reps, fresh_load(list), [] { Command("Load"); });
    dk::SetBoxText("NumBox", std::to_string(n));
    dk::SetBoxText("RepBox", "1");
    const fs::path out = dir / "listing.txt";
    save_ms[s] = dk::bench::MinimumMs(
        opt.reps, [&] { g.ui().QueueFileAnswer(out.string()); }, [] { Command("Save"); });
    show_ms[s] = dk::bench::MinimumMs(
        opt.reps, [] {}, [] { Command("Show"); });
    // Lines 3 KiB and 30 KiB long, the same number of bytes in all.
    const long length = 3 * 1024 * (s == 0 ? 1 : 10);
    const long lines = std::max(1L, opt.size / (s == 0 ? 100 : 1000));
    const fs::path longs = dir / ("long" + std::to_string(length) + ".txt");
    dk::bench::WriteLongLines(longs, lines, length);
    long_ms[s] = dk::bench::MinimumMs(opt.reps, fresh_load(longs), [] { Command("Load"); });
    dk::TerminateModule_randlist();
    dk::InitializeModule_randlist();
  }
  std::printf("sizes %ld and %ld, minimum of %d runs each\n", sizes[0], sizes[1], opt.reps);
  Report("load", sizes[0], load_ms[0], sizes[1], load_ms[1]);
  Report("save", sizes[0], save_ms[0], sizes[1], save_ms[1]);
  Report("show", sizes[0], show_ms[0], sizes[1], show_ms[1]);
  // Per line length: the same bytes read, so a linear read takes the same time.
  const double bytes = static_cast<double>(std::max(1L, opt.size / 100)) * 3 * 1024;
  Report("long-line", static_cast<long>(bytes), long_ms[0], static_cast<long>(bytes), long_ms[1]);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(ParseOptions(argc, argv));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scaling_bench: %s\n", e.what());
    return 1;
  }
}
