// load_bench: how long the generator's "Load" takes to read a large name list, with and
// without the check of its names that follows each Load in the programs, and how much
// memory it needs, against a plain std::getline loop over the same file measured in the
// same run.
//
// Usage: load_bench [--names N] [--reps R]
//   --names N  names in the generated list (default 1000000, about 20 MB)
//   --reps R   timed repetitions of each side; the minimum is reported (default 7)
//
// The list is written to a fresh temporary folder, removed at the end. Memory is
// measured on the first Load of the process (with the check), before any getline run,
// as the growth of the resident set: peak (VmHWM, reset just before the Load through
// /proc/self/clear_refs) minus the resident set just before the Load.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_support.h"
#include "generator/randlist.h"
#include "generator/randlist_internal.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "os/env.h"
#include "review/list_review.h"
#include "runtime/loaded_list.h"
#include "runtime/value.h"
#include "shell/registry.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kLoadTimeTarget = 1.5;    // Load / getline, at most
constexpr double kLoadMemoryTarget = 2.0;  // peak growth / file size, at most

// ---- Process memory -------------------------------------------------------------

// A "Vm...:" line of /proc/self/status, in bytes; -1 when missing.
long long StatusBytes(std::string_view key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0 && line.size() > key.size() &&
        line[key.size()] == ':') {
      return std::atoll(line.c_str() + key.size() + 1) * 1024;
    }
  }
  return -1;
}

// Resets VmHWM to the current resident set; false when the kernel does not allow it.
bool ResetPeakResidentSet() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.close();
  return static_cast<bool>(clear);
}

// ---- The two sides --------------------------------------------------------------

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Lines of the file through std::getline, and the time it took.
double TimeGetline(const fs::path& path, long expected) {
  const auto start = Clock::now();
  std::ifstream in(path);
  std::string line;
  long lines = 0;
  while (std::getline(in, line)) ++lines;
  const auto stop = Clock::now();
  if (lines != expected) {
    throw std::runtime_error("getline counted " + std::to_string(lines) + " lines, expected " +
                             std::to_string(expected));
  }
  return Milliseconds(stop - start);
}

// Console displays ("ans = ...") are dropped so they cost nothing and print nothing.
class QuietEnv : public dk::EnvWrapper {
 public:
  QuietEnv() : EnvWrapper(dk::Env::Default()) {}
  void ConsoleOut(std::string_view) override {}
};

// One Load on a freshly set-up module; only the Load itself is timed. `before` runs
// right before it, `after` right after it, both with the list still held.
template <typename Before, typename After>
double TimeLoad(dk::HeadlessWindowSystem& ui, const fs::path& path, long expected, Before before,
                After after) {
  dk::InitializeModule_randlist();
  struct Release {
    ~Release() { dk::TerminateModule_randlist(); }
  } release;
  ui.QueueFileAnswer(path.string());
  dk::Value in[1] = {dk::Value::Text("Load")};
  before();
  const auto start = Clock::now();
  dk::mlxRandlist(0, nullptr, 1, in);
  const auto stop = Clock::now();
  after();
  const dk::Value count = dk::RandlistPersistent("fcount");
  if (count.numel() != 1 || count.num(0) != static_cast<double>(expected)) {
    throw std::runtime_error("Load did not read " + std::to_string(expected) + " names");
  }
  return Milliseconds(stop - start);
}

struct Options {
  long names = 1000000;
  int reps = 7;
};

Options ParseOptions(int argc, char** argv) {
  Options opt;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--names" && i + 1 < argc) {
      opt.names = std::atol(argv[++i]);
    } else if (arg == "--reps" && i + 1 < argc) {
      opt.reps = std::atoi(argv[++i]);
    } else {
      throw std::runtime_error("usage: load_bench [--names N] [--reps R]");
    }
  }
  if (opt.names < 1 || opt.reps < 1) throw std::runtime_error("--names and --reps must be >= 1");
  return opt;
}

const char* Verdict(bool ok) {
  return ok ? "ok" : "OVER TARGET";
}

double Mb(double bytes) {
  return bytes / 1e6;
}

int Run(const Options& opt) {
  const dk::bench::ScratchFolder scratch("dropkit-load-bench");
  const fs::path& dir = scratch.path();

  const fs::path list = dir / "names.txt";
  const double file_bytes = static_cast<double>(dk::bench::WriteNameList(list, opt.names));
  std::printf("names file: %s\n  %ld names, %.1f MB (%.0f bytes)\n", list.c_str(), opt.names,
              Mb(file_bytes), file_bytes);
  std::printf("repetitions: %d of each (minimum reported)\n", opt.reps);
  std::fflush(stdout);

  QuietEnv env;
  dk::ScopedEnv scoped_env(&env);
  dk::ScopedHeadlessGraphics g;
  const dk::Value fig = dk::CreateFigure();
  dk::CreateControl(fig, "edit", "OutBox");

  // Installs the check of the names (as the programs do) for the life of a scope.
  struct Checked {
    explicit Checked(bool on)
        : previous(dk::SetLoadedListObserver(on ? dk::ReviewLoadedList : nullptr)) {}
    ~Checked() { dk::SetLoadedListObserver(previous); }
    dk::LoadedListObserver previous;
  };

  // First Load of the process, with the check: its memory, before anything else has run.
  long long rss_before = 0, hwm_after = 0, rss_after = 0;
  bool peak_reset = false;
  std::vector<double> load_ms, checked_ms;
  const auto checked_load = [&](auto before, auto after) {
    const Checked checked(true);
    return TimeLoad(g.ui(), list, opt.names, before, after);
  };
  checked_ms.push_back(checked_load(
      [&] {
        peak_reset = ResetPeakResidentSet();
        rss_before = StatusBytes("VmRSS");
        if (!peak_reset) rss_before = std::max(rss_before, StatusBytes("VmHWM"));
      },
      [&] {
        hwm_after = StatusBytes("VmHWM");
        rss_after = StatusBytes("VmRSS");
      }));
  const double first_load_ms = checked_ms.front();

  // Then the three sides in turn, so that all meet the same machine load.
  std::vector<double> getline_ms;
  for (int r = 0; r < opt.reps; ++r) {
    getline_ms.push_back(TimeGetline(list, opt.names));
    {
      const Checked unchecked(false);
      load_ms.push_back(TimeLoad(
          g.ui(), list, opt.names, [] {}, [] {}));
    }
    if (static_cast<int>(checked_ms.size()) < opt.reps) {
      checked_ms.push_back(checked_load([] {}, [] {}));
    }
  }

  // The check alone, on a list loaded once.
  std::vector<double> check_ms;
  TimeLoad(
      g.ui(), list, opt.names, [] {},
      [&] {
        const dk::LoadedList loaded{list.string(), dk::RandlistPersistent("stringset"),
                                    static_cast<std::size_t>(opt.names)};
        for (int r = 0; r < opt.reps; ++r) {
          const auto start = Clock::now();
          dk::ReviewLoadedList(loaded);
          check_ms.push_back(Milliseconds(Clock::now() - start));
        }
      });

  const double load = *std::min_element(load_ms.begin(), load_ms.end());
  const double checked = *std::min_element(checked_ms.begin(), checked_ms.end());
  const double getline = *std::min_element(getline_ms.begin(), getline_ms.end());
  const double time_ratio = load / getline;
  const double checked_ratio = checked / getline;
  const double growth = static_cast<double>(hwm_after - rss_before);
  const double memory_ratio = growth / file_bytes;

  std::printf("load: %.1f ms  getline: %.1f ms  ratio %.2f (target <= %.1f)  %s\n", load, getline,
              time_ratio, kLoadTimeTarget, Verdict(time_ratio <= kLoadTimeTarget));
  std::printf("load with the check of the names: %.1f ms  ratio %.2f (target <= %.1f)  %s\n",
              checked, checked_ratio, kLoadTimeTarget, Verdict(checked_ratio <= kLoadTimeTarget));
  std::printf("  the check alone: %.1f ms\n", *std::min_element(check_ms.begin(), check_ms.end()));
  std::printf("  first load of the process (with the check): %.1f ms (ratio %.2f)\n", first_load_ms,
              first_load_ms / getline);
  std::printf("  all loads (ms):");
  for (double t : load_ms) std::printf(" %.1f", t);
  std::printf("\n  all loads with the check (ms):");
  for (double t : checked_ms) std::printf(" %.1f", t);
  std::printf("\n  all getline runs (ms):");
  for (double t : getline_ms) std::printf(" %.1f", t);
  std::printf("\n");
  std::printf(
      "peak memory growth (load with the check): %.1f MB = %.2f x file size (target <= %.0f)  %s\n",
      Mb(growth), memory_ratio, kLoadMemoryTarget, Verdict(memory_ratio <= kLoadMemoryTarget));
  std::printf(
      "  resident set before load %.1f MB, peak %.1f MB, after load %.1f MB "
      "(kept: %.2f x file size)%s\n",
      Mb(static_cast<double>(rss_before)), Mb(static_cast<double>(hwm_after)),
      Mb(static_cast<double>(rss_after)), static_cast<double>(rss_after - rss_before) / file_bytes,
      peak_reset ? "" : "\n  (peak could not be reset: growth measured from the earlier peak)");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(ParseOptions(argc, argv));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "load_bench: %s\n", e.what());
    return 1;
  }
}
