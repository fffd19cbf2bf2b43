#include "gui/qt/qt_window_system.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStringList>
#include <QStyle>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "gui/graphics.h"
#include "os/env.h"
#include "runtime/value.h"

namespace dk {
namespace {

// Long work updates its dialog and lets windows paint at most this often.
constexpr qint64 kProgressIntervalMs = 50;
// A progress dialog shows only for work that lasts longer than this.
constexpr int kProgressDelayMs = 500;
// The progress bar counts the work's steps; totals past an int's range count in proportion.
constexpr double kProgressRange = 1e9;

enum class Kind {
  kFigure,
  kButton,
  kLineBox,  // a one-line edit
  kTextBox,  // a multi-line edit
  kLabel,    // "text", and the styles drawn as plain text
  kImage,    // "image": the picture in the file its "String" names, scrolled when larger
};

// A font whose characters all advance by the same width, so a listing's columns line up:
// the system's fixed font, asked for as fixed-pitch and monospace, so that whichever
// monospace family the machine has (not all are marked fixed-pitch) serves.
QFont FixedPitchFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::Monospace, QFont::PreferMatch);
  font.setFixedPitch(true);
  return font;
}

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// What a control shows for a "String": the rows of a character array or the texts of a
// cell array, one per line.
QString TextOf(const Value& v) {
  if (v.is_cell()) {
    QStringList lines;
    for (std::size_t i = 0; i < v.numel(); ++i) lines << TextOf(v.cell(i));
    return lines.join(QLatin1Char('\n'));
  }
  if (!v.is_char()) return {};
  if (v.rows() <= 1 && v.ascii()) {  // a long listing: its bytes as they are, no copy first
    const TextView bytes = v.text_view();
    return QString::fromLatin1(bytes.data, static_cast<qsizetype>(bytes.size));
  }
  if (v.rows() <= 1) return ToQString(v.utf8());
  const std::u16string units = v.units();
  QStringList lines;
  for (std::size_t r = 0; r < v.rows(); ++r) {
    std::u16string row;
    for (std::size_t c = 0; c < v.cols(); ++c) row += units[c * v.rows() + r];
    lines << ToQString(Value::Text(std::u16string_view(row)).utf8());
  }
  return lines.join(QLatin1Char('\n'));
}

// Marks a multi-line box whose text stands in blocks of many lines (SetBoxText).
constexpr char kLineBlocksProperty[] = "dropkit_line_blocks";

// Tells each block of a box's text that is not laid out how many lines it has, as laying
// it out would, so that the scroll bar spans every line. The box's layout forgets these
// counts whenever it lays the text out anew (a change of width), so this runs again each
// time the layout asks for a repaint.
void RecountLines(QPlainTextEdit* box) {
  if (!box->property(kLineBlocksProperty).toBool()) return;
  QTextDocument* document = box->document();
  bool changed = false;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    if (block.layout() != nullptr && block.layout()->lineCount() > 0) continue;  // laid out
    const int lines = 1 + static_cast<int>(block.text().count(QChar::LineSeparator));
    if (block.isVisible() && block.lineCount() != lines) {
      block.setLineCount(lines);
      changed = true;
    }
  }
  QAbstractTextDocumentLayout* layout = document->documentLayout();
  if (changed) emit layout->documentSizeChanged(layout->documentSize());
}

// Puts `text` in a multi-line box. A text document keeps each paragraph (block) with
// bookkeeping that takes some ten microseconds to make, which for a listing of a million
// lines would be seconds. So a long text's lines are gathered into blocks of
// kLinesPerBlock lines each, the lines inside a block ending with line separators
// (U+2028): the box draws them as the line breaks they stand for, and copying the text
// or reading it back (toPlainText) gives line breaks. A text with other characters that
// end a paragraph or a line is set as it is.
void SetBoxText(QPlainTextEdit* box, QString text) {
  constexpr qsizetype kLongText = 4096;  // lines; fewer are set as they are
  constexpr int kLinesPerBlock = 256;
  bool blocks = text.count(QLatin1Char('\n')) >= kLongText;
  std::vector<int> lines_per_block(1, 1);
  for (QChar& c : text) {
    if (!blocks) break;
    const char16_t u = c.unicode();
    if (u == u'\n') {
      if (lines_per_block.back() < kLinesPerBlock) {
        c = QChar::LineSeparator;
        ++lines_per_block.back();
      } else {
        lines_per_block.push_back(1);
      }
    } else if (u == QChar::LineSeparator) {
      ++lines_per_block.back();
    } else if (u == u'\r' || u == u'\v' || u == u'\f' || u == 0x85 ||
               u == QChar::ParagraphSeparator || u == 0xFDD0 || u == 0xFDD1) {
      blocks = false;
      text.replace(QChar::LineSeparator, QLatin1Char('\n'));  // undone: the text as given
    }
  }
  box->setProperty(kLineBlocksProperty, blocks);
  box->setPlainText(text);
  if (!blocks) return;
  // The counts are known: no block need be read back for them.
  QTextDocument* document = box->document();
  std::size_t k = 0;
  for (QTextBlock block = document->begin(); block.isValid() && k < lines_per_block.size();
       block = block.next()) {
    if (block.layout() == nullptr || block.layout()->lineCount() == 0) {
      block.setLineCount(lines_per_block[k]);
    }
    ++k;
  }
  QAbstractTextDocumentLayout* layout = document->documentLayout();
  emit layout->documentSizeChanged(layout->documentSize());
}

// A pixel coordinate as Qt takes it; the model accepts any finite number.
int Pixels(double x) {
  return static_cast<int>(std::clamp(std::round(x), -1e6, 1e6));
}

// The model measures the screen from the primary screen's lower-left corner, upwards;
// Qt from the top-left corner of the virtual desktop, downwards.
QRect PrimaryGeometry() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

QRect ScreenToQt(const Rect& r) {
  const QRect screen = PrimaryGeometry();
  const int height = Pixels(r.height);
  return QRect(screen.x() + Pixels(r.left),
               screen.y() + screen.height() - Pixels(r.bottom) - height, Pixels(r.width), height);
}

Rect QtToScreen(const QRect& q) {
  const QRect screen = PrimaryGeometry();
  return {static_cast<double>(q.x() - screen.x()),
          static_cast<double>(screen.y() + screen.height() - q.y() - q.height()),
          static_cast<double>(q.width()), static_cast<double>(q.height())};
}

bool SamePixels(const Rect& a, const Rect& b) {
  return Pixels(a.left) == Pixels(b.left) && Pixels(a.bottom) == Pixels(b.bottom) &&
         Pixels(a.width) == Pixels(b.width) && Pixels(a.height) == Pixels(b.height);
}

void SetColour(QWidget* w, QPalette::ColorRole role, const Value& rgb) {
  if (!rgb.is_numeric() || rgb.numel() != 3) return;
  QPalette palette = w->palette();
  palette.setColor(role,
                   QColor::fromRgbF(static_cast<float>(rgb.num(0)), static_cast<float>(rgb.num(1)),
                                    static_cast<float>(rgb.num(2))));
  w->setPalette(palette);
}

QPalette::ColorRole BackgroundRole(Kind kind) {
  switch (kind) {
    case Kind::kButton:
      return QPalette::Button;
    case Kind::kLineBox:
    case Kind::kTextBox:
    case Kind::kImage:
      return QPalette::Base;
    default:
      return QPalette::Window;
  }
}

QPalette::ColorRole ForegroundRole(Kind kind) {
  switch (kind) {
    case Kind::kButton:
      return QPalette::ButtonText;
    case Kind::kLineBox:
    case Kind::kTextBox:
      return QPalette::Text;
    default:
      return QPalette::WindowText;
  }
}

// An SVG drawing at its own size, on white as a browser shows it.
class Drawing final : public QWidget {
 public:
  explicit Drawing(const QByteArray& svg) {
    // A title is a tooltip, never drawn; Qt Svg would draw it as text.
    static const QRegularExpression kTitle(QStringLiteral("<title>.*?</title>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    renderer_.load(QString::fromUtf8(svg).remove(kTitle).toUtf8());
    if (renderer_.isValid()) setFixedSize(renderer_.defaultSize());
  }
  bool IsValid() const { return renderer_.isValid(); }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    renderer_.render(&painter);
  }

 private:
  QSvgRenderer renderer_;
};

// A picture file larger than this is not drawn.
constexpr qint64 kMaxPictureBytes = 64 << 20;

// Shows the picture in the file `path` in `area` at its own size: SVG drawn by Qt Svg,
// any other format Qt reads as a bitmap. A file that cannot be drawn shows why instead.
void ShowPicture(QScrollArea* area, const QString& path) {
  delete area->takeWidget();
  if (path.isEmpty()) return;
  QWidget* picture = nullptr;
  const QFileInfo file(path);
  QString trouble;
  if (!file.isFile()) {
    trouble = QStringLiteral("No picture: %1 is not a file.").arg(path);
  } else if (file.size() > kMaxPictureBytes) {
    trouble = QStringLiteral("No picture: %1 is larger than 64 MiB.").arg(path);
  } else if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    QFile svg(path);
    auto* drawing =
        new Drawing(svg.open(QIODevice::ReadOnly) ? svg.read(kMaxPictureBytes) : QByteArray());
    if (drawing->IsValid()) {
      picture = drawing;
    } else {
      delete drawing;
      trouble = QStringLiteral("No picture: %1 is not an SVG drawing.").arg(path);
    }
  } else if (const QPixmap pixmap(path); !pixmap.isNull()) {
    auto* label = new QLabel;
    label->setPixmap(pixmap);
    label->adjustSize();
    picture = label;
  } else {
    trouble = QStringLiteral("No picture: %1 is not an image Qt can read.").arg(path);
  }
  if (picture == nullptr) {
    auto* label = new QLabel(trouble);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    picture = label;
    area->setWidgetResizable(true);
  } else {
    area->setWidgetResizable(false);
  }
  area->setWidget(picture);
}

Qt::Alignment AlignmentOf(const std::string& mode) {
  if (mode == "left") return Qt::AlignLeft | Qt::AlignVCenter;
  if (mode == "right") return Qt::AlignRight | Qt::AlignVCenter;
  return Qt::AlignHCenter | Qt::AlignVCenter;
}

// Each choice as Qt shows it: "Text files (*.txt)", "All files (*)".
QStringList NameFilters(const std::vector<FileFilter>& filters) {
  QStringList out;
  for (const FileFilter& f : filters) {
    QStringList patterns = ToQString(f.patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    out << ToQString(f.name) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
               QLatin1Char(')');
  }
  return out;
}

// A caption as a button or label shows it: ampersands doubled, so that they show as
// they are, and the mnemonic (if any) marked with one before its first appearance in any
// letter case, or added after the text as " (&X)" when the text does not hold it.
QString Caption(const QString& text, const QString& mnemonic) {
  QString out;
  bool marked = mnemonic.isEmpty();
  for (const QChar c : text) {
    if (!marked && c.toUpper() == mnemonic.at(0).toUpper()) {
      out += QLatin1Char('&');
      marked = true;
    }
    out += c;
    if (c == QLatin1Char('&')) out += QLatin1Char('&');
  }
  if (!marked) out += QStringLiteral(" (&") + mnemonic + QLatin1Char(')');
  return out;
}

QString ProgressText(double done, double total) {
  const QString steps = QString::number(done, 'f', 0);
  if (total > 0) return QStringLiteral("%1 of %2 done").arg(steps, QString::number(total, 'f', 0));
  return QStringLiteral("%1 done").arg(steps);
}

// Counts a state for the life of a scope ("a callback runs", "the program changes a
// widget"): one more on entry, one less on exit, also when an exception leaves the scope.
class ScopedCount {
 public:
  explicit ScopedCount(int& count) : count_(count) { ++count_; }
  ~ScopedCount() { --count_; }
  ScopedCount(const ScopedCount&) = delete;
  ScopedCount& operator=(const ScopedCount&) = delete;

 private:
  int& count_;
};

// What the window system keeps of one object it shows.
struct Shown {
  Kind kind = Kind::kLabel;
  double figure = 0;  // the figure the object is in; its own handle for a figure
  QPointer<QWidget> widget;
  bool pending_show = false;    // a figure shown once the program first waits for the user
  bool edited = false;          // a box typed into since its edit last finished
  QPointer<QMenuBar> menu_bar;  // a figure's, above its drawing area ("HelpMenu")
  QPointer<QAction> about;      // its Help menu's About item
  bool fitted = false;          // a figure kept within its screen: from its first showing
};

// A file dialog whose folder choice may name a folder that does not exist yet, in one that
// does: the command that asked makes it.
class FileDialog final : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

 protected:
  void accept() override {
    const QStringList files = selectedFiles();
    if (fileMode() == QFileDialog::Directory && files.size() == 1) {
      const QFileInfo folder(files.constFirst());
      if (!folder.exists() && folder.dir().exists()) {
        // Past QFileDialog's own accept, which refuses a folder that does not exist.
        QDialog::accept();  // NOLINT(bugprone-parent-virtual-call)
        return;
      }
    }
    QFileDialog::accept();
  }
};

class QtWindowSystem;

// A figure's window: reports closing, moves, resizes and a file dropped on it.
class FigureWindow final : public QWidget {
 public:
  FigureWindow(QtWindowSystem& ws, double handle) : ws_(ws), handle_(handle) {}

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QtWindowSystem& ws_;
  double handle_;
};

// A button that Enter presses when it has the focus, as Space does.
class Button final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier && !event->isAutoRepeat()) {
      click();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

// While long work runs, eats what people do to the figure windows (keys, the mouse,
// shortcuts, drops), as a modal dialog would, but lets the window manager's close
// through, which a modal dialog would drop unseen: closing asks whether to stop.
class InputBlocker final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
      case QEvent::ContextMenu:
      case QEvent::InputMethod:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop: {
        const auto* widget = qobject_cast<QWidget*>(watched);
        return widget != nullptr && dynamic_cast<FigureWindow*>(widget->window()) != nullptr;
      }
      default:
        return false;
    }
  }
};

// A multi-line box: reports losing the focus, which ends an edit.
class TextBox final : public QPlainTextEdit {
 public:
  TextBox(QWidget* parent, std::function<void()> left)
      : QPlainTextEdit(parent), left_(std::move(left)) {}

 protected:
  void focusOutEvent(QFocusEvent* event) override {
    QPlainTextEdit::focusOutEvent(event);
    left_();
  }

  // A third click selects the line under the mouse with its line break, as where each
  // line is a paragraph of its own, also when a long text's lines stand in blocks.
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    QPlainTextEdit::mouseDoubleClickEvent(event);
    double_click_.start();
    double_click_at_ = event->position().toPoint();
  }
  void mousePressEvent(QMouseEvent* event) override {
    const QPoint at = event->position().toPoint();
    const bool third =
        event->button() == Qt::LeftButton && double_click_.isValid() &&
        double_click_.elapsed() < QApplication::doubleClickInterval() &&
        (at - double_click_at_).manhattanLength() < QApplication::startDragDistance() &&
        property(kLineBlocksProperty).toBool();
    if (!third) {
      QPlainTextEdit::mousePressEvent(event);
      return;
    }
    // The line, and where the box stood, before the block's selection moves either.
    QTextCursor line = cursorForPosition(at);
    const int top = verticalScrollBar()->value(), left = horizontalScrollBar()->value();
    QPlainTextEdit::mousePressEvent(event);
    verticalScrollBar()->setValue(top);
    horizontalScrollBar()->setValue(left);
    line.movePosition(QTextCursor::StartOfLine);
    line.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
    line.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    setTextCursor(line);  // shown as the box shows any selection it makes
  }

 private:
  std::function<void()> left_;
  QElapsedTimer double_click_;
  QPoint double_click_at_;
};

class QtWindowSystem final : public WindowSystem {
 public:
  QtWindowSystem(int& argc, char** argv);
  ~QtWindowSystem() override;
  QtWindowSystem(const QtWindowSystem&) = delete;
  QtWindowSystem& operator=(const QtWindowSystem&) = delete;

  // ---- WindowSystem
  void Attach(GraphicsHost* host) override { host_ = host; }
  void ObjectCreated(double handle, std::string_view type, double parent) override;
  void ObjectDeleted(double handle) override;
  void PropertyChanged(double handle, std::string_view property, const Value& value) override;
  void RaiseFigure(double figure) override;
  void Flush() override;
  Rect ScreenRect() override;
  double PixelsPerInch() override;
  double DefaultFontSize() override;
  FrameSize WindowFrame() override;
  Rgb DefaultControlBackground() override;
  std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;
  void ShowMessageBox(MessageKind kind, std::string_view text) override;
  void BeginProgress(std::string_view title, double total) override;
  bool UpdateProgress(double done) override;
  void EndProgress() override;
  int RunEventLoop() override;

  // ---- What people do to the widgets
  void FigureClosing(double figure, QCloseEvent* event);
  void FigurePlaced(double figure, bool resized);
  void Typed(double control, const QString& text);
  void EditFinished(double control, bool enter);
  void Activated(double control);
  // A file dropped on the figure's window presses its "DropButton", whose open dialog
  // the file answers.
  void FileDropped(double figure, const QString& path);

 private:
  GraphicsHost& host() const;
  // Runs `f`, which calls into the model from a Qt event; reports whatever it throws.
  void Guarded(const std::function<void()>& f);
  void ReportError(const std::string& text);

  void MakeFigure(double handle);
  void MakeControl(double handle, double parent);
  Kind KindOf(double control) const;

  // Shows a property's value on the object's widget, through the handler the tables
  // below give the property; a property without one changes nothing on screen.
  void Apply(double handle, std::string_view property, const Value& value);
  using Handler = void (QtWindowSystem::*)(double handle, Shown& s, const Value& value);
  struct PropertyHandler {
    std::string_view property;
    Handler apply;
  };
  static const PropertyHandler kFigureHandlers[];
  static const PropertyHandler kControlHandlers[];
  // Figures.
  void PlaceFigureNow(double figure, Shown& s, const Value& value);
  void ShowFigureOrNot(double figure, Shown& s, const Value& visible);
  void SetTitle(double figure, Shown& s, const Value& name);
  void SetWindowColour(double figure, Shown& s, const Value& rgb);
  void SetDropButton(double figure, Shown& s, const Value& tag);
  void SetHelpMenu(double figure, Shown& s, const Value& mode);
  void ShowAbout(double figure);
  // The height of the figure's menu bar, which stands above its drawing area; 0 without.
  int MenuHeight(double figure) const;
  // Controls.
  void PlaceControlNow(double control, Shown& s, const Value& value);
  void ShowControlOrNot(double control, Shown& s, const Value& visible);
  void SetText(double control, Shown& s, const Value& value);
  void SetTag(double control, Shown& s, const Value& tag);
  void SetEnable(double control, Shown& s, const Value& mode);
  void SetBackground(double control, Shown& s, const Value& rgb);
  void SetForeground(double control, Shown& s, const Value& rgb);
  void SetFontSize(double control, Shown& s, const Value& points);
  void SetAlignment(double control, Shown& s, const Value& mode);
  void SetTooltip(double control, Shown& s, const Value& tip);
  void SetMnemonic(double control, Shown& s, const Value& mnemonic);
  void SetPlaceholder(double control, Shown& s, const Value& text);

  void PlaceFigure(double figure);
  void PlaceControl(double control);
  void LayOut(double figure);
  // What follows from where the controls are: their accessible names, the tab order and
  // the window's smallest size.
  void ControlsPlaced(double figure);
  void Relabel(double figure);
  void OrderTabs(double figure);
  void KeepMinimum(double figure);
  QSize Room(QWidget* window);
  void KeepOnScreen(QWidget* window, QRect* place);
  // The window manager's frame around a shown figure's window, as last measured.
  FrameSize ManagerFrame();
  FrameSize RoomFrame();
  void ShowPendingFigures();
  void ShowFigure(double figure);
  QWidget* WidgetOf(double handle) const;
  QWidget* CurrentFigureWindow() const;
  bool AnyFigureLeft() const;
  // The settings key of a box whose text is kept between runs ("Remember" is "on"):
  // the figure's name and the box's Tag; empty for any other control.
  QString RememberedKey(double control) const;
  void RememberTexts(double figure);

  std::unique_ptr<QApplication> own_app_;  // first: outlives every widget
  GraphicsHost* host_ = nullptr;
  std::map<double, Shown> shown_;
  std::vector<QPointer<QMessageBox>> loose_boxes_;  // boxes shown with no figure open
  QPointer<QProgressDialog> progress_;
  std::unique_ptr<InputBlocker> input_blocker_;  // installed while long work runs
  int progress_depth_ = 0;
  QString progress_title_;
  std::optional<double> close_after_work_;  // the figure to close once the work ends
  double progress_total_ = 0;
  double progress_scale_ = 1;  // bar units per step
  QElapsedTimer progress_clock_;
  // Counted by ScopedCount while they hold.
  int activations_ = 0;       // callbacks running now
  double acting_figure_ = 0;  // the figure of the control whose callback runs; 0: none
  int programmatic_ = 0;      // the program is changing a widget: its signals are not a person's
  int placing_ = 0;           // geometry from the model is being applied
  int event_loops_ = 0;       // inside RunEventLoop
  FrameSize frame_;           // as last measured on a shown window
  std::optional<std::string> dropped_file_;  // answers the next open dialog
  bool chosen_this_run_ = false;             // a file dialog has been answered
};

// ---- Widgets

void FigureWindow::closeEvent(QCloseEvent* event) {
  ws_.FigureClosing(handle_, event);
}

void FigureWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  ws_.FigurePlaced(handle_, false);
}

void FigureWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ws_.FigurePlaced(handle_, true);
}

// A file dropped on the window: one local file, over the window itself or a control
// that takes no text (a label, a button, a box that is read, not changed). Nothing else
// is taken.
std::optional<QString> DroppedFile(QWidget* window, const QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
  const QUrl url = data->urls().constFirst();
  if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isFile()) return std::nullopt;
  for (QWidget* w = window->childAt(event->position().toPoint()); w != nullptr && w != window;
       w = w->parentWidget()) {
    if (qobject_cast<QLineEdit*>(w) != nullptr) return std::nullopt;
    if (auto* box = qobject_cast<QPlainTextEdit*>(w); box != nullptr && !box->isReadOnly())
      return std::nullopt;
  }
  return url.toLocalFile();
}

void FigureWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFile(this, event)) event->acceptProposedAction();
}

void FigureWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (DroppedFile(this, event)) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void FigureWindow::dropEvent(QDropEvent* event) {
  const std::optional<QString> path = DroppedFile(this, event);
  if (!path) return;
  event->acceptProposedAction();
  // Loaded once the drop is over, so the program the file came from need not wait.
  QTimer::singleShot(0, this, [this, file = *path] { ws_.FileDropped(handle_, file); });
}

// ---- Life

QtWindowSystem::QtWindowSystem(int& argc, char** argv) {
  if (QCoreApplication::instance() == nullptr) {
    own_app_ = std::make_unique<QApplication>(argc, argv);
  } else if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    Raise(
        "The Qt window system needs a QApplication, and this process has a Qt application "
        "without widgets");
  }
  // The program ends when its last figure closes, not when its last window does: a
  // message box left open must not keep it running, nor closing one end it.
  QApplication::setQuitOnLastWindowClosed(false);
  // Where the texts kept between runs and the last folder are stored (QSettings).
  if (QCoreApplication::organizationName().isEmpty()) {
    QCoreApplication::setOrganizationName(QStringLiteral("Dropkit"));
  }
}

QtWindowSystem::~QtWindowSystem() {
  std::vector<QPointer<QWidget>> windows;
  for (const auto& [handle, s] : shown_) {
    if (s.kind == Kind::kFigure) windows.push_back(s.widget);
  }
  shown_.clear();  // from here on, signals of dying widgets find nothing to act on
  delete progress_.data();
  input_blocker_.reset();
  for (const QPointer<QWidget>& w : windows) delete w.data();
  for (const QPointer<QMessageBox>& box : loose_boxes_) delete box.data();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

GraphicsHost& QtWindowSystem::host() const {
  if (host_ == nullptr) Raise("The Qt window system serves no graphics model");
  return *host_;
}

void QtWindowSystem::Guarded(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    ReportError(e.what());
  } catch (...) {
    ReportError("An unknown error ended the action");
  }
}

void QtWindowSystem::ReportError(const std::string& text) {
  Env::Current()->ConsoleErr("dropkit: " + text + "\n");
  ShowMessageBox(MessageKind::kError, text);
}

// ---- Objects

void QtWindowSystem::ObjectCreated(double handle, std::string_view type, double parent) {
  if (type == "figure") {
    MakeFigure(handle);
  } else if (type == "uicontrol" && WidgetOf(parent) != nullptr) {
    MakeControl(handle, parent);
    ControlsPlaced(shown_[handle].figure);
  }
}

void QtWindowSystem::MakeFigure(double handle) {
  auto* window = new FigureWindow(*this, handle);
  window->setProperty(kQtHandleProperty, handle);
  window->setAutoFillBackground(true);
  shown_[handle] = Shown{Kind::kFigure, handle, window, false, false, {}, {}};
  for (const char* property : {"Name", "Color", "Position"}) {
    Apply(handle, property, host().Get(handle, property));
  }
  for (const char* property : {"DropButton", "HelpMenu"}) {
    if (const std::optional<Value> value = host().TryGet(handle, property)) {
      Apply(handle, property, *value);
    }
  }
  // Shown once the program has put everything in it and first waits for the user, so
  // the window does not appear empty and then fill.
  shown_[handle].pending_show = host().Get(handle, "Visible").utf8() == "on";
}

Kind QtWindowSystem::KindOf(double control) const {
  const std::string style = host().Get(control, "Style").utf8();
  if (style == "pushbutton" || style == "togglebutton") return Kind::kButton;
  if (style == "image") return Kind::kImage;
  if (style != "edit") return Kind::kLabel;
  const double lines = host().Get(control, "Max").num(0) - host().Get(control, "Min").num(0);
  return lines > 1 ? Kind::kTextBox : Kind::kLineBox;
}

void QtWindowSystem::MakeControl(double handle, double parent) {
  QWidget* parent_widget = WidgetOf(parent);
  const Kind kind = KindOf(handle);
  QWidget* w = nullptr;
  switch (kind) {
    case Kind::kButton: {
      auto* button = new Button(parent_widget);
      QObject::connect(button, &QPushButton::clicked, button,
                       [this, handle] { Activated(handle); });
      w = button;
      break;
    }
    case Kind::kLineBox: {
      auto* line = new QLineEdit(parent_widget);
      line->setAcceptDrops(false);  // a dropped file or text is no count
      // Every change the program did not make is the user's: typing, pasting, undo, and
      // text set through the accessibility interface (a screen reader, voice input).
      QObject::connect(line, &QLineEdit::textChanged, line,
                       [this, handle](const QString& text) { Typed(handle, text); });
      QObject::connect(line, &QLineEdit::returnPressed, line,
                       [this, handle] { EditFinished(handle, true); });
      QObject::connect(line, &QLineEdit::editingFinished, line,
                       [this, handle] { EditFinished(handle, false); });
      w = line;
      break;
    }
    case Kind::kTextBox: {
      auto* box = new TextBox(parent_widget, [this, handle] { EditFinished(handle, false); });
      box->setLineWrapMode(QPlainTextEdit::NoWrap);
      box->setFont(FixedPitchFont());
      QObject::connect(box, &QPlainTextEdit::textChanged, box, [this, handle, box] {
        if (programmatic_ == 0) Typed(handle, box->toPlainText());  // no copy of a text set here
      });
      QObject::connect(box->document()->documentLayout(), &QAbstractTextDocumentLayout::update, box,
                       [box] { RecountLines(box); });
      w = box;
      break;
    }
    case Kind::kImage: {
      auto* area = new QScrollArea(parent_widget);
      area->setBackgroundRole(QPalette::Base);
      area->setAlignment(Qt::AlignCenter);
      area->setFocusPolicy(Qt::StrongFocus);  // the arrow keys scroll it
      w = area;
      break;
    }
    case Kind::kLabel:
    case Kind::kFigure: {
      auto* label = new QLabel(parent_widget);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAutoFillBackground(true);
      w = label;
      break;
    }
  }
  w->setProperty(kQtHandleProperty, handle);
  const double figure = shown_.at(parent).figure;
  shown_[handle] = Shown{kind, figure, w, false, false, {}, {}};
  for (const char* property : {"Tag", "String", "Position", "Enable", "BackgroundColor",
                               "ForegroundColor", "FontSize", "HorizontalAlignment"}) {
    Apply(handle, property, host().Get(handle, property));
  }
  // Only when the control has them (the figure file gave it a tooltip).
  for (const char* property : {"TooltipString", "PlaceholderString"}) {
    if (const std::optional<Value> value = host().TryGet(handle, property)) {
      Apply(handle, property, *value);
    }
  }
  // A box kept between runs shows what it held when the window last closed, as if typed.
  if (const QString key = RememberedKey(handle); !key.isEmpty()) {
    const QVariant kept = QSettings().value(key);
    if (kept.isValid()) {
      const Value text = Value::Text(ToUtf8(kept.toString()));
      host().UserChanged(handle, "String", text);
      Apply(handle, "String", text);
    }
  }
  w->setVisible(host().Get(handle, "Visible").utf8() == "on");
}

void QtWindowSystem::ObjectDeleted(double handle) {
  const auto it = shown_.find(handle);
  if (it == shown_.end()) return;
  const QPointer<QWidget> w = it->second.widget;
  const bool figure = it->second.kind == Kind::kFigure;
  shown_.erase(it);
  // Deleted later, not now: the widget may be the one whose event is being handled.
  // Until then it shows no object.
  if (w) {
    w->setProperty(kQtHandleProperty, QVariant());
    w->hide();
    w->deleteLater();
  }
  if (figure && event_loops_ > 0 && !AnyFigureLeft()) QCoreApplication::exit(0);
}

void QtWindowSystem::PropertyChanged(double handle, std::string_view property, const Value& value) {
  const auto it = shown_.find(handle);
  if (it == shown_.end()) return;
  if (it->second.kind != Kind::kFigure &&
      (SamePropertyName(property, "Style") || SamePropertyName(property, "Max") ||
       SamePropertyName(property, "Min"))) {
    if (KindOf(handle) == it->second.kind) return;
    // Another kind of widget: made anew in place of the old one.
    const double parent = host().Get(handle, "Parent").num(0);
    ObjectDeleted(handle);
    MakeControl(handle, parent);
    ControlsPlaced(shown_[handle].figure);
    return;
  }
  Apply(handle, property, value);
}

const QtWindowSystem::PropertyHandler QtWindowSystem::kFigureHandlers[] = {
    {"Position", &QtWindowSystem::PlaceFigureNow},
    {"OuterPosition", &QtWindowSystem::PlaceFigureNow},
    {"Resize", &QtWindowSystem::PlaceFigureNow},
    {"Visible", &QtWindowSystem::ShowFigureOrNot},
    {"Name", &QtWindowSystem::SetTitle},
    {"Color", &QtWindowSystem::SetWindowColour},
    {"DropButton", &QtWindowSystem::SetDropButton},
    {"HelpMenu", &QtWindowSystem::SetHelpMenu},
};

const QtWindowSystem::PropertyHandler QtWindowSystem::kControlHandlers[] = {
    {"Position", &QtWindowSystem::PlaceControlNow},
    {"OuterPosition", &QtWindowSystem::PlaceControlNow},
    {"Visible", &QtWindowSystem::ShowControlOrNot},
    {"String", &QtWindowSystem::SetText},
    {"Tag", &QtWindowSystem::SetTag},
    {"Enable", &QtWindowSystem::SetEnable},
    {"BackgroundColor", &QtWindowSystem::SetBackground},
    {"ForegroundColor", &QtWindowSystem::SetForeground},
    {"FontSize", &QtWindowSystem::SetFontSize},
    {"HorizontalAlignment", &QtWindowSystem::SetAlignment},
    {"TooltipString", &QtWindowSystem::SetTooltip},
    {"Mnemonic", &QtWindowSystem::SetMnemonic},
    {"PlaceholderString", &QtWindowSystem::SetPlaceholder},
    {"Anchor", &QtWindowSystem::PlaceControlNow},
};

void QtWindowSystem::Apply(double handle, std::string_view property, const Value& value) {
  Shown& s = shown_.at(handle);
  if (!s.widget) return;
  const std::span<const PropertyHandler> handlers =
      s.kind == Kind::kFigure ? std::span<const PropertyHandler>(kFigureHandlers)
                              : std::span<const PropertyHandler>(kControlHandlers);
  for (const PropertyHandler& h : handlers) {
    if (SamePropertyName(h.property, property)) {
      (this->*h.apply)(handle, s, value);
      return;
    }
  }
}

// ---- Figures

void QtWindowSystem::PlaceFigureNow(double figure, Shown& /*s*/, const Value& /*value*/) {
  PlaceFigure(figure);
}

void QtWindowSystem::ShowFigureOrNot(double figure, Shown& s, const Value& visible) {
  if (visible.utf8() != "on") {
    s.pending_show = false;
    s.widget->hide();
  } else if (!s.pending_show) {
    ShowFigure(figure);
  }
}

void QtWindowSystem::SetTitle(double figure, Shown& s, const Value& name) {
  const QString title = ToQString(name.utf8());
  s.widget->setWindowTitle(title.isEmpty() ? QStringLiteral("Figure %1").arg(figure) : title);
  if (s.about) s.about->setText(QStringLiteral("&About %1").arg(s.widget->windowTitle()));
}

void QtWindowSystem::SetWindowColour(double /*figure*/, Shown& s, const Value& rgb) {
  SetColour(s.widget, QPalette::Window, rgb);
}

void QtWindowSystem::SetDropButton(double /*figure*/, Shown& s, const Value& tag) {
  s.widget->setAcceptDrops(!tag.empty());
}

// A menu bar above the drawing area, whose Help menu (Alt+P: Alt+H is Show's in
// Dropkit's window) holds "About <title>". The drawing area keeps its place and size;
// the window grows upwards by the bar.
void QtWindowSystem::SetHelpMenu(double figure, Shown& s, const Value& mode) {
  const bool on = mode.utf8() == "on";
  if (on == !s.menu_bar.isNull()) return;
  if (on) {
    auto* bar = new QMenuBar(s.widget);
    bar->setObjectName(QStringLiteral("MenuBar"));
    bar->setAccessibleName(QStringLiteral("Menu bar"));
    QMenu* help = bar->addMenu(QStringLiteral("Hel&p"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    help->setAccessibleName(QStringLiteral("Help"));
    s.about = help->addAction(QStringLiteral("&About %1").arg(s.widget->windowTitle()));
    QObject::connect(s.about, &QAction::triggered, bar, [this, figure] { ShowAbout(figure); });
    bar->show();
    s.menu_bar = bar;
  } else {
    delete s.menu_bar.data();
  }
  PlaceFigure(figure);
}

void QtWindowSystem::ShowAbout(double figure) {
  QWidget* window = WidgetOf(figure);
  if (window == nullptr) return;
  const QString title = QStringLiteral("About %1").arg(window->windowTitle());
  auto* box = new QMessageBox(QMessageBox::Information, title, ToQString(AboutText()),
                              QMessageBox::Ok, window);
  box->setObjectName(QStringLiteral("AboutBox"));
  box->setAccessibleName(title);
  box->setTextFormat(Qt::PlainText);
  box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->show();
}

int QtWindowSystem::MenuHeight(double figure) const {
  const auto it = shown_.find(figure);
  if (it == shown_.end() || !it->second.menu_bar) return 0;
  return it->second.menu_bar->sizeHint().height();
}

// ---- Controls

void QtWindowSystem::PlaceControlNow(double control, Shown& s, const Value& /*value*/) {
  PlaceControl(control);
  ControlsPlaced(s.figure);
}

void QtWindowSystem::ShowControlOrNot(double /*control*/, Shown& s, const Value& visible) {
  s.widget->setVisible(visible.utf8() == "on");
}

void QtWindowSystem::SetText(double control, Shown& s, const Value& value) {
  const QString text = TextOf(value);
  const std::optional<Value> mnemonic = host().TryGet(control, "Mnemonic");
  const QString key = mnemonic ? ToQString(mnemonic->utf8()) : QString();
  const ScopedCount programmatic(programmatic_);
  switch (s.kind) {
    case Kind::kButton: {
      auto* button = static_cast<QPushButton*>(s.widget.data());
      button->setText(Caption(text, key));
      button->setAccessibleName(text);
      break;
    }
    case Kind::kLineBox: {
      auto* line = static_cast<QLineEdit*>(s.widget.data());
      if (line->text() != text) line->setText(text);
      break;
    }
    case Kind::kTextBox: {
      auto* box = static_cast<QPlainTextEdit*>(s.widget.data());
      // A text of lines (a listing, a table) keeps its lines, scrolling sideways; a text of
      // one line (a message) wraps at the box's width, so that it is read whole.
      box->setLineWrapMode(text.contains(QLatin1Char('\n')) ? QPlainTextEdit::NoWrap
                                                            : QPlainTextEdit::WidgetWidth);
      SetBoxText(box, text);
      break;
    }
    case Kind::kImage:
      ShowPicture(static_cast<QScrollArea*>(s.widget.data()), text);
      break;
    case Kind::kLabel:
    case Kind::kFigure:
      // A mnemonic underlines its letter once the label names a box (Relabel).
      static_cast<QLabel*>(s.widget.data())->setText(Caption(text, key));
      s.widget->setAccessibleName(text);
      Relabel(s.figure);
      break;
  }
}

void QtWindowSystem::SetMnemonic(double control, Shown& s, const Value& /*mnemonic*/) {
  SetText(control, s, host().Get(control, "String"));
}

void QtWindowSystem::SetPlaceholder(double /*control*/, Shown& s, const Value& text) {
  const QString hint = ToQString(text.utf8());
  if (auto* line = qobject_cast<QLineEdit*>(s.widget)) line->setPlaceholderText(hint);
  if (auto* box = qobject_cast<QPlainTextEdit*>(s.widget)) box->setPlaceholderText(hint);
}

void QtWindowSystem::SetTag(double /*control*/, Shown& s, const Value& tag) {
  const QString name = ToQString(tag.utf8());
  s.widget->setObjectName(name);  // for finding it; a user is told what it does instead
}

void QtWindowSystem::SetBackground(double /*control*/, Shown& s, const Value& rgb) {
  SetColour(s.widget, BackgroundRole(s.kind), rgb);
}

void QtWindowSystem::SetForeground(double /*control*/, Shown& s, const Value& rgb) {
  SetColour(s.widget, ForegroundRole(s.kind), rgb);
}

void QtWindowSystem::SetAlignment(double /*control*/, Shown& s, const Value& mode) {
  const Qt::Alignment alignment = AlignmentOf(mode.utf8());
  if (auto* label = qobject_cast<QLabel*>(s.widget)) label->setAlignment(alignment);
  if (auto* line = qobject_cast<QLineEdit*>(s.widget)) line->setAlignment(alignment);
}

void QtWindowSystem::SetTooltip(double /*control*/, Shown& s, const Value& tip) {
  s.widget->setToolTip(ToQString(tip.utf8()));
  s.widget->setAccessibleDescription(ToQString(tip.utf8()));
  Relabel(s.figure);
}

void QtWindowSystem::SetEnable(double /*control*/, Shown& s, const Value& value) {
  const std::string mode = value.utf8();
  QWidget* w = s.widget;
  switch (s.kind) {
    case Kind::kLineBox:
      // "inactive": looks live, can be read and copied, not changed.
      w->setEnabled(mode != "off");
      static_cast<QLineEdit*>(w)->setReadOnly(mode == "inactive");
      break;
    case Kind::kTextBox: {
      auto* box = static_cast<QPlainTextEdit*>(w);
      w->setEnabled(mode != "off");
      box->setReadOnly(mode != "on");
      // A box that is only read passes a dropped file on to its window.
      box->setAcceptDrops(mode == "on");
      box->viewport()->setAcceptDrops(mode == "on");
      if (mode != "on") {
        box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      }
      break;
    }
    case Kind::kLabel:
    case Kind::kImage:
      w->setEnabled(mode != "off");
      break;
    case Kind::kButton:
    case Kind::kFigure:
      w->setEnabled(mode == "on");
      break;
  }
}

void QtWindowSystem::SetFontSize(double /*control*/, Shown& s, const Value& points) {
  if (!points.is_numeric() || points.numel() != 1 || !(points.num(0) > 0)) return;
  QFont font = s.widget->font();
  font.setPointSizeF(points.num(0));
  s.widget->setFont(font);
}

// ---- Geometry

void QtWindowSystem::PlaceFigure(double figure) {
  QWidget* w = WidgetOf(figure);
  const QRect wanted = ScreenToQt(host().PixelRect(figure, "Position"));
  const bool fixed = host().Get(figure, "Resize").utf8() == "off";
  const int menu = MenuHeight(figure);
  QRect place = wanted.adjusted(0, -menu, 0, 0);  // a menu bar stands above the drawing area
  // No larger than the screen once shown. Not before: the program is still placing its
  // controls in the area it asked for, from which they follow the window.
  if (shown_.at(figure).fitted) {
    if (!fixed) place.setSize(place.size().boundedTo(Room(w)));
    KeepOnScreen(w, &place);
  }
  {
    const ScopedCount placing(placing_);
    if (fixed) {
      w->setFixedSize(place.size());
    } else {
      w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      KeepMinimum(figure);
    }
    w->setGeometry(place);
  }
  // A window kept from getting smaller than its controls need, or larger than the screen,
  // tells the model its size.
  if (w->size() != wanted.size() + QSize(0, menu)) FigurePlaced(figure, false);
  LayOut(figure);
}

// Controls are shown where the model places them: from the lower-left corner of the
// figure's drawing area, where their anchors took them as the area changed size.
void QtWindowSystem::PlaceControl(double control) {
  QWidget* w = WidgetOf(control);
  const Rect r = host().PixelRect(control, "Position");
  const int height = Pixels(r.height);
  w->setGeometry(Pixels(r.left), w->parentWidget()->height() - Pixels(r.bottom) - height,
                 Pixels(r.width), height);
}

void QtWindowSystem::LayOut(double figure) {
  const auto it = shown_.find(figure);
  if (it != shown_.end() && it->second.menu_bar && it->second.widget) {
    it->second.menu_bar->setGeometry(0, 0, it->second.widget->width(), MenuHeight(figure));
  }
  for (const auto& [handle, s] : shown_) {
    if (s.figure == figure && s.kind != Kind::kFigure && s.widget) PlaceControl(handle);
  }
  OrderTabs(figure);
}

void QtWindowSystem::ControlsPlaced(double figure) {
  Relabel(figure);
  OrderTabs(figure);
  KeepMinimum(figure);
}

// The most room a window has on its screen (its drawing area and any menu bar): the
// screen's available area less the window manager's frame.
QSize QtWindowSystem::Room(QWidget* window) {
  const QScreen* screen = window->screen();
  if (screen == nullptr) return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
  const FrameSize frame = RoomFrame();
  const QSize room = screen->availableGeometry().size() -
                     QSize(Pixels(frame.left + frame.right), Pixels(frame.top + frame.bottom));
  return room.expandedTo(QSize(1, 1));
}

// Moves `place` (a window's drawing area and menu bar) into the room its screen has for
// it, as far as it fits: its top-left corner, with the title bar, stays in reach.
void QtWindowSystem::KeepOnScreen(QWidget* window, QRect* place) {
  const QScreen* screen = window->screen();
  if (screen == nullptr) return;
  const FrameSize frame = RoomFrame();
  const QRect room = screen->availableGeometry().adjusted(
      Pixels(frame.left), Pixels(frame.top), -Pixels(frame.right), -Pixels(frame.bottom));
  if (place->right() > room.right()) place->moveRight(room.right());
  if (place->bottom() > room.bottom()) place->moveBottom(room.bottom());
  if (place->left() < room.left()) place->moveLeft(room.left());
  if (place->top() < room.top()) place->moveTop(room.top());
}

// A window that resizes never gets so small that a control stretching with it shrinks
// below the place it was given, unless the screen is smaller still (a small screen, a
// large scale): then it fits the screen, and the stretching controls give up the room,
// so that every control stays in reach.
void QtWindowSystem::KeepMinimum(double figure) {
  QWidget* w = WidgetOf(figure);
  if (w == nullptr || host().Get(figure, "Resize").utf8() == "off") return;
  const Size least = host().MinimumArea(figure);
  w->setMinimumSize(
      QSize(Pixels(least.width), Pixels(least.height) + MenuHeight(figure)).boundedTo(Room(w)));
}

// A box's accessible name is the label a person reads beside it: the nearest "text"
// control to its left in the same parent whose height overlaps the box's by at least
// half the smaller of the two. A box with no such label is named by its tooltip. The
// figure file thus says each label once, where it is seen. A label with a mnemonic
// becomes its box's buddy: Alt and the letter go to the box.
void QtWindowSystem::Relabel(double figure) {
  struct Placed {
    double handle;
    QWidget* widget;
    Kind kind;
    Rect rect;
  };
  std::vector<Placed> placed;
  for (const auto& [handle, s] : shown_) {
    if (s.figure == figure && s.kind != Kind::kFigure && s.widget) {
      placed.push_back({handle, s.widget, s.kind, host().PixelRect(handle, "Position")});
    }
  }
  for (const Placed& label : placed) {
    if (label.kind == Kind::kLabel) static_cast<QLabel*>(label.widget)->setBuddy(nullptr);
  }
  for (const Placed& box : placed) {
    if (box.kind != Kind::kLineBox && box.kind != Kind::kTextBox && box.kind != Kind::kImage) {
      continue;
    }
    const Placed* best = nullptr;
    for (const Placed& label : placed) {
      if (label.kind != Kind::kLabel || label.widget->parentWidget() != box.widget->parentWidget())
        continue;
      const double overlap =
          std::min(label.rect.bottom + label.rect.height, box.rect.bottom + box.rect.height) -
          std::max(label.rect.bottom, box.rect.bottom);
      const bool same_row = overlap >= std::min(label.rect.height, box.rect.height) / 2;
      const double right = label.rect.left + label.rect.width;
      if (same_row && right <= box.rect.left + 1 &&
          (best == nullptr || right > best->rect.left + best->rect.width)) {
        best = &label;
      }
    }
    if (best == nullptr) {
      box.widget->setAccessibleName(box.widget->toolTip());
      continue;
    }
    box.widget->setAccessibleName(best->widget->accessibleName());
    auto* label = static_cast<QLabel*>(best->widget);
    if (label->text().contains(QLatin1Char('&'))) label->setBuddy(box.widget);
  }
}

// Tab goes through the controls as a person reads them: row by row from the top, each
// row from the left. Two controls share a row when their heights overlap by at least
// half the smaller of the two.
void QtWindowSystem::OrderTabs(double figure) {
  struct Placed {
    QWidget* widget;
    QRect rect;
  };
  std::vector<Placed> placed;
  for (const auto& [handle, s] : shown_) {
    if (s.figure == figure && s.kind != Kind::kFigure && s.kind != Kind::kLabel && s.widget) {
      placed.push_back({s.widget, s.widget->geometry()});
    }
  }
  std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
    return a.rect.center().y() < b.rect.center().y();
  });
  std::vector<std::vector<Placed>> rows;
  for (const Placed& p : placed) {
    if (!rows.empty()) {
      const QRect& first = rows.back().front().rect;
      const int overlap =
          std::min(first.bottom(), p.rect.bottom()) - std::max(first.top(), p.rect.top()) + 1;
      if (2 * overlap >= std::min(first.height(), p.rect.height())) {
        rows.back().push_back(p);
        continue;
      }
    }
    rows.push_back({p});
  }
  QWidget* previous = nullptr;
  for (std::vector<Placed>& row : rows) {
    std::stable_sort(row.begin(), row.end(), [](const Placed& a, const Placed& b) {
      return a.rect.left() < b.rect.left();
    });
    for (const Placed& p : row) {
      if (previous != nullptr) QWidget::setTabOrder(previous, p.widget);
      previous = p.widget;
    }
  }
}

void QtWindowSystem::FigurePlaced(double figure, bool resized) {
  if (placing_ > 0 || host_ == nullptr) return;
  QWidget* w = WidgetOf(figure);
  if (w == nullptr) return;
  Guarded([&] {
    if (!host().IsLive(figure)) return;
    const Rect now = QtToScreen(w->geometry().adjusted(0, MenuHeight(figure), 0, 0));
    if (!SamePixels(now, host().PixelRect(figure, "Position"))) {
      host().UserPlaced(figure, "Position", now);
    }
    if (resized) LayOut(figure);
  });
}

// ---- People

void QtWindowSystem::FigureClosing(double figure, QCloseEvent* event) {
  if (host_ == nullptr || !shown_.contains(figure)) return;  // being taken down
  if (progress_depth_ > 0) {
    // Long work runs: stopping it is asked first; Yes cancels it, and the window closes
    // once the work has ended as a cancel ends it (nothing changed).
    event->ignore();
    if (close_after_work_ || !progress_) return;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        WidgetOf(figure), progress_title_,
        QStringLiteral("%1 is still running. Stop it and close the window?").arg(progress_title_),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes && progress_) {
      close_after_work_ = figure;
      progress_->cancel();
    }
    return;
  }
  RememberTexts(figure);
  bool closed = false;
  Guarded([&] {
    host().UserClosed(figure);
    closed = true;
  });
  if (!closed) event->ignore();
}

void QtWindowSystem::Typed(double control, const QString& text) {
  const auto it = shown_.find(control);
  if (programmatic_ > 0 || host_ == nullptr || it == shown_.end()) return;
  it->second.edited = true;
  Guarded([&] { host().UserChanged(control, "String", Value::Text(ToUtf8(text))); });
}

// An edit ends with Enter, or when the box loses the focus after a change; leaving a
// box that was not typed into is no edit.
void QtWindowSystem::EditFinished(double control, bool enter) {
  const auto it = shown_.find(control);
  if (it == shown_.end()) return;
  if (std::exchange(it->second.edited, false) || enter) Activated(control);
  if (!enter || host_ == nullptr || !host().IsLive(control)) return;
  // Enter then presses the box's button, if it names one ("EnterButton": its Tag).
  const std::optional<Value> button = host().TryGet(control, "EnterButton");
  if (!button || button->empty()) return;
  const QString tag = ToQString(button->utf8());
  const double figure = it->second.figure;
  for (const auto& [handle, shown] : shown_) {
    if (shown.kind == Kind::kButton && shown.figure == figure &&
        shown.widget->objectName() == tag) {
      if (shown.widget->isEnabled() && shown.widget->isVisible()) Activated(handle);
      return;
    }
  }
}

// One command at a time: a press while another callback or long work runs (a box
// losing the focus to a dialog, a click let through while painting) is ignored, and so
// is one while a modal window is open, whatever its route (a click made by a program, an
// accessibility action).
void QtWindowSystem::Activated(double control) {
  if (host_ == nullptr || !shown_.contains(control) || activations_ > 0 || progress_depth_ > 0 ||
      QApplication::activeModalWidget() != nullptr)
    return;
  {
    const ScopedCount running(activations_);
    acting_figure_ = shown_.at(control).figure;
    Guarded([&] {
      if (host().IsLive(control)) host().UserActivated(control);
    });
    acting_figure_ = 0;
  }
  // Back to waiting for the user: a window the callback made (the results of a command)
  // shows now.
  if (activations_ == 0) ShowPendingFigures();
}

void QtWindowSystem::FileDropped(double figure, const QString& path) {
  if (host_ == nullptr || !host().IsLive(figure)) return;
  const std::optional<Value> tag = host().TryGet(figure, "DropButton");
  if (!tag || tag->empty()) return;
  for (const auto& [handle, shown] : shown_) {
    if (shown.kind != Kind::kButton || shown.figure != figure ||
        shown.widget->objectName() != ToQString(tag->utf8()))
      continue;
    if (!shown.widget->isEnabled() || !shown.widget->isVisible()) return;
    dropped_file_ = ToUtf8(path);
    Activated(handle);
    dropped_file_.reset();  // not asked for: the press did nothing
    return;
  }
}

// ---- Screen facts

Rect QtWindowSystem::ScreenRect() {
  const QRect screen = PrimaryGeometry();
  return {0, 0, static_cast<double>(screen.width()), static_cast<double>(screen.height())};
}

double QtWindowSystem::PixelsPerInch() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->logicalDotsPerInch() : 96;
}

double QtWindowSystem::DefaultFontSize() {
  const QFont font = QApplication::font();
  if (font.pointSizeF() > 0) return font.pointSizeF();
  return font.pixelSize() * 72 / PixelsPerInch();
}

// The model's frame is what stands around a drawing area: the window manager's frame
// and, above the area, a menu bar.
FrameSize QtWindowSystem::WindowFrame() {
  FrameSize frame = ManagerFrame();
  for (const auto& [handle, s] : shown_) {
    if (s.kind != Kind::kFigure || !s.widget || !s.widget->isVisible()) continue;
    frame.top += MenuHeight(handle);
    break;
  }
  return frame;
}

FrameSize QtWindowSystem::ManagerFrame() {
  for (const auto& [handle, s] : shown_) {
    if (s.kind != Kind::kFigure || !s.widget || !s.widget->isVisible()) continue;
    const QRect inner = s.widget->geometry();
    const QRect outer = s.widget->frameGeometry();
    frame_ = {static_cast<double>(inner.left() - outer.left()),
              static_cast<double>(outer.right() - inner.right()),
              static_cast<double>(inner.top() - outer.top()),
              static_cast<double>(outer.bottom() - inner.bottom())};
    break;
  }
  return frame_;
}

// The frame to leave room for on the screen: the window manager's, once a window shows
// with one; until then a title bar's height of the style and a few pixels on each side,
// so that a window fitted before it first shows keeps its title bar on the screen.
FrameSize QtWindowSystem::RoomFrame() {
  const FrameSize frame = ManagerFrame();
  if (frame.top > 0 || frame.left > 0 || frame.right > 0 || frame.bottom > 0) return frame;
  const double title = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
  constexpr double kBorder = 4;
  return {kBorder, kBorder, title + kBorder, kBorder};
}

Rgb QtWindowSystem::DefaultControlBackground() {
  const QColor c = QApplication::palette().color(QPalette::Button);
  return {c.redF(), c.greenF(), c.blueF()};
}

// ---- Waiting for the user

void QtWindowSystem::RaiseFigure(double figure) {
  ShowPendingFigures();
  QWidget* w = WidgetOf(figure);
  if (w != nullptr && w->isVisible()) {
    w->raise();
    w->activateWindow();
  }
}

void QtWindowSystem::Flush() {
  ShowPendingFigures();
  // Only the figures' own pending events: a flush must not run queued calls of others.
  std::vector<QPointer<QWidget>> windows;
  for (const auto& [handle, s] : shown_) {
    if (s.kind == Kind::kFigure) windows.push_back(s.widget);
  }
  for (const QPointer<QWidget>& w : windows) {
    if (w) QCoreApplication::sendPostedEvents(w);
  }
}

void QtWindowSystem::ShowPendingFigures() {
  std::vector<double> pending;
  for (auto& [handle, s] : shown_) {
    if (std::exchange(s.pending_show, false) && s.widget) pending.push_back(handle);
  }
  for (double figure : pending) ShowFigure(figure);
}

// A window once shown has a frame: its drawing area stays where it was placed and the
// window grows around it, which the model learns as if the window had been moved.
void QtWindowSystem::ShowFigure(double figure) {
  QWidget* w = WidgetOf(figure);
  if (w == nullptr) return;
  if (!std::exchange(shown_.at(figure).fitted, true)) PlaceFigure(figure);
  w->show();
  FigurePlaced(figure, false);
}

std::optional<std::string> QtWindowSystem::ShowFileDialog(const FileDialogRequest& request) {
  if (request.kind == FileDialogKind::kOpen && dropped_file_) {
    return std::exchange(dropped_file_, std::nullopt);
  }
  ShowPendingFigures();
  // The first dialog of a run starts in the folder last chosen in an earlier run.
  QSettings settings;
  QString start = ToQString(request.start_folder);
  const QString last = settings.value(QStringLiteral("lastFolder")).toString();
  if (!chosen_this_run_ && !last.isEmpty() && QFileInfo(last).isDir()) start = last;
  const QPointer<QFileDialog> dialog =
      new FileDialog(CurrentFigureWindow(), ToQString(request.title), start);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  if (request.kind == FileDialogKind::kFolder) {
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
  } else if (request.kind == FileDialogKind::kSave) {
    dialog->setNameFilters(NameFilters(request.filters));
    // The dialog asks before a file is replaced.
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
  } else {
    dialog->setNameFilters(NameFilters(request.filters));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
  }
  const int result = dialog->exec();
  std::optional<std::string> answer;
  if (dialog && result == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
    const QString chosen = dialog->selectedFiles().constFirst();
    answer = ToUtf8(chosen);
    chosen_this_run_ = true;
    settings.setValue(QStringLiteral("lastFolder"), QFileInfo(chosen).absolutePath());
  }
  delete dialog.data();
  return answer;
}

// The most lines a message box shows as its message; more go to its details.
constexpr qsizetype kMaxBoxLines = 8;

void QtWindowSystem::ShowMessageBox(MessageKind kind, std::string_view text) {
  ShowPendingFigures();
  QWidget* parent = CurrentFigureWindow();
  const QMessageBox::Icon icon = kind == MessageKind::kError     ? QMessageBox::Critical
                                 : kind == MessageKind::kWarning ? QMessageBox::Warning
                                                                 : QMessageBox::Information;
  const QString title = kind == MessageKind::kError     ? QStringLiteral("Error")
                        : kind == MessageKind::kWarning ? QStringLiteral("Warning")
                                                        : QGuiApplication::applicationDisplayName();
  // A long text (a list of findings) would make a box taller than the screen: its first
  // line stands as the message, the rest in the box's scrolling details.
  QStringList lines = ToQString(text).split(QLatin1Char('\n'));
  QString shown = ToQString(text);
  QString details;
  if (lines.size() > kMaxBoxLines) {
    const QString first = lines.takeFirst();
    shown =
        first + QStringLiteral("\n\n%1 more lines: Show Details... lists them.").arg(lines.size());
    details = lines.join(QLatin1Char('\n'));
  }
  auto* box = new QMessageBox(icon, title, shown, QMessageBox::Ok, parent);
  box->setTextFormat(Qt::PlainText);
  if (!details.isEmpty()) box->setDetailedText(details);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // The program goes on at once, but its window takes no input until the box is read and
  // closed: no second command, and no second box over the first.
  box->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::NonModal);
  box->show();
  if (parent == nullptr) {
    std::erase_if(loose_boxes_, [](const QPointer<QMessageBox>& b) { return b.isNull(); });
    loose_boxes_.emplace_back(box);
  }
}

void QtWindowSystem::BeginProgress(std::string_view title, double total) {
  if (progress_depth_++ > 0) return;  // work inside work shows as one
  ShowPendingFigures();
  progress_total_ = total;
  progress_scale_ = total > kProgressRange ? kProgressRange / total : 1;
  progress_ = new QProgressDialog(CurrentFigureWindow());
  progress_title_ = ToQString(title);
  progress_->setWindowTitle(progress_title_);
  progress_->setLabelText(ProgressText(0, total));
  progress_->setCancelButtonText(QStringLiteral("Cancel"));
  auto* bar = new QProgressBar(progress_);
  bar->setAccessibleName(QStringLiteral("%1 progress").arg(progress_title_));
  progress_->setBar(bar);
  // A total of 0 (unknown) makes a busy bar.
  progress_->setRange(0, total > 0 ? static_cast<int>(total * progress_scale_) : 0);
  // Not modal: a window blocked by a modal dialog never hears the window manager's close.
  // The figure windows take no input until the work ends all the same.
  progress_->setWindowModality(Qt::NonModal);
  input_blocker_ = std::make_unique<InputBlocker>();
  qApp->installEventFilter(input_blocker_.get());
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setMinimumDuration(kProgressDelayMs);
  progress_->setValue(0);
  progress_clock_.invalidate();
}

bool QtWindowSystem::UpdateProgress(double done) {
  if (!progress_) return true;
  if (!progress_clock_.isValid() || progress_clock_.elapsed() >= kProgressIntervalMs) {
    progress_clock_.start();
    progress_->setLabelText(ProgressText(done, progress_total_));
    if (progress_total_ > 0) {
      progress_->setValue(
          static_cast<int>(std::clamp(done, 0.0, progress_total_) * progress_scale_));
    }
    // Windows keep painting; until the dialog shows and blocks them, people's input
    // waits, so no second command starts.
    QCoreApplication::processEvents(progress_ && progress_->isVisible()
                                        ? QEventLoop::AllEvents
                                        : QEventLoop::ExcludeUserInputEvents);
  }
  return !progress_ || !progress_->wasCanceled();
}

void QtWindowSystem::EndProgress() {
  if (progress_depth_ == 0 || --progress_depth_ > 0) return;
  delete progress_.data();
  input_blocker_.reset();  // removes itself from the application
  // The window whose closing stopped the work closes once the command has ended.
  if (const std::optional<double> figure = std::exchange(close_after_work_, std::nullopt)) {
    if (QWidget* window = WidgetOf(*figure)) {
      QTimer::singleShot(0, window, [window] { window->close(); });  // dropped with the window
    }
  }
}

int QtWindowSystem::RunEventLoop() {
  ShowPendingFigures();
  if (!AnyFigureLeft()) return 0;
  const ScopedCount loop(event_loops_);
  return QApplication::exec();
}

// ---- Lookups

QWidget* QtWindowSystem::WidgetOf(double handle) const {
  const auto it = shown_.find(handle);
  return it == shown_.end() ? nullptr : it->second.widget.data();
}

// The window that dialogs, boxes and progress stand over: the one whose control the
// person used, while its command runs; else the program's current figure.
QWidget* QtWindowSystem::CurrentFigureWindow() const {
  if (host_ == nullptr) return nullptr;
  if (QWidget* acting = WidgetOf(acting_figure_); acting != nullptr) return acting;
  const std::optional<Value> current = host_->TryGet(0, "CurrentFigure");
  return current && current->is_numeric() && !current->empty() ? WidgetOf(current->num(0))
                                                               : nullptr;
}

QString QtWindowSystem::RememberedKey(double control) const {
  const auto it = shown_.find(control);
  if (it == shown_.end() || it->second.kind != Kind::kLineBox) return {};
  const std::optional<Value> remember = host().TryGet(control, "Remember");
  if (!remember || remember->utf8() != "on") return {};
  return ToQString(host().Get(it->second.figure, "Name").utf8()) + QLatin1Char('/') +
         ToQString(host().Get(control, "Tag").utf8());
}

void QtWindowSystem::RememberTexts(double figure) {
  QSettings settings;
  for (const auto& [handle, s] : shown_) {
    if (s.figure != figure || !s.widget) continue;
    if (const QString key = RememberedKey(handle); !key.isEmpty()) {
      settings.setValue(key, static_cast<QLineEdit*>(s.widget.data())->text());
    }
  }
}

bool QtWindowSystem::AnyFigureLeft() const {
  return std::any_of(shown_.begin(), shown_.end(),
                     [](const auto& entry) { return entry.second.kind == Kind::kFigure; });
}

}  // namespace

std::unique_ptr<WindowSystem> MakeQtWindowSystem(int& argc, char** argv) {
  return std::make_unique<QtWindowSystem>(argc, argv);
}

}  // namespace dk
