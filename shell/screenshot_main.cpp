// dropkit-screenshot OUT.png NAMES: runs the program in a window of its own (offscreen
// unless QT_QPA_PLATFORM says otherwise), loads NAMES
// through the open dialog, types 3 names per group, 4 groups and seed 42, presses
// "Set seed" and "Show", and saves a picture of the window to OUT.png. Exit status 0
// when the picture was saved.
#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <utility>

#include "base/errors.h"
#include "gui/mainhg.h"
#include "gui/qt/qt_user.h"
#include "gui/qt/qt_window_system.h"
#include "shell/registry.h"
#include "window/dropkit.h"

namespace {

// A program that has not closed by then is stuck on a dialog nobody answers.
constexpr int kGiveUpMs = 30000;

// Plays the session; returns an empty text when the picture was saved, else what failed.
QString TakeScreenshot(const QString& names, const QString& out) {
  namespace user = dk::qt_user;
  if (!QFileInfo(names).isFile()) return QStringLiteral("no name list at ") + names;
  user::AnswerFileDialog(names);
  if (!user::Press(QStringLiteral("LoadButton"))) return QStringLiteral("no Load button");
  const std::pair<const char*, const char*> boxes[] = {
      {"NumBox", "3"}, {"RepBox", "4"}, {"InitBox", "42"}};
  for (const auto& [tag, text] : boxes) {
    if (!user::TypeInto(QLatin1String(tag), QLatin1String(text))) {
      return QStringLiteral("no box tagged ") + QLatin1String(tag);
    }
  }
  if (!user::Press(QStringLiteral("ManualInitButton")) ||
      !user::Press(QStringLiteral("ShowButton")))
    return QStringLiteral("no Set seed or Show button");
  QCoreApplication::processEvents();  // the listing's lines laid out, its scroll bar set
  const std::vector<QWidget*> windows = user::FigureWindows();
  if (windows.size() != 1) return QStringLiteral("not exactly one window open");
  if (!windows[0]->grab().save(out, "PNG")) return QStringLiteral("cannot write ") + out;
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dropkit-screenshot OUT.png NAMES\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The picture shows the window as it first opens, and leaves the user's settings alone.
  const QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  std::unique_ptr<dk::WindowSystem> ws = dk::MakeQtWindowSystem(qt_argc, qt_argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  const QString names = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();

  QString failure = QStringLiteral("the window never opened");
  QTimer::singleShot(0, qApp, [&] {
    failure = TakeScreenshot(names, out);
    for (QWidget* window : dk::qt_user::FigureWindows()) window->close();
  });
  QTimer::singleShot(kGiveUpMs, qApp, [&] {
    failure = QStringLiteral("gave up: a dialog was left unanswered");
    QCoreApplication::exit(1);
  });
  const int status = dk::mclMainhgOn(std::move(ws), dk::mlxDropkit, 1, dk::main_info);
  if (!failure.isEmpty()) {
    std::fprintf(stderr, "dropkit-screenshot: %s\n",
                 dk::EscapeForMessage(failure.toStdString()).c_str());
    return 1;
  }
  return status;
}
