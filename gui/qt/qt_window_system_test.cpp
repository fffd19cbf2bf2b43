#include "gui/qt/qt_window_system.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QFontMetricsF>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "gui/graphics.h"
#include "gui/mainhg.h"
#include "gui/qt/qt_user.h"
#include "runtime/callable.h"
#include "testing/qt_test_support.h"
#include "testing/test_support.h"

namespace dk {
namespace {

namespace user = qt_user;

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
  Size MinimumArea(double /*figure*/) const override { return minimum; }
  void UserPlaced(double /*h*/, std::string_view /*property*/, const Rect& /*r*/) override {}
  void UserActivated(double h) override {
    if (fail_callbacks) Raise("FakeHost: the callback fails");
    log.push_back("activate " + Get(h, "Tag").utf8());
  }
  void UserClosed(double /*figure*/) override { log.push_back("close"); }

  // A program's set as the model makes it: stored, then reported.
  void Set(WindowSystem& ws, double h, const char* property, const Value& value) {
    objects_[h][property] = value;
    ws.PropertyChanged(h, property, value);
  }
  void Set(double h, const std::string& property, Value v) { objects_[h][property] = std::move(v); }
  void Place(double h, const Rect& pixels) { rects_[h] = pixels; }

  bool fail_geometry = false;
  bool fail_callbacks = false;
  Size minimum;
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

  test::TestEnv env_;
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

// A text of many lines in a multi-line box is kept in blocks of many lines; the box must
// still read back, copy and scroll as one given the same text a paragraph per line.
TEST_F(QtOnAnyHost, ALongTextInAMultiLineBoxReadsBackAndScrollsAsAnyText) {
  host_.Set(102.5, "Max", Value::Scalar(10));  // a multi-line box, made anew
  host_.Set(102.5, "Parent", Value::Scalar(1));
  ws_->PropertyChanged(102.5, "Max", Value::Scalar(10));
  auto* box = Child<QPlainTextEdit>("SeedBox");
  ASSERT_NE(box, nullptr);
  QString text = QStringLiteral("Randomized listing");
  for (int i = 0; i < 9000; ++i) {
    text += QStringLiteral("\nName_%1 \u00e9").arg(i);
    if (i % 3000 == 5) text += QStringLiteral("\n");  // a blank line
  }
  ws_->PropertyChanged(102.5, "String", Value::Text(text.toStdString()));

  QPlainTextEdit plain(box->parentWidget());  // the same text, a paragraph per line
  plain.setLineWrapMode(QPlainTextEdit::NoWrap);
  plain.setFont(box->font());
  plain.setGeometry(box->geometry());
  plain.setPlainText(text);
  plain.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(box->toPlainText(), plain.toPlainText());
  EXPECT_EQ(box->document()->lineCount(), plain.document()->lineCount());
  EXPECT_EQ(box->verticalScrollBar()->maximum(), plain.verticalScrollBar()->maximum());
  box->selectAll();
  plain.selectAll();
  EXPECT_EQ(box->textCursor().selection().toPlainText(),
            plain.textCursor().selection().toPlainText());
  // Made wider (the layout forgets its line counts) and scrolled anywhere, both show the
  // same line at the top.
  box->resize(box->width() + 37, box->height());
  plain.resize(plain.width() + 37, plain.height());
  QCoreApplication::processEvents();
  EXPECT_EQ(box->verticalScrollBar()->maximum(), plain.verticalScrollBar()->maximum());
  for (const int at : {1, 1234, 4567, plain.verticalScrollBar()->maximum()}) {
    box->verticalScrollBar()->setValue(at);
    plain.verticalScrollBar()->setValue(at);
    QCoreApplication::processEvents();
    EXPECT_EQ(box->cursorForPosition(QPoint(2, 2)).position(),
              plain.cursorForPosition(QPoint(2, 2)).position());
  }
  // A third click selects one line with its line break, as in the plain box.
  box->resize(box->width(), 12 * box->fontMetrics().height());
  plain.resize(box->size());
  box->verticalScrollBar()->setValue(1234);
  plain.verticalScrollBar()->setValue(1234);
  QCoreApplication::processEvents();
  for (const int line : {3, 7}) {
    for (QPlainTextEdit* edit : {box, &plain}) {
      // The line `line` lines below the top one, where each box draws it (a font whose
      // line height is not a whole number of pixels places lines of one block and lines
      // of blocks of their own a fraction apart).
      QTextCursor below = edit->cursorForPosition(QPoint(2, 2));
      below.movePosition(QTextCursor::Down, QTextCursor::MoveAnchor, line);
      const QPoint at = edit->cursorRect(below).center() + QPoint(4, 0);
      QTest::mouseDClick(edit->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, at);
    }
    EXPECT_EQ(box->textCursor().selection().toPlainText(),
              plain.textCursor().selection().toPlainText());
    EXPECT_TRUE(box->textCursor().selection().toPlainText().endsWith(QLatin1Char('\n')));
    EXPECT_EQ(box->verticalScrollBar()->value(), plain.verticalScrollBar()->value());
  }
  EXPECT_TRUE(host_.log.empty());  // the program's text is no user's change
  // A person's change reports the text with its line breaks.
  box->moveCursor(QTextCursor::End);
  QTest::keyClicks(box, "x");
  ASSERT_EQ(host_.log.size(), 1u);
  EXPECT_EQ(host_.log[0], "change SeedBox String=" + (plain.toPlainText() + "x").toStdString());
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
  std::vector<QString> boxes;
  for (QMessageBox* box : user::MessageBoxes()) boxes.push_back(box->text());
  EXPECT_EQ(boxes, (std::vector<QString>{"FakeHost: the callback fails"}));
  // The window waits until the box is read and closed.
  Child<QPushButton>("GoButton")->click();
  EXPECT_EQ(host_.log, std::vector<std::string>{});
  for (QMessageBox* box : user::MessageBoxes()) box->close();
  Child<QPushButton>("GoButton")->click();
  EXPECT_EQ(host_.log, (std::vector<std::string>{"activate GoButton"}));
}

TEST_F(QtOnAnyHost, ALongMessageFitsTheScreenWithItsLinesInTheDetails) {
  std::string findings = "The names of list.txt may hold mistakes:";
  for (int i = 1; i <= 40; ++i)
    findings += "\nlist.txt: line " + std::to_string(i) + ": blank line";
  ws_->ShowMessageBox(MessageKind::kWarning, findings);
  ws_->ShowMessageBox(MessageKind::kWarning, "short\nenough");
  std::vector<QMessageBox*> boxes = user::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  if (boxes[0]->detailedText().isEmpty()) std::swap(boxes[0], boxes[1]);  // in no set order
  EXPECT_EQ(
      boxes[0]->text(),
      "The names of list.txt may hold mistakes:\n\n40 more lines: Show Details... lists them.");
  EXPECT_TRUE(boxes[0]->detailedText().startsWith("list.txt: line 1: blank line\n"));
  EXPECT_LE(boxes[0]->sizeHint().height(), 400);
  EXPECT_EQ(boxes[1]->text(), "short\nenough");
  EXPECT_EQ(boxes[1]->detailedText(), "");
}

TEST_F(QtOnAnyHost, AMnemonicIsUnderlinedAndAltWithItsLetterActs) {
  auto* go = Child<QPushButton>("GoButton");
  host_.Set(*ws_, 103.5, "Mnemonic", Value::Text("G"));
  EXPECT_EQ(go->text(), "&Go");
  host_.Set(*ws_, 103.5, "Mnemonic", Value::Text("O"));
  EXPECT_EQ(go->text(), "G&o");  // the first of its letters, in any case
  host_.Set(*ws_, 103.5, "Mnemonic", Value::Text("X"));
  EXPECT_EQ(go->text(), "Go (&X)");  // a letter the caption lacks is added after it
  host_.Set(*ws_, 103.5, "String", Value::Text("Save & go"));
  host_.Set(*ws_, 103.5, "Mnemonic", Value::Text("G"));
  EXPECT_EQ(go->text(), "Save && &go");  // a caption's own ampersand shows as it is
  EXPECT_EQ(go->accessibleName(), "Save & go");
  host_.Set(*ws_, 103.5, "Mnemonic", Value::EmptyText());
  EXPECT_EQ(go->text(), "Save && go");

  // A label's mnemonic goes to the box it names.
  auto* label = Child<QLabel>("Label");
  host_.Set(*ws_, 100.5, "Mnemonic", Value::Text("C"));
  EXPECT_EQ(label->text(), "&Count");
  EXPECT_EQ(label->buddy(), Child<QLineEdit>("NumBox"));
  EXPECT_EQ(Child<QLineEdit>("NumBox")->accessibleName(), "Count");
  host_.Set(*ws_, 100.5, "Mnemonic", Value::EmptyText());
  EXPECT_EQ(label->buddy(), nullptr);
}

TEST_F(QtOnAnyHost, AHelpMenuAboveTheDrawingAreaShowsAboutByKeyboard) {
  SetAboutText("Fake 1.0\n\nHow to use it: README.md");
  host_.Set(*ws_, 1, "HelpMenu", Value::Text("on"));
  auto* bar = Window()->findChild<QMenuBar*>("MenuBar");
  ASSERT_NE(bar, nullptr);
  const int menu = bar->height();
  EXPECT_GT(menu, 0);
  // The drawing area keeps its size, and its controls their places from its bottom.
  EXPECT_EQ(Window()->size(), QSize(300, 200 + menu));
  EXPECT_EQ(Child<QLineEdit>("NumBox")->geometry(), QRect(120, menu + 200 - 20 - 24, 100, 24));
  auto* help = Window()->findChild<QMenu*>("HelpMenu");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->title(), "Hel&p");
  EXPECT_EQ(help->accessibleName(), "Help");
  QApplication::setActiveWindow(Window());
  ASSERT_TRUE(QTest::qWaitForWindowActive(Window()));
  QTest::keyClick(Window(), Qt::Key_P, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return help->isVisible(); }));
  QTest::keyClick(help, Qt::Key_A);
  ASSERT_TRUE(QTest::qWaitFor([] { return !user::MessageBoxes().empty(); }));
  QMessageBox* about = user::MessageBoxes().front();
  EXPECT_EQ(about->windowTitle(), "About Fake");
  EXPECT_EQ(about->accessibleName(), "About Fake");
  EXPECT_EQ(about->text(), "Fake 1.0\n\nHow to use it: README.md");
  about->close();
  SetAboutText("");
  host_.Set(*ws_, 1, "HelpMenu", Value::Text("off"));
  EXPECT_EQ(Window()->size(), QSize(300, 200));
}

TEST_F(QtOnAnyHost, AnImageShowsItsDrawingAtItsOwnSizeOrSaysWhyNot) {
  test::TempDir dir;
  test::WriteFile(dir.file("tree.svg"),
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"480\">"
                  "<line x1=\"0\" y1=\"0\" x2=\"640\" y2=\"480\" stroke=\"black\" "
                  "stroke-width=\"4\"/><text x=\"600\" y=\"40\"><title>a tooltip</title>"
                  "</text></svg>\n");
  test::WriteFile(dir.file("broken.svg"), "<svg><line");
  host_.Set(102.5, "Style", Value::Text("image"));
  host_.Set(102.5, "Parent", Value::Scalar(1));
  host_.Set(102.5, "String", Value::Text(dir.file("tree.svg")));
  ws_->PropertyChanged(102.5, "Style", Value::Text("image"));
  auto* area = Child<QScrollArea>("SeedBox");
  ASSERT_NE(area, nullptr);
  ASSERT_NE(area->widget(), nullptr);
  EXPECT_EQ(qobject_cast<QLabel*>(area->widget()), nullptr);  // no message: the drawing
  EXPECT_EQ(area->widget()->size(), QSize(640, 480));         // larger than its place: it scrolls
  const QImage drawn = area->widget()->grab().toImage();
  EXPECT_EQ(drawn.pixelColor(320, 240), QColor(Qt::black));  // the line
  for (int x = 600; x < 640; ++x) {  // on white, with no title drawn as text
    for (int y = 20; y < 46; ++y) ASSERT_EQ(drawn.pixelColor(x, y), QColor(Qt::white)) << x << y;
  }
  EXPECT_EQ(area->accessibleName(), "Seed");
  EXPECT_EQ(area->focusPolicy(), Qt::StrongFocus);
  const auto shown = [&] {
    const auto* label = qobject_cast<QLabel*>(area->widget());
    return label != nullptr ? label->text().toStdString() : std::string();
  };
  host_.Set(*ws_, 102.5, "String", Value::Text(dir.file("broken.svg")));
  EXPECT_EQ(shown(), "No picture: " + dir.file("broken.svg") + " is not an SVG drawing.");
  host_.Set(*ws_, 102.5, "String", Value::Text(dir.file("gone.svg")));
  EXPECT_EQ(shown(), "No picture: " + dir.file("gone.svg") + " is not a file.");
  host_.Set(*ws_, 102.5, "String", Value::Text(""));
  EXPECT_EQ(area->widget(), nullptr);
}

TEST_F(QtOnAnyHost, BoxesShowTheirPlaceholderWhileEmpty) {
  host_.Set(*ws_, 102.5, "PlaceholderString", Value::Text("a number"));
  EXPECT_EQ(Child<QLineEdit>("SeedBox")->placeholderText(), "a number");
  EXPECT_EQ(Child<QLineEdit>("SeedBox")->accessibleName(), "Seed");  // still its name
}

TEST_F(QtOnAnyHost, TabGoesRowByRowFromTheTopAndLeftToRight) {
  // Go (top row), then the seed box, then the count box with its label (bottom row).
  std::vector<QString> order;
  QWidget* w = Child<QPushButton>("GoButton");
  for (int i = 0; i < 3; ++i) {
    order.push_back(w->objectName());
    do {
      w = w->nextInFocusChain();
    } while (w->objectName().isEmpty() || qobject_cast<QLabel*>(w) != nullptr);
  }
  EXPECT_EQ(order, (std::vector<QString>{"GoButton", "SeedBox", "NumBox"}));
}

TEST_F(QtOnAnyHost, AWindowThatResizesKeepsTheSmallestSizeItsControlsNeed) {
  host_.minimum = {250, 150};
  host_.Set(*ws_, 1, "Resize", Value::Text("on"));
  EXPECT_EQ(Window()->minimumSize(), QSize(250, 150));
  host_.Set(*ws_, 1, "Resize", Value::Text("off"));
  EXPECT_EQ(Window()->minimumSize(), QSize(300, 200));
  EXPECT_EQ(Window()->maximumSize(), QSize(300, 200));
  // Never more than the screen holds (a small screen, a large scale): the window fits it.
  host_.minimum = {5000, 5000};
  host_.Set(*ws_, 1, "Resize", Value::Text("on"));
  const QSize room = Window()->screen()->availableGeometry().size();
  EXPECT_LE(Window()->minimumWidth(), room.width());
  EXPECT_LE(Window()->minimumHeight(), room.height());
}

// Until it first shows, a window keeps the place the program asked for, larger than the
// screen or not: the program places its controls in that area, and they follow the window
// from there once it is fitted into the screen.
TEST_F(QtOnAnyHost, AWindowIsFittedToItsScreenWhenItFirstShowsNotBefore) {
  ws_->ObjectDeleted(1);
  host_.Place(1, {-200, -300, 3000, 2500});
  ws_->ObjectCreated(1, "figure", 0);
  EXPECT_EQ(Window()->size(), QSize(3000, 2500));
  ws_->Flush();
  // Within the screen, with room for a title bar above it.
  const QRect room = Window()->screen()->availableGeometry();
  EXPECT_TRUE(room.contains(Window()->geometry())) << Window()->geometry().y();
  EXPECT_GT(Window()->geometry().top(), room.top());
}

TEST_F(QtOnAnyHost, WhileAModalWindowIsOpenNoRouteActivatesAControl) {
  auto* go = Child<QPushButton>("GoButton");
  user::WhenModal([&](QWidget* modal) {
    QAccessible::queryAccessibleInterface(go)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    go->click();
    QTest::keyClick(Child<QLineEdit>("NumBox"), Qt::Key_Return);
    static_cast<QDialog*>(modal)->done(0);
    return true;
  });
  QMessageBox box(QMessageBox::Warning, "Warning", "Wait", QMessageBox::Ok, Window());
  box.exec();
  EXPECT_EQ(host_.log, std::vector<std::string>{});
  go->click();
  EXPECT_EQ(host_.log, std::vector<std::string>{"activate GoButton"});
}

TEST_F(QtOnAnyHost, FileDialogsOfferEachChoiceAndFolderDialogsOnlyFolders) {
  test::TempDir dir;
  FileDialogRequest request;
  request.kind = FileDialogKind::kOpen;
  request.title = "Alignment";
  request.filters = {{"FASTA files", "*.fasta;*.fa"}, {"All files", "*"}};
  request.filter = "*.fasta;*.fa";
  request.start_folder = dir.path();
  test::WriteFile(dir.file("a.fa"), ">A\nAC\n");
  user::AnswerFileDialog(test::Q(dir.file("a.fa")), [](QFileDialog* dialog) {
    EXPECT_EQ(dialog->nameFilters(), QStringList({"FASTA files (*.fasta *.fa)", "All files (*)"}));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
  });
  EXPECT_EQ(ws_->ShowFileDialog(request), dir.file("a.fa"));

  request.kind = FileDialogKind::kFolder;
  request.title = "Folder";
  request.filters.clear();
  request.filter.clear();
  std::filesystem::create_directory(dir.file("run"));
  user::AnswerFileDialog(test::Q(dir.file("run")), [](QFileDialog* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Folder");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
  });
  EXPECT_EQ(ws_->ShowFileDialog(request), dir.file("run"));
  // A new folder's name is taken; the command that asked makes the folder.
  user::AnswerFileDialog(test::Q(dir.file("new")));
  EXPECT_EQ(ws_->ShowFileDialog(request), dir.file("new"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("new")));
  user::AnswerFileDialog(QString());
  EXPECT_EQ(ws_->ShowFileDialog(request), std::nullopt);
}

}  // namespace
}  // namespace dk
