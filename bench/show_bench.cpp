// show_bench: how long Show takes in the window, from the press of the button until the
// listing stands in the OutBox, against `dropkit-batch --show` of the same list, counts
// and seed, measured in the same run.
//
// Usage: show_bench [--names N] [--omit K] [--groups R] [--reps R] [--batch PATH]
//   --names N   names in the generated list (default 100000)
//   --omit K    names per group (default 1000); --groups R: groups (default 1000)
//   --reps R    timed repetitions of each side; the minimum is reported (default 5)
//   --batch P   the dropkit-batch to run (default: the one built beside this program)
//
// The window runs offscreen unless QT_QPA_PLATFORM says otherwise. Both sides draw the
// same groups (seed 1), so the OutBox ends up with the text the batch command prints.
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_support.h"
#include "gui/mainhg.h"
#include "gui/qt/qt_user.h"
#include "gui/qt/qt_window_system.h"
#include "shell/registry.h"
#include "window/dropkit.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kShowTarget = 5.0;  // window / batch, at most

struct Options {
  long names = 100000;
  long omit = 1000;
  long groups = 1000;
  int reps = 5;
  std::string batch;
};

Options ParseOptions(int argc, char** argv) {
  Options opt;
  opt.batch =
      (fs::canonical("/proc/self/exe").parent_path().parent_path() / "dropkit-batch").string();
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (i + 1 >= argc) throw std::runtime_error("missing a value after " + std::string(arg));
    if (arg == "--names") {
      opt.names = std::atol(argv[++i]);
    } else if (arg == "--omit") {
      opt.omit = std::atol(argv[++i]);
    } else if (arg == "--groups") {
      opt.groups = std::atol(argv[++i]);
    } else if (arg == "--reps") {
      opt.reps = std::atoi(argv[++i]);
    } else if (arg == "--batch") {
      opt.batch = fs::absolute(argv[++i]).string();
    } else {
      throw std::runtime_error(
          "usage: show_bench [--names N] [--omit K] [--groups R] [--reps R] [--batch PATH]");
    }
  }
  if (opt.names < 1 || opt.omit < 0 || opt.omit > opt.names || opt.groups < 0 || opt.reps < 1) {
    throw std::runtime_error("need 1 <= names, 0 <= omit <= names, 0 <= groups, 1 <= reps");
  }
  return opt;
}

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The batch command's Show, one run: the whole process, as a user waits for it.
double TimeBatch(const Options& opt, const fs::path& list) {
  const std::string command = "'" + opt.batch + "' '" + list.string() + "' --omit " +
                              std::to_string(opt.omit) + " --groups " + std::to_string(opt.groups) +
                              " --seed 1 --show >/dev/null 2>&1";
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  return Milliseconds(Clock::now() - start);
}

// Plays the window: loads the list, types the counts, then presses "Set seed" and "Show"
// `reps` times, timing each Show until the OutBox holds the listing. Returns the times,
// or throws what went wrong.
std::vector<double> TimeWindow(const Options& opt, const fs::path& list, std::size_t* shown) {
  namespace user = dk::qt_user;
  user::AnswerFileDialog(QString::fromStdString(list.string()));
  if (!user::Press(QStringLiteral("LoadButton"))) throw std::runtime_error("no Load button");
  const std::pair<const char*, std::string> boxes[] = {{"NumBox", std::to_string(opt.omit)},
                                                       {"RepBox", std::to_string(opt.groups)},
                                                       {"InitBox", "1"}};
  for (const auto& [tag, text] : boxes) {
    if (!user::TypeInto(QLatin1String(tag), QString::fromStdString(text))) {
      throw std::runtime_error(std::string("no box tagged ") + tag);
    }
  }
  auto* out = qobject_cast<QPlainTextEdit*>(user::Control(QStringLiteral("OutBox")));
  if (out == nullptr) throw std::runtime_error("no OutBox");
  std::vector<double> times;
  for (int r = 0; r < opt.reps; ++r) {
    if (!user::Press(QStringLiteral("ManualInitButton"))) throw std::runtime_error("no Set seed");
    QCoreApplication::processEvents();
    const auto start = Clock::now();
    if (!user::Press(QStringLiteral("ShowButton"))) throw std::runtime_error("no Show button");
    QCoreApplication::processEvents();  // the listing laid out and painted
    times.push_back(Milliseconds(Clock::now() - start));
  }
  *shown = static_cast<std::size_t>(out->document()->characterCount());
  return times;
}

int Run(int argc, char** argv) {
  const Options opt = ParseOptions(argc, argv);
  const dk::bench::ScratchFolder scratch("dropkit-show-bench");
  const fs::path& dir = scratch.path();
  const fs::path list = dir / "names.txt";
  dk::bench::WriteNameList(list, opt.names);
  std::printf("%ld names, --omit %ld --groups %ld --seed 1; min of %d runs\n", opt.names, opt.omit,
              opt.groups, opt.reps);
  std::fflush(stdout);

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  std::unique_ptr<dk::WindowSystem> ws = dk::MakeQtWindowSystem(qt_argc, qt_argv);
  std::vector<double> window_ms, batch_ms;
  std::size_t shown = 0;
  std::string failure = "the window never opened";
  QTimer::singleShot(0, qApp, [&] {
    try {
      window_ms = TimeWindow(opt, list, &shown);
      for (int r = 0; r < opt.reps; ++r) batch_ms.push_back(TimeBatch(opt, list));
      failure.clear();
    } catch (const std::exception& e) {
      failure = e.what();
    }
    for (QWidget* window : dk::qt_user::FigureWindows()) window->close();
  });
  dk::mclMainhgOn(std::move(ws), dk::mlxDropkit, 1, dk::main_info);
  if (!failure.empty()) throw std::runtime_error(failure);

  const double window = *std::min_element(window_ms.begin(), window_ms.end());
  const double batch = *std::min_element(batch_ms.begin(), batch_ms.end());
  std::printf(
      "window Show: %.1f ms (%zu characters in the OutBox)  batch --show: %.1f ms  ratio %.2f "
      "(target <= %.0f)  %s\n",
      window, shown, batch, window / batch, kShowTarget,
      window / batch <= kShowTarget ? "ok" : "OVER TARGET");
  std::printf("  all window runs (ms):");
  for (double t : window_ms) std::printf(" %.1f", t);
  std::printf("\n  all batch runs (ms):");
  for (double t : batch_ms) std::printf(" %.1f", t);
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "show_bench: %s\n", e.what());
    return 1;
  }
}
