// Runs the whole program in real (offscreen) windows and plays a person at them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QFontMetricsF>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/errors.h"
#include "gui/graphics.h"
#include "gui/mainhg.h"
#include "gui/qt/qt_user.h"
#include "gui/qt/qt_window_system.h"
#include "random/random.h"
#include "review/list_review.h"
#include "runtime/callable.h"
#include "shell/registry.h"
#include "testing/qt_test_support.h"
#include "testing/test_support.h"
#include "window/dropkit.h"

namespace dk {
namespace {

namespace user = qt_user;
using test::Q;
using test::ReadFile;
using test::WriteFile;

// The height of a window's menu bar, which stands above the figure's drawing area.
int MenuHeight(const QWidget* window) {
  const auto* bar = window->findChild<QMenuBar*>("MenuBar");
  return bar != nullptr ? bar->height() : 0;
}

const char kWelcome[] = "Load a list of names, one per line, to begin.";
// t1..t10 with seed 42: 3 names in each of 2 groups.
const char kListingShown[] =
    "Randomized listing of 2 groups to 3 taxa to omit\n2026-12-07 : 14:5"
    "\n***  Repetition 1  *****************************\nt2\nt3\nt7"
    "\n***  Repetition 2  *****************************\nt3\nt6\nt9";
const char kListingFile[] =
    "Randomized listing of 2 groups to 3 taxa to omit\n2026-12-07 : 14:5\n"
    "\n***  Repetition 1  *****************************\nt2\n\nt3\n\nt7\n"
    "\n***  Repetition 2  *****************************\nt3\n\nt6\n\nt9\n";

Value Tagged(const char* tag) {
  return mlfFindobj(Value::Text("Tag"), Value::Text(tag));
}

void Set(const Value& h, const char* property, const Value& value) {
  mlfNSet(0, h, Value::Text(property), value);
}

Value Get(const Value& h, const char* property) {
  return mlfNGet(1, h, Value::Text(property));
}

// Clicks `button` of the next modal message box and keeps its text in *text.
void AnswerQuestion(QMessageBox::StandardButton button, QString* text) {
  user::WhenModal([button, text](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) return false;
    if (text != nullptr) *text = box->text();
    box->button(button)->click();
    return true;
  });
}

// Drags `file` over `window` to `at` (window coordinates) and drops it there if the
// window takes it, as a file manager does. Answers whether the window took the drop.
bool DropFile(QWidget* window, const std::string& file, QPoint at) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(Q(file))});
  QWindow* handle = window->windowHandle();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(handle, &enter);
  QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(handle, &move);
  if (!move.isAccepted()) {
    QDragLeaveEvent leave;
    QApplication::sendEvent(handle, &leave);
    return false;
  }
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(handle, &drop);
  return drop.isAccepted();
}

// The first object below `root` (itself included) whose accessible name is `name`, of
// `role` unless that is NoRole, as a screen reader finds it; nullptr when none.
QAccessibleInterface* Named(QAccessibleInterface* root, const QString& name,
                            QAccessible::Role role = QAccessible::NoRole) {
  if (root == nullptr) return nullptr;
  if (root->text(QAccessible::Name) == name &&
      (role == QAccessible::NoRole || root->role() == role))
    return root;
  for (int i = 0; i < root->childCount(); ++i) {
    if (QAccessibleInterface* found = Named(root->child(i), name, role)) return found;
  }
  return nullptr;
}

// The accessible object of the open window titled `title`.
QAccessibleInterface* WindowNamed(const QString& title) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle() == title)
      return QAccessible::queryAccessibleInterface(w);
  }
  return nullptr;
}

// Runs the default action of the object named `name` in `window`, as a screen reader's
// "press" does: a button is clicked a moment later, so the caller waits for its effect.
// False when there is no such object or it has no action.
bool PressNamed(QAccessibleInterface* window, const QString& name) {
  QAccessibleInterface* object = Named(window, name);
  if (object == nullptr || object->actionInterface() == nullptr) return false;
  object->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  return true;
}

// Runs the whole program, from the graphics main to its exit status, in real (offscreen)
// windows. The test's script plays the person inside the event loop once the window is
// open; then every window still open is closed, which ends the program.
class QtProgramTest : public ::testing::Test {
 protected:
  QtProgramTest() {
    std::string names;
    for (int i = 1; i <= 10; ++i) names += "t" + std::to_string(i) + "\n";
    WriteFile(dir.file("names.txt"), names);
    ResetRandomToEntropy();          // no seed in force
    ReviewLoadedList(LoadedList{});  // and no list loaded, whatever ran before
    QSettings().clear();             // nor anything kept from an earlier run
    // As the program's main sets it up.
    previous_start_ = SetEntropyStart(EntropyStart::kSeed);
  }
  ~QtProgramTest() override { SetEntropyStart(previous_start_); }

  int RunProgram(const std::function<void()>& script) {
    const ModuleObserver previous =
        SetModuleObserver([this](const std::string& module, long /*index*/, bool built) {
          (built ? built_ : released_).insert(module);
        });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
      ADD_FAILURE() << "The program was still running after 60 s";
      QCoreApplication::exit(99);
    });
    watchdog.start(60000);
    QTimer::singleShot(0, qApp, [&script] {
      try {
        script();
      } catch (const std::exception& e) {
        ADD_FAILURE() << "The script raised: " << e.what();
      }
      for (QWidget* window : user::FigureWindows()) window->close();
    });
    static int argc = 1;
    static char arg0[] = "dropkit";
    static char* argv[] = {arg0, nullptr};
    const int status = mclMainhgOn(MakeQtWindowSystem(argc, argv), mlxDropkit, 1, main_info);
    SetModuleObserver(previous);
    return status;
  }

  // Loads names.txt through the open dialog.
  void LoadNames() {
    user::AnswerFileDialog(Q(dir.file("names.txt")));
    ASSERT_TRUE(user::Press("LoadButton"));
    ASSERT_EQ(user::TextOf("OutBox"), "File names.txt loaded with 10 names");
  }

  // Closes every message box, as a person who has read them.
  static void CloseBoxes() {
    for (QMessageBox* box : user::MessageBoxes()) box->close();
  }

  static std::vector<std::pair<QMessageBox::Icon, QString>> Boxes() {
    std::vector<std::pair<QMessageBox::Icon, QString>> out;
    for (QMessageBox* box : user::MessageBoxes()) out.emplace_back(box->icon(), box->text());
    return out;
  }

  test::TestEnv env;
  test::TempDir dir;
  EntropyStart previous_start_;
  const ScopedListSourceReader reader_{ReadAlignmentAsList};
  std::set<std::string> built_;
  std::set<std::string> released_;
};

TEST_F(QtProgramTest, ASessionFromLoadToSave) {
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);  // where the dialogs start
  const QString folder = QDir(Q(dir.path())).canonicalPath();
  const int status = RunProgram([&] {
    ASSERT_TRUE(user::TypeInto("NumBox", "3"));
    ASSERT_TRUE(user::TypeInto("RepBox", "2"));
    ASSERT_TRUE(user::TypeInto("InitBox", "42"));
    user::AnswerFileDialog(Q(dir.file("names.txt")), [&](QFileDialog* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Please Select File to Load");
      EXPECT_EQ(dialog->nameFilters(), QStringList({"Text files (*.txt)", "All files (*)"}));
      EXPECT_EQ(dialog->directory().canonicalPath(), folder);
      EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
      EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
      EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    });
    ASSERT_TRUE(user::Press("LoadButton"));
    EXPECT_EQ(user::TextOf("OutBox"), "File names.txt loaded with 10 names");

    ASSERT_TRUE(user::Press("ManualInitButton"));
    EXPECT_EQ(user::TextOf("OutBox"), "Random number manually initialized with seed 42.000000");
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_EQ(user::TextOf("OutBox"), kListingShown);
    EXPECT_EQ(Get(Tagged("OutBox"), "String").utf8(), kListingShown);

    ASSERT_TRUE(user::Press("ManualInitButton"));
    user::AnswerFileDialog(Q(dir.file("listing.txt")), [](QFileDialog* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Please Select Filename to save as");
      EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
      EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    });
    ASSERT_TRUE(user::Press("SaveButton"));
    EXPECT_TRUE(user::MessageBoxes().empty());
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(dir.file("listing.txt")), kListingFile);
  // Enter ended each edit, which ran the box's callback.
  EXPECT_NE(env.out.find("NumBox Callback not implemented yet."), std::string::npos);
  EXPECT_NE(env.out.find("RepBox Callback not implemented yet."), std::string::npos);
  EXPECT_NE(env.out.find("InitBox Callback not implemented yet."), std::string::npos);
  EXPECT_EQ(env.err, "");
}

TEST_F(QtProgramTest, TheWindowShowsTheFigureFileAndNamesItsControls) {
  const int status = RunProgram([] {
    const std::vector<QWidget*> windows = user::FigureWindows();
    ASSERT_EQ(windows.size(), 1u);
    QWidget* window = windows[0];
    EXPECT_EQ(window->windowTitle(), "Dropkit");

    // The model's rectangles, from the screen's lower-left corner, are where Qt shows
    // the window and its controls.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // The Help menu's bar stands above the drawing area.
    const Value position = Get(mlfGcf(), "Position");
    const int menu = MenuHeight(window);
    EXPECT_GT(menu, 0);
    EXPECT_EQ(
        window->geometry(),
        QRect(int(position.num(0)), screen.height() - int(position.num(1) + position.num(3)) - menu,
              int(position.num(2)), int(position.num(3)) + menu));
    EXPECT_EQ(window->size(), QSize(560, 480 + menu));
    // It resizes, but never below the size the figure file lays it out in.
    EXPECT_EQ(window->minimumSize(), QSize(560, 480 + menu));
    EXPECT_GT(window->maximumSize().width(), 560);
    EXPECT_EQ(user::Control("NumBox")->geometry(), QRect(260, menu + 480 - 218 - 24, 170, 24));
    EXPECT_EQ(user::Control("ShowButton")->geometry(), QRect(425, menu + 480 - 82 - 32, 115, 32));

    // The screen facts the model reads are Qt's.
    const Value size = Get(Value::Scalar(0), "ScreenSize");
    EXPECT_EQ(size.num(2), screen.width());
    EXPECT_EQ(size.num(3), screen.height());
    EXPECT_EQ(Get(Value::Scalar(0), "ScreenPixelsPerInch").num(0),
              QGuiApplication::primaryScreen()->logicalDotsPerInch());
    EXPECT_EQ(Get(Tagged("NumBox"), "FontSize").num(0), QApplication::font().pointSizeF());
    const QColor button = QApplication::palette().color(QPalette::Button);
    const Value background = Get(Value::Scalar(0), "DefaultUicontrolBackgroundColor");
    EXPECT_FLOAT_EQ(static_cast<float>(background.num(0)), button.redF());
    EXPECT_FLOAT_EQ(static_cast<float>(background.num(2)), button.blueF());
    EXPECT_EQ(window->palette().color(QPalette::Window).rgb(), button.rgb());  // the launch set it

    // Each control: found by its tag, read as what a person sees beside it.
    const std::vector<std::pair<QString, QString>> names = {
        {"OutBox", "Messages and listings"},
        {"NumBox", "Names to leave out per group"},
        {"RepBox", "Number of groups"},
        {"InitBox", "Seed"},
        {"SeedInForce", "Seed in force: none (a fresh draw each time)"},
        {"LoadButton", "Load"},
        {"SaveButton", "Save"},
        {"ExportButton", "Export"},
        {"ManualInitButton", "Set seed"},
        {"ShowButton", "Show"},
        {"KeepButton", "Keep..."},
        {"LeaveOneOutButton", "Leave one out"},
        {"SurvivalButton", "Survival..."},
        {"KeptNames", "Never left out by Export: none (Keep... reads them from a file)"}};
    for (const auto& [tag, name] : names) {
      QWidget* w = user::Control(tag);
      ASSERT_NE(w, nullptr) << tag.toStdString();
      EXPECT_EQ(w->objectName(), tag);
      EXPECT_EQ(w->accessibleDescription(), w->toolTip());  // what it does, not its tag
      EXPECT_EQ(w->accessibleName(), name) << tag.toStdString();
    }
    EXPECT_NE(qobject_cast<QLineEdit*>(user::Control("NumBox")), nullptr);
    EXPECT_NE(qobject_cast<QPushButton*>(user::Control("LoadButton")), nullptr);
    EXPECT_EQ(user::Control("LoadButton")->toolTip(), "Read a list of names, one per line");

    // The status and listing box: lines kept as they are (a message of one line wraps), in
    // a fixed-pitch font, read but not changed.
    auto* out = qobject_cast<QPlainTextEdit*>(user::Control("OutBox"));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->toPlainText(), kWelcome);
    EXPECT_TRUE(out->isReadOnly());
    EXPECT_TRUE(out->isEnabled());
    EXPECT_EQ(out->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    // What the user sees: every character advances by the same width (whether the family
    // calls itself fixed-pitch varies between machines).
    const QFontMetricsF metrics(out->font());
    for (const QChar c : QStringLiteral("W.m|0_")) {
      EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('i')))
          << QString(c).toStdString();
    }
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, ProgramChangesShowAtOnceAndMovesComeBack) {
  const int status = RunProgram([] {
    const Value fig = mlfGcf();
    Set(Tagged("OutBox"), "String", Value::Text("one\ntwo"));
    EXPECT_EQ(user::TextOf("OutBox"), "one\ntwo");
    Value cell = Value::Cell(1, 2);
    cell.mutable_cell(0) = Value::Text("a");
    cell.mutable_cell(1) = Value::Text("b");
    Set(Tagged("OutBox"), "String", cell);
    EXPECT_EQ(user::TextOf("OutBox"), "a\nb");
    Set(Tagged("NumBox"), "String", Value::Text("7"));
    EXPECT_EQ(user::TextOf("NumBox"), "7");
    Set(Tagged("ShowButton"), "Visible", Value::Text("off"));
    EXPECT_FALSE(user::Control("ShowButton")->isVisible());
    Set(Tagged("SaveButton"), "Enable", Value::Text("off"));
    EXPECT_FALSE(user::Control("SaveButton")->isEnabled());
    Set(Tagged("SaveButton"), "String", Value::Text("Save & close"));
    EXPECT_EQ(user::Control("SaveButton")->accessibleName(), "Save & close");
    Set(Tagged("NumBox"), "FontSize", Value::Scalar(20));
    EXPECT_EQ(user::Control("NumBox")->font().pointSizeF(), 20);
    Set(Tagged("NumBox"), "Position", Value::Row({10, 10, 50, 20}));
    const int menu = MenuHeight(user::FigureWindows().at(0));
    EXPECT_EQ(user::Control("NumBox")->geometry(), QRect(10, menu + 480 - 10 - 20, 50, 20));
    // A box given room for many lines becomes a multi-line box under the same tag.
    Set(Tagged("InitBox"), "String", Value::Text("42"));
    Set(Tagged("InitBox"), "Max", Value::Scalar(3));
    EXPECT_NE(qobject_cast<QPlainTextEdit*>(user::Control("InitBox")), nullptr);
    EXPECT_EQ(user::TextOf("InitBox"), "42");
    EXPECT_EQ(user::Control("InitBox")->accessibleName(), "Seed");
    Set(fig, "Name", Value::Text("Other"));
    EXPECT_EQ(user::FigureWindows().at(0)->windowTitle(), "Other");

    // What a person types is what the program reads, before any Enter.
    auto* rep = qobject_cast<QLineEdit*>(user::Control("RepBox"));
    rep->selectAll();
    QTest::keyClicks(rep, "12");
    EXPECT_EQ(Get(Tagged("RepBox"), "String").utf8(), "12");

    // A window moved and resized by a person tells the model; controls keep their
    // place from the lower-left corner.
    QWidget* window = user::FigureWindows().at(0);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window->setGeometry(40, 30, 600, 520);
    QCoreApplication::processEvents();
    const Value position = Get(fig, "Position");
    EXPECT_EQ(position.num(0), 40);
    EXPECT_EQ(position.num(1), screen.height() - 30 - 520);
    EXPECT_EQ(position.num(2), 600);
    EXPECT_EQ(position.num(3), 520 - menu);
    EXPECT_EQ(user::Control("NumBox")->geometry(), QRect(10, 520 - 10 - 20, 50, 20));
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, AWrongCommandWordShowsItsMessageBox) {
  const int status = RunProgram([] {
    mlfFeval(0, Value::Text("randlist"), {Value::Text("Bogus")});
    const std::vector<QMessageBox*> boxes = user::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    QPointer<QMessageBox> box = boxes[0];
    EXPECT_EQ(box->text(), "Fell through case");
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    // The call has returned, and the window takes no input until the box is closed.
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(box.isNull());  // deleted once closed
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, ACallbackErrorShowsAnErrorBoxAndTheWindowGoesOn) {
  const std::string bad_count =
      "The box \"Names to leave out per group\" must hold one whole number of 0 or more; it "
      "holds \"abc\".";
  const std::string no_list =
      "No name list is loaded: use Load to read one before listing 1 names per group.";
  const int status = RunProgram([&] {
    // Another window is the program's current figure; the box stands over the one used.
    CreateFigure({{"Name", Value::Text("Other")}});
    ASSERT_TRUE(user::TypeInto("NumBox", "abc"));
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_EQ(Boxes(), (std::vector<std::pair<QMessageBox::Icon, QString>>{
                           {QMessageBox::Critical, Q(bad_count)}}));
    EXPECT_EQ(user::MessageBoxes().at(0)->parentWidget(), user::Control("NumBox")->window());
    EXPECT_EQ(user::TextOf("OutBox"), kWelcome);
    ASSERT_TRUE(user::Press("ShowButton"));  // the box is not yet read: nothing runs
    EXPECT_EQ(Boxes().size(), 1u);
    CloseBoxes();
    ASSERT_TRUE(user::TypeInto("NumBox", "1"));
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_EQ(
        Boxes(),
        (std::vector<std::pair<QMessageBox::Icon, QString>>{{QMessageBox::Critical, Q(no_list)}}));
    // The box is left open: closing the window still ends the program.
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(env.err, "Error in the callback of ShowButton: " + bad_count + "\n" +
                         "Error in the callback of ShowButton: " + no_list + "\n");
}

TEST_F(QtProgramTest, ASecondLaunchReusesTheOpenWindow) {
  const int status = RunProgram([] {
    const std::vector<QWidget*> before = user::FigureWindows();
    ASSERT_EQ(before.size(), 1u);
    Value outputs[1];
    mlxDropkit(0, outputs, 0, nullptr);
    EXPECT_EQ(user::FigureWindows(), before);
    EXPECT_EQ(mlfFindobj(Value::Text("Type"), Value::Text("figure")).numel(), 1u);
    // The rebuilt handles still reach the window's boxes.
    ASSERT_TRUE(user::TypeInto("NumBox", "5"));
    EXPECT_EQ(Get(Tagged("NumBox"), "String").utf8(), "5");
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, CancellingLongWorkLeavesTheOutBoxAlone) {
  const int status = RunProgram([&] {
    LoadNames();
    ASSERT_TRUE(user::TypeInto("RepBox", "50"));
    ASSERT_TRUE(user::TypeInto("InitBox", "42"));
    ASSERT_TRUE(user::Press("ManualInitButton"));
    const QString seeded = user::TextOf("OutBox");
    bool seen = false;
    QTimer::singleShot(0, qApp, [&seen] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<QProgressDialog*>(w);
        if (progress == nullptr) continue;
        seen = true;
        EXPECT_EQ(progress->windowTitle(), "Show");
        // Not modal, so that the window manager's close reaches the window, which a modal
        // dialog blocks; people's input to the window is eaten all the same.
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        QTest::keyClicks(user::Control("NumBox"), "9");
        QTest::mouseClick(user::Control("LoadButton"), Qt::LeftButton);
        EXPECT_EQ(user::TextOf("NumBox"), "3");
        EXPECT_EQ(progress->minimumDuration(), 500);
        EXPECT_EQ(progress->maximum(), 50);  // one step a group
        EXPECT_EQ(progress->findChild<QProgressBar*>()->accessibleName(), "Show progress");
        EXPECT_FALSE(progress->isVisible());  // work this short shows no dialog
        // While the work runs, no other command starts, and closing the window asks
        // first: No keeps it open.
        EXPECT_TRUE(user::Press("ManualInitButton"));
        QString question;
        AnswerQuestion(QMessageBox::No, &question);
        EXPECT_FALSE(user::FigureWindows().at(0)->close());
        EXPECT_EQ(question, "Show is still running. Stop it and close the window?");
        progress->cancel();
      }
    });
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_TRUE(seen);
    // A cancel is no error: no box, the OutBox and the seed line as they were, no draws.
    EXPECT_EQ(user::TextOf("OutBox"), seeded);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(user::TextOf("SeedInForce"), "Seed in force: 42");
    for (QWidget* w : QApplication::topLevelWidgets()) {
      EXPECT_EQ(qobject_cast<QProgressDialog*>(w), nullptr);
    }
    // The next command runs as usual, and draws what the cancelled one would have.
    ASSERT_TRUE(user::Press("ShowButton"));
    const QString shown = user::TextOf("OutBox");
    EXPECT_TRUE(shown.startsWith("Randomized listing of 50 groups"));
    ASSERT_TRUE(user::Press("ManualInitButton"));
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_EQ(user::TextOf("OutBox"), shown);
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, ClosingTheWindowDuringLongWorkStopsItWhenTheUserSaysYes) {
  const int status = RunProgram([&] {
    LoadNames();
    ASSERT_TRUE(user::TypeInto("RepBox", "200000"));
    // Once the listing is being written, the window is closed and the question answered.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&poll] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QProgressDialog*>(w) == nullptr) continue;
        poll.stop();
        AnswerQuestion(QMessageBox::Yes, nullptr);
        user::FigureWindows().at(0)->close();
        return;
      }
    });
    poll.start(0);
    user::AnswerFileDialog(Q(dir.file("listing.txt")));
    ASSERT_TRUE(user::Press("SaveButton"));
    EXPECT_TRUE(QTest::qWaitFor([] { return user::FigureWindows().empty(); }, 10000));
  });
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("listing.txt")));  // stopped as Cancel stops it
}

TEST_F(QtProgramTest, CancelledDialogsAndTheReplaceQuestionKeepFiles) {
  WriteFile(dir.file("keep.txt"), "old\n");
  QString question;
  const int status = RunProgram([&] {
    user::AnswerFileDialog("");
    ASSERT_TRUE(user::Press("LoadButton"));
    EXPECT_EQ(user::TextOf("OutBox"), kWelcome);
    LoadNames();

    // "No" to replacing keeps the file and the dialog, which is then cancelled.
    AnswerQuestion(QMessageBox::No, &question);
    user::WhenModal([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr) return false;
      user::ChooseFile(dialog, Q(dir.file("keep.txt")));
      EXPECT_TRUE(dialog->isVisible());
      dialog->reject();
      return true;
    });
    ASSERT_TRUE(user::Press("SaveButton"));
    EXPECT_TRUE(question.contains("keep.txt already exists")) << question.toStdString();
    EXPECT_EQ(ReadFile(dir.file("keep.txt")), "old\n");

    // "Yes" replaces it.
    question.clear();
    AnswerQuestion(QMessageBox::Yes, &question);
    user::AnswerFileDialog(Q(dir.file("keep.txt")));
    ASSERT_TRUE(user::Press("SaveButton"));
    EXPECT_FALSE(question.isEmpty());
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(dir.file("keep.txt")).rfind("Randomized listing of 10 groups", 0), 0u);
}

TEST_F(QtProgramTest, AnEditEndsWithEnterOrByLeavingAChangedBox) {
  const int status = RunProgram([] {
    QWidget* window = user::FigureWindows().at(0);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ASSERT_TRUE(user::TypeInto("NumBox", "4"));               // Enter: one callback
    user::Control("RepBox")->setFocus(Qt::MouseFocusReason);  // nothing typed since
    user::Control("NumBox")->setFocus(Qt::MouseFocusReason);  // RepBox left untouched
    QTest::keyClicks(user::Control("NumBox"), "5");
    user::Control("InitBox")->setFocus(Qt::TabFocusReason);  // NumBox left after a change
    EXPECT_EQ(Get(Tagged("NumBox"), "String").utf8(), "45");
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(env.out,
            "NumBox Callback not implemented yet.\nNumBox Callback not implemented yet.\n");
}

TEST_F(QtProgramTest, TextSetThroughTheAccessibilityInterfaceIsTheUsers) {
  const int status = RunProgram([] {
    // As a screen reader or a voice-input tool sets a box's text.
    QAccessibleInterface* num = QAccessible::queryAccessibleInterface(user::Control("NumBox"));
    ASSERT_NE(num, nullptr);
    num->setText(QAccessible::Value, QStringLiteral("7"));
    EXPECT_EQ(Get(Tagged("NumBox"), "String").utf8(), "7");
    QAccessibleInterface* rep = QAccessible::queryAccessibleInterface(user::Control("RepBox"));
    ASSERT_NE(rep, nullptr);
    ASSERT_NE(rep->editableTextInterface(), nullptr);
    const int length = rep->textInterface()->characterCount();
    rep->editableTextInterface()->replaceText(0, length, QStringLiteral("12"));
    EXPECT_EQ(Get(Tagged("RepBox"), "String").utf8(), "12");
    // The program's own changes stay the program's: no callback runs for them.
    Set(Tagged("NumBox"), "String", Value::Text("3"));
    EXPECT_EQ(user::TextOf("NumBox"), "3");
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(env.out, "");
}

TEST_F(QtProgramTest, ExportWritesAFolderOfPrunedAlignmentsFromAPressOfItsButton) {
  std::string alignment;
  for (const char* taxon : {"t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9", "t10", "out"}) {
    alignment += std::string(">") + taxon + "\nACGTACGT\n";
  }
  WriteFile(dir.file("aln.fasta"), alignment);
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("run")));
  const int status = RunProgram([&] {
    LoadNames();
    ASSERT_TRUE(user::TypeInto("NumBox", "3"));
    ASSERT_TRUE(user::TypeInto("RepBox", "2"));
    ASSERT_TRUE(user::TypeInto("InitBox", "42"));
    ASSERT_TRUE(user::Press("ManualInitButton"));
    const QString run = Q(dir.file("run"));
    user::AnswerFileDialog(Q(dir.file("aln.fasta")), [run](QFileDialog* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Please Select the Alignment of the Loaded Names");
      EXPECT_EQ(dialog->nameFilters(),
                QStringList({"FASTA files (*.fasta *.fas *.fa *.fna *.faa *.aln)",
                             "PHYLIP files (*.phy *.phylip)", "NEXUS files (*.nex *.nexus *.nxs)",
                             "All files (*)"}));
      EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
      // The folder dialog comes next, once this one is answered.
      user::AnswerFileDialog(run, [](QFileDialog* folder) {
        EXPECT_EQ(folder->windowTitle(), "Please Select an Empty Folder to Export Into");
        EXPECT_EQ(folder->fileMode(), QFileDialog::Directory);
      });
    });
    ASSERT_TRUE(user::Press("ExportButton"));
    EXPECT_EQ(user::TextOf("OutBox"), Q("Exported 2 groups to " + dir.file("run") +
                                        ": 2 alignments, groups.tsv, dropkit.json"));
    // A message wraps at the box's width; a listing keeps its lines.
    const auto* out_box = qobject_cast<QPlainTextEdit*>(user::Control("OutBox"));
    EXPECT_EQ(out_box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_EQ(out_box->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(user::MessageBoxes().empty());
  });
  EXPECT_EQ(status, 0);
  for (const char* file : {"group001.fasta", "group002.fasta", "groups.tsv", "dropkit.json"}) {
    EXPECT_TRUE(QFileInfo(Q(dir.file(std::string("run/") + file))).isFile()) << file;
  }
  // Seed 42 leaves out t2 t3 t7, then t3 t6 t9, as Save and Show draw them.
  EXPECT_EQ(ReadFile(dir.file("run/groups.tsv")),
            "group\tposition\tname\tline\n1\t1\tt2\t2\n1\t2\tt3\t3\n1\t3\tt7\t7\n"
            "2\t1\tt3\t3\n2\t2\tt6\t6\n2\t3\tt9\t9\n");
  EXPECT_EQ(ReadFile(dir.file("run/group001.fasta")).find(">t2"), std::string::npos);
  EXPECT_NE(ReadFile(dir.file("run/group001.fasta")).find(">out"), std::string::npos);
}

TEST_F(QtProgramTest, AltAndTheUnderlinedLetterPressesEachButton) {
  const int status = RunProgram([&] {
    QWidget* window = user::FigureWindows().at(0);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const std::vector<std::pair<QString, QString>> captions = {
        {"LoadButton", "&Load"},
        {"SaveButton", "&Save"},
        {"ExportButton", "&Export"},
        {"ManualInitButton", "Se&t seed"},
        {"ShowButton", "S&how"},
        {"KeepButton", "&Keep..."},
        {"LeaveOneOutButton", "Leave &one out"},
        {"SurvivalButton", "Sur&vival..."}};
    for (const auto& [tag, caption] : captions) EXPECT_EQ(user::TextOf(tag), caption);

    user::AnswerFileDialog(Q(dir.file("names.txt")));
    QTest::keyClick(window, Qt::Key_L, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return user::TextOf("OutBox") == "File names.txt loaded with 10 names"; }, 10000));
    window->activateWindow();  // back from the dialog
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    // The labels' letters reach their boxes.
    QTest::keyClick(window, Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), user::Control("InitBox"));
    QTest::keyClicks(QApplication::focusWidget(), "42");
    QTest::keyClick(window, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), user::Control("RepBox"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), "2");
    QTest::keyClick(window, Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), user::Control("NumBox"));
    QTest::keyClick(window, Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(
        QTest::qWaitFor([] { return user::TextOf("SeedInForce") == "Seed in force: 42"; }, 10000));
    QTest::keyClick(window, Qt::Key_H, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([] { return user::TextOf("OutBox") == kListingShown; }, 10000));
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, TabGoesThroughTheControlsAsTheyAreRead) {
  const int status = RunProgram([] {
    QWidget* window = user::FigureWindows().at(0);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    user::Control("OutBox")->setFocus(Qt::OtherFocusReason);
    std::vector<QString> order = {QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 11; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      order.push_back(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(order,
              (std::vector<QString>{"OutBox", "NumBox", "RepBox", "InitBox", "ManualInitButton",
                                    "LoadButton", "SaveButton", "ExportButton", "ShowButton",
                                    "KeepButton", "LeaveOneOutButton", "SurvivalButton"}));
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, TheSeedBoxHintsAndTheLabelBesideItFollowsSetSeed) {
  const int status = RunProgram([] {
    auto* init = qobject_cast<QLineEdit*>(user::Control("InitBox"));
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(init->text(), "");
    EXPECT_EQ(init->placeholderText(), "a number, then Set seed");
    EXPECT_EQ(user::TextOf("SeedInForce"), "Seed in force: none (a fresh draw each time)");
    ASSERT_TRUE(user::TypeInto("InitBox", "3.25"));
    ASSERT_TRUE(user::Press("ManualInitButton"));
    EXPECT_EQ(user::TextOf("SeedInForce"), "Seed in force: 3.25");
    EXPECT_EQ(user::Control("SeedInForce")->accessibleName(), "Seed in force: 3.25");
    ASSERT_TRUE(user::TypeInto("InitBox", "x"));
    ASSERT_TRUE(user::Press("ManualInitButton"));  // refused: the seed in force stays
    EXPECT_EQ(user::TextOf("SeedInForce"), "Seed in force: 3.25");
    CloseBoxes();
    // Enter in the box sets the seed; on a focused button it presses the button.
    ASSERT_TRUE(user::TypeInto("InitBox", "8"));
    QTest::keyClick(init, Qt::Key_Return);
    EXPECT_EQ(user::TextOf("SeedInForce"), "Seed in force: 8");
    ASSERT_TRUE(user::TypeInto("InitBox", "9"));
    user::Control("ManualInitButton")->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(user::Control("ManualInitButton"), Qt::Key_Enter);
    EXPECT_EQ(user::TextOf("SeedInForce"), "Seed in force: 9");
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, AWiderTallerWindowGivesTheListingTheRoom) {
  const int status = RunProgram([] {
    QWidget* window = user::FigureWindows().at(0);
    const QRect out = user::Control("OutBox")->geometry();
    const QRect show = user::Control("ShowButton")->geometry();
    const QRect num = user::Control("NumBox")->geometry();
    window->resize(window->width() + 200, window->height() + 200);
    QCoreApplication::processEvents();
    // The listing box grows both ways; the rest keep their distance to the lower left.
    EXPECT_EQ(user::Control("OutBox")->geometry(),
              QRect(out.left(), out.top(), out.width() + 200, out.height() + 200));
    EXPECT_EQ(user::Control("ShowButton")->geometry(), show.translated(0, 200));
    EXPECT_EQ(user::Control("NumBox")->geometry(), num.translated(0, 200));
    // The model knows: the program reads the new rectangles.
    EXPECT_EQ(Get(Tagged("OutBox"), "Position").num(2), out.width() + 200);
    EXPECT_EQ(Get(mlfGcf(), "Position").num(3), 480 + 200);
    // It cannot be made smaller than the figure file lays it out.
    window->resize(300, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(560, 480 + MenuHeight(window)));
    EXPECT_EQ(user::Control("OutBox")->geometry(), out);
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, ClosingTheWindowEndsTheProgramAndReleasesEveryModule) {
  EXPECT_EQ(RunProgram([] {}), 0);
  EXPECT_EQ(built_.size(), 12u);  // the two platform libraries and the ten modules
  EXPECT_EQ(released_, built_);
  // Nothing of the window is left behind.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(w->property(kQtHandleProperty).isValid()) << w->metaObject()->className();
  }
}

TEST_F(QtProgramTest, AFileDroppedOnTheWindowLoadsAsLoadDoesButACountBoxTakesNone) {
  const int status = RunProgram([&] {
    QWidget* window = user::FigureWindows().at(0);
    const QPoint num = user::Control("NumBox")->geometry().center();
    EXPECT_FALSE(DropFile(window, dir.file("names.txt"), num));
    EXPECT_EQ(user::TextOf("NumBox"), "3");
    EXPECT_EQ(user::TextOf("OutBox"), kWelcome);
    // On the listing box, as anywhere else on the window: no dialog is shown.
    EXPECT_TRUE(
        DropFile(window, dir.file("names.txt"), user::Control("OutBox")->geometry().center()));
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return user::TextOf("OutBox") == "File names.txt loaded with 10 names"; }, 10000));
    WriteFile(dir.file("more.txt"), "a\nb\n");
    EXPECT_TRUE(DropFile(window, dir.file("more.txt"), QPoint(5, 5)));
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return user::TextOf("OutBox") == "File more.txt loaded with 2 names"; }, 10000));
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, TheCountsAndTheLastFolderAreKeptBetweenRuns) {
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  EXPECT_EQ(RunProgram([&] {
              ASSERT_TRUE(user::TypeInto("NumBox", "4"));
              ASSERT_TRUE(user::TypeInto("RepBox", "7"));
              LoadNames();
            }),
            0);
  ASSERT_EQ(::chdir("/"), 0);
  const QString folder = QDir(Q(dir.path())).canonicalPath();
  EXPECT_EQ(RunProgram([&] {
              EXPECT_EQ(user::TextOf("NumBox"), "4");
              EXPECT_EQ(Get(Tagged("RepBox"), "String").utf8(), "7");
              user::AnswerFileDialog("", [&](QFileDialog* dialog) {
                EXPECT_EQ(dialog->directory().canonicalPath(), folder);
              });
              ASSERT_TRUE(user::Press("LoadButton"));
            }),
            0);
}

// A whole run by the accessibility interface alone, as a screen reader user makes it: an
// alignment loaded as the list, the counts and the seed set, Export, then (the trees
// made meanwhile) Survival, whose window is read back.
TEST_F(QtProgramTest, AWholeRunFromAnAlignmentToSurvivalByTheAccessibilityInterface) {
  const std::vector<std::string> taxa = {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta"};
  std::string fasta;
  for (const std::string& taxon : taxa) fasta += ">" + taxon + "\nACGTACGT\n";
  WriteFile(dir.file("aln.fasta"), fasta);
  const int status = RunProgram([&] {
    QAccessibleInterface* main = WindowNamed("Dropkit");
    ASSERT_NE(main, nullptr);
    const auto out_box = [&] { return Named(main, "Messages and listings"); };
    const auto out_box_says = [&](const QString& text) {
      return QTest::qWaitFor([&] { return out_box()->text(QAccessible::Value) == text; }, 10000);
    };
    user::AnswerFileDialog(Q(dir.file("aln.fasta")));
    ASSERT_TRUE(PressNamed(main, "Load"));
    ASSERT_NE(out_box(), nullptr);
    EXPECT_TRUE(out_box_says("Loaded 6 taxa from the FASTA alignment aln.fasta"));
    // A label and its box share a name: the box is the one that takes text.
    for (const auto& [name, text] : {std::pair{"Names to leave out per group", "2"},
                                     {"Number of groups", "4"},
                                     {"Seed", "42"}}) {
      QAccessibleInterface* box = Named(main, name, QAccessible::EditableText);
      ASSERT_NE(box, nullptr) << name;
      box->setText(QAccessible::Value, text);
    }
    ASSERT_TRUE(PressNamed(main, "Set seed"));
    EXPECT_TRUE(out_box_says("Random number manually initialized with seed 42.000000"));
    // Export asks only for the folder: the alignment loaded is the one pruned.
    user::AnswerFileDialog(Q(dir.file("run")));
    ASSERT_TRUE(PressNamed(main, "Export"));
    EXPECT_TRUE(out_box_says(
        Q("Exported 4 groups to " + dir.file("run") + ": 4 alignments, groups.tsv, dropkit.json")));

    // The tree program's part: a tree per group of the taxa it kept.
    for (int group = 1; group <= 4; ++group) {
      const std::string copy = ReadFile(dir.file("run/group00" + std::to_string(group) + ".fasta"));
      std::string tree;
      for (const std::string& taxon : taxa) {
        if (copy.find(">" + taxon + "\n") == std::string::npos) continue;
        tree = tree.empty() ? taxon : "(" + tree + "," + taxon + ")";
      }
      WriteFile(dir.file("run/group00" + std::to_string(group) + ".treefile"), tree + ";\n");
    }
    WriteFile(dir.file("run/reference.treefile"),
              "((Alpha,Gamma),(Beta,(Delta,(Epsilon,Zeta))));\n");
    const QString run = Q(dir.file("run"));
    user::AnswerFileDialog(Q(dir.file("run/reference.treefile")),
                           [run](QFileDialog*) { user::AnswerFileDialog(run); });
    ASSERT_TRUE(PressNamed(main, "Survival..."));
    EXPECT_TRUE(QTest::qWaitFor([] { return WindowNamed("Clade survival") != nullptr; }, 10000));
    EXPECT_TRUE(out_box()->text(QAccessible::Value).startsWith("Clade survival: "));

    QAccessibleInterface* results = WindowNamed("Clade survival");
    ASSERT_NE(results, nullptr);
    QAccessibleInterface* table = Named(results, "Table", QAccessible::EditableText);
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->text(QAccessible::Value).startsWith("testable  survived  survival"));
    EXPECT_TRUE(QFileInfo(Q(dir.file("run/support/support.tsv"))).isFile());
    QAccessibleInterface* tree = Named(results, "Tree", QAccessible::Client);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->text(QAccessible::Description),
              "The reference tree with each clade's survival (support.svg)");
    EXPECT_TRUE(tree->state().focusable);
    const auto* drawing = qobject_cast<QScrollArea*>(tree->object());
    ASSERT_NE(drawing, nullptr);
    ASSERT_NE(drawing->widget(), nullptr);
    EXPECT_EQ(qobject_cast<QLabel*>(drawing->widget()), nullptr);  // drawn, not refused
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("run/support/support.svg")));
}

}  // namespace
}  // namespace dk
