#include "platform/qt/qt_window_system.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QFontMetricsF>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/callable.h"
#include "platform/errors.h"
#include "platform/graphics.h"
#include "platform/mainhg.h"
#include "platform/qt/qt_user.h"
#include "platform/test_support.h"
#include "shell/registry.h"
#include "window/dropkit.h"

// Texts in failure messages as text.
void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace dk {
namespace {

namespace user = qt_user;
using testing::ReadFile;
using testing::WriteFile;

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

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

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
    *text = box->text();
    box->button(button)->click();
    return true;
  });
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
  }

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

  static std::vector<std::pair<QMessageBox::Icon, QString>> Boxes() {
    std::vector<std::pair<QMessageBox::Icon, QString>> out;
    for (QMessageBox* box : user::MessageBoxes()) out.emplace_back(box->icon(), box->text());
    return out;
  }

  testing::TestEnv env;
  testing::TempDir dir;
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
    const Value position = Get(mlfGcf(), "Position");
    EXPECT_EQ(window->geometry(),
              QRect(int(position.num(0)), screen.height() - int(position.num(1) + position.num(3)),
                    int(position.num(2)), int(position.num(3))));
    EXPECT_EQ(window->size(), QSize(560, 420));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());  // "Resize" is off
    EXPECT_EQ(user::Control("NumBox")->geometry(), QRect(260, 420 - 132 - 24, 100, 24));
    EXPECT_EQ(user::Control("ShowButton")->geometry(), QRect(425, 420 - 16 - 32, 115, 32));

    // The screen facts the model reads are Qt's.
    const Value size = Get(Value::Scalar(0), "ScreenSize");
    EXPECT_EQ(size.num(2), screen.width());
    EXPECT_EQ(size.num(3), screen.height());
    EXPECT_EQ(Get(Value::Scalar(0), "ScreenPixelsPerInch").num(0),
              QGuiApplication::primaryScreen()->logicalDotsPerInch());
    EXPECT_EQ(Get(Tagged("NumBox"), "FontSize").num(0), QApplication::font().pointSizeF());
    const QColor button = QApplication::palette().color(QPalette::Button);
    const Value background = Get(Value::Scalar(0), "DefaultUicontrolBackgroundColor");
    EXPECT_FLOAT_EQ(background.num(0), button.redF());
    EXPECT_FLOAT_EQ(background.num(2), button.blueF());
    EXPECT_EQ(window->palette().color(QPalette::Window).rgb(), button.rgb());  // the launch set it

    // Each control: named by its tag, read as what a person sees beside it.
    const std::vector<std::pair<QString, QString>> names = {
        {"OutBox", "Messages and listings"},
        {"NumBox", "Names to leave out per group"},
        {"RepBox", "Number of groups"},
        {"InitBox", "Seed"},
        {"LoadButton", "Load"},
        {"SaveButton", "Save"},
        {"ManualInitButton", "Set seed"},
        {"ShowButton", "Show"}};
    for (const auto& [tag, name] : names) {
      QWidget* w = user::Control(tag);
      ASSERT_NE(w, nullptr) << tag.toStdString();
      EXPECT_EQ(w->objectName(), tag);
      EXPECT_EQ(w->accessibleDescription(), tag);
      EXPECT_EQ(w->accessibleName(), name) << tag.toStdString();
    }
    EXPECT_NE(qobject_cast<QLineEdit*>(user::Control("NumBox")), nullptr);
    EXPECT_NE(qobject_cast<QPushButton*>(user::Control("LoadButton")), nullptr);
    EXPECT_EQ(user::Control("LoadButton")->toolTip(), "Read a list of names, one per line");

    // The status and listing box: many lines, kept as they are, in a fixed-pitch font,
    // read but not changed.
    auto* out = qobject_cast<QPlainTextEdit*>(user::Control("OutBox"));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->toPlainText(), kWelcome);
    EXPECT_TRUE(out->isReadOnly());
    EXPECT_TRUE(out->isEnabled());
    EXPECT_EQ(out->lineWrapMode(), QPlainTextEdit::NoWrap);
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
    EXPECT_EQ(user::Control("NumBox")->geometry(), QRect(10, 420 - 10 - 20, 50, 20));
    // A box given room for many lines becomes a multi-line box under the same tag.
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
    Set(fig, "Resize", Value::Text("on"));
    QWidget* window = user::FigureWindows().at(0);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window->setGeometry(40, 30, 500, 400);
    QCoreApplication::processEvents();
    const Value position = Get(fig, "Position");
    EXPECT_EQ(position.num(0), 40);
    EXPECT_EQ(position.num(1), screen.height() - 30 - 400);
    EXPECT_EQ(position.num(2), 500);
    EXPECT_EQ(position.num(3), 400);
    EXPECT_EQ(user::Control("NumBox")->geometry(), QRect(10, 400 - 10 - 20, 50, 20));
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
    EXPECT_FALSE(box->isModal());
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(box.isNull());  // deleted once closed
  });
  EXPECT_EQ(status, 0);
}

TEST_F(QtProgramTest, ACallbackErrorShowsAnErrorBoxAndTheWindowGoesOn) {
  const std::string bad_count =
      "The NumBox box (names to omit per group) must hold one whole number of 0 or more; it "
      "holds \"abc\".";
  const std::string no_list =
      "No name list is loaded: use Load to read one before listing 1 names per group.";
  const int status = RunProgram([&] {
    ASSERT_TRUE(user::TypeInto("NumBox", "abc"));
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_EQ(Boxes(), (std::vector<std::pair<QMessageBox::Icon, QString>>{
                           {QMessageBox::Critical, Q(bad_count)}}));
    EXPECT_EQ(user::TextOf("OutBox"), kWelcome);
    ASSERT_TRUE(user::TypeInto("NumBox", "1"));
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_EQ(Boxes().size(), 2u);
    // Both boxes are left open: closing the window still ends the program.
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
    bool seen = false;
    QTimer::singleShot(0, qApp, [&seen] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<QProgressDialog*>(w);
        if (progress == nullptr) continue;
        seen = true;
        EXPECT_EQ(progress->windowTitle(), "Show");
        EXPECT_EQ(progress->windowModality(), Qt::WindowModal);
        EXPECT_EQ(progress->minimumDuration(), 500);
        EXPECT_EQ(progress->maximum(), 50);   // one step a group
        EXPECT_FALSE(progress->isVisible());  // work this short shows no dialog
        // While the work runs, no other command starts and the window stays open.
        EXPECT_TRUE(user::Press("ManualInitButton"));
        EXPECT_FALSE(user::FigureWindows().at(0)->close());
        progress->cancel();
      }
    });
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_TRUE(seen);
    EXPECT_EQ(user::TextOf("OutBox"), "File names.txt loaded with 10 names");
    EXPECT_EQ(Boxes(), (std::vector<std::pair<QMessageBox::Icon, QString>>{
                           {QMessageBox::Critical, "Show cancelled."}}));
    for (QWidget* w : QApplication::topLevelWidgets()) {
      EXPECT_EQ(qobject_cast<QProgressDialog*>(w), nullptr);
    }
    // The next command runs as usual.
    ASSERT_TRUE(user::Press("ShowButton"));
    EXPECT_TRUE(user::TextOf("OutBox").startsWith("Randomized listing of 50 groups"));
  });
  EXPECT_EQ(status, 0);
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

TEST_F(QtProgramTest, ClosingTheWindowEndsTheProgramAndReleasesEveryModule) {
  EXPECT_EQ(RunProgram([] {}), 0);
  EXPECT_EQ(built_.size(), 10u);  // the two platform libraries and the eight modules
  EXPECT_EQ(released_, built_);
  // Nothing of the window is left behind.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(w->property(kQtHandleProperty).isValid()) << w->metaObject()->className();
  }
}

// ---- The window system on a model written here, which it reaches only through
// GraphicsHost.

// A figure (1) with a label, a box beside it, a box with only a tooltip and a button;
// logs what the window system asks of it.
class FakeHost final : public GraphicsHost {
 public:
  using Props = std::map<std::string, Value>;

  FakeHost() {
    objects_[0] = {{"CurrentFigure", Value::Scalar(1)}};
    objects_[1] = {{"Name", Value::Text("Fake")},
                   {"Color", Value::Row({1, 1, 1})},
                   {"Visible", Value::Text("on")},
                   {"Resize", Value::Text("on")},
                   {"Position", Value::Row({100, 100, 300, 200})}};
    rects_[1] = {100, 100, 300, 200};
    AddControl(100.5, "text", "Label", "Count", {10, 20, 100, 24});
    AddControl(101.5, "edit", "NumBox", "3", {120, 20, 100, 24});
    AddControl(102.5, "edit", "SeedBox", "", {120, 60, 100, 24});
    objects_[102.5]["TooltipString"] = Value::Text("Seed");
    AddControl(103.5, "pushbutton", "GoButton", "Go", {120, 100, 100, 24});
  }

  bool IsLive(double h) const override { return objects_.contains(h); }
  Value Get(double h, std::string_view property) const override {
    if (std::optional<Value> v = TryGet(h, property)) return *v;
    Raise("FakeHost: no property \"" + std::string(property) + "\"");
  }
  std::optional<Value> TryGet(double h, std::string_view property) const override {
    const auto object = objects_.find(h);
    if (object == objects_.end()) return std::nullopt;
    const auto it = object->second.find(std::string(property));
    if (it == object->second.end()) return std::nullopt;
    return it->second;
  }
  std::vector<double> Descendants(double h) const override { return {h}; }
  std::vector<double> Figures() const override { return {1}; }
  Rect PixelRect(double h, std::string_view /*property*/) const override {
    if (fail_geometry) Raise("FakeHost: geometry fails");
    return rects_.at(h);
  }
  void UserChanged(double h, std::string_view property, const Value& value) override {
    log.push_back("change " + Get(h, "Tag").utf8() + " " + std::string(property) + "=" +
                  value.utf8());
  }
  void UserPlaced(double /*h*/, std::string_view /*property*/, const Rect& /*r*/) override {}
  void UserActivated(double h) override {
    if (fail_callbacks) Raise("FakeHost: the callback fails");
    log.push_back("activate " + Get(h, "Tag").utf8());
  }
  void UserClosed(double /*figure*/) override { log.push_back("close"); }

  bool fail_geometry = false;
  bool fail_callbacks = false;
  std::vector<std::string> log;

 private:
  void AddControl(double h, const char* style, const char* tag, const char* text,
                  const Rect& place) {
    objects_[h] = {{"Style", Value::Text(style)},
                   {"Tag", Value::Text(tag)},
                   {"String", Value::Text(text)},
                   {"Max", Value::Scalar(1)},
                   {"Min", Value::Scalar(0)},
                   {"Enable", Value::Text("on")},
                   {"BackgroundColor", Value::Row({1, 1, 1})},
                   {"ForegroundColor", Value::Row({0, 0, 0})},
                   {"FontSize", Value::Scalar(10)},
                   {"HorizontalAlignment", Value::Text("left")},
                   {"Visible", Value::Text("on")},
                   {"Position", Value::Row({place.left, place.bottom, place.width, place.height})}};
    rects_[h] = place;
  }

  std::map<double, Props> objects_;
  std::map<double, Rect> rects_;
};

class QtOnAnyHost : public ::testing::Test {
 protected:
  QtOnAnyHost() {
    static int argc = 1;
    static char arg0[] = "dropkit";
    static char* argv[] = {arg0, nullptr};
    ws_ = MakeQtWindowSystem(argc, argv);
    ws_->Attach(&host_);
    ws_->ObjectCreated(1, "figure", 0);
    for (double control : {100.5, 101.5, 102.5, 103.5}) ws_->ObjectCreated(control, "uicontrol", 1);
    ws_->Flush();  // shows the window
  }
  ~QtOnAnyHost() override { ws_->Attach(nullptr); }

  QWidget* Window() const {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->property(kQtHandleProperty).toDouble() == 1) return w;
    }
    return nullptr;
  }
  template <typename W>
  W* Child(const char* tag) const {
    return Window()->findChild<W*>(QString::fromLatin1(tag));
  }

  testing::TestEnv env_;
  FakeHost host_;
  std::unique_ptr<WindowSystem> ws_;
};

TEST_F(QtOnAnyHost, BuildsTheWindowFromWhatTheHostAnswers) {
  ASSERT_NE(Window(), nullptr);
  EXPECT_EQ(Window()->windowTitle(), "Fake");
  EXPECT_EQ(Window()->size(), QSize(300, 200));
  auto* num = Child<QLineEdit>("NumBox");
  ASSERT_NE(num, nullptr);
  EXPECT_EQ(num->text(), "3");
  EXPECT_EQ(num->geometry(), QRect(120, 200 - 20 - 24, 100, 24));
  // Named by the label beside it, or by its tooltip where there is none.
  EXPECT_EQ(num->accessibleName(), "Count");
  EXPECT_EQ(Child<QLineEdit>("SeedBox")->accessibleName(), "Seed");
  EXPECT_EQ(Child<QLineEdit>("SeedBox")->toolTip(), "Seed");
  EXPECT_TRUE(num->toolTip().isEmpty());  // the host has none for it, and that is no error
  EXPECT_EQ(Child<QPushButton>("GoButton")->text(), "Go");
}

TEST_F(QtOnAnyHost, ProgramSetsGoThroughOneTableInAnyLetterCase) {
  ws_->PropertyChanged(1, "name", Value::Text("Renamed"));
  EXPECT_EQ(Window()->windowTitle(), "Renamed");
  ws_->PropertyChanged(101.5, "STRING", Value::Text("8"));
  EXPECT_EQ(Child<QLineEdit>("NumBox")->text(), "8");
  ws_->PropertyChanged(101.5, "Enable", Value::Text("inactive"));
  EXPECT_TRUE(Child<QLineEdit>("NumBox")->isReadOnly());
  ws_->PropertyChanged(103.5, "Visible", Value::Text("off"));
  EXPECT_FALSE(Child<QPushButton>("GoButton")->isVisible());
  ws_->PropertyChanged(102.5, "TooltipString", Value::Text("Start"));
  EXPECT_EQ(Child<QLineEdit>("SeedBox")->accessibleName(), "Start");
  // A property a kind of object shows nothing of changes nothing.
  ws_->PropertyChanged(1, "String", Value::Text("ignored"));
  ws_->PropertyChanged(101.5, "Name", Value::Text("ignored"));
  EXPECT_EQ(Window()->windowTitle(), "Renamed");
  // The program's own changes are not reported back as the user's.
  EXPECT_TRUE(host_.log.empty());
}

TEST_F(QtOnAnyHost, UserInputReachesTheHost) {
  auto* num = Child<QLineEdit>("NumBox");
  num->selectAll();
  QTest::keyClicks(num, "5");
  QTest::keyClick(num, Qt::Key_Return);
  Child<QPushButton>("GoButton")->click();
  EXPECT_EQ(host_.log, (std::vector<std::string>{"change NumBox String=5", "activate NumBox",
                                                 "activate GoButton"}));
}

TEST_F(QtOnAnyHost, AFailedProgramSetLeavesUserInputCounted) {
  host_.fail_geometry = true;  // relabelling after the label's text changes fails
  EXPECT_THROW(ws_->PropertyChanged(100.5, "String", Value::Text("Total")), RuntimeError);
  host_.fail_geometry = false;
  // The program's change is over: what the user types now is the user's.
  auto* num = Child<QLineEdit>("NumBox");
  num->selectAll();
  QTest::keyClicks(num, "7");
  EXPECT_EQ(host_.log, (std::vector<std::string>{"change NumBox String=7"}));
}

TEST_F(QtOnAnyHost, AFailedCallbackIsReportedAndTheNextOneRuns) {
  host_.fail_callbacks = true;
  Child<QPushButton>("GoButton")->click();
  EXPECT_EQ(env_.err, "dropkit: FakeHost: the callback fails\n");
  host_.fail_callbacks = false;
  Child<QPushButton>("GoButton")->click();
  EXPECT_EQ(host_.log, (std::vector<std::string>{"activate GoButton"}));
  std::vector<QString> boxes;
  for (QMessageBox* box : user::MessageBoxes()) boxes.push_back(box->text());
  EXPECT_EQ(boxes, (std::vector<QString>{"FakeHost: the callback fails"}));
}

}  // namespace
}  // namespace dk

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();  // listing needs no windows
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
