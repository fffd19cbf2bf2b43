#include "gui/qt/qt_user.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <utility>

#include "gui/qt/qt_window_system.h"

namespace dk::qt_user {
namespace {

constexpr int kPollMs = 10;

void Poll(std::function<bool(QWidget*)> act, int checks_left) {
  QTimer::singleShot(kPollMs, qApp, [act = std::move(act), checks_left]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && act(modal)) return;
    if (checks_left > 0) Poll(std::move(act), checks_left - 1);
  });
}

}  // namespace

std::vector<QWidget*> FigureWindows() {
  std::vector<QWidget*> out;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->property(kQtHandleProperty).isValid() && w->isVisible()) out.push_back(w);
  }
  return out;
}

QWidget* Control(const QString& tag) {
  for (QWidget* window : FigureWindows()) {
    for (QWidget* w : window->findChildren<QWidget*>(tag)) {
      if (w->property(kQtHandleProperty).isValid()) return w;
    }
  }
  return nullptr;
}

std::vector<QMessageBox*> MessageBoxes() {
  std::vector<QMessageBox*> out;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
      out.push_back(box);
    }
  }
  return out;
}

QString TextOf(const QString& tag) {
  QWidget* w = Control(tag);
  if (auto* line = qobject_cast<QLineEdit*>(w)) return line->text();
  if (auto* box = qobject_cast<QPlainTextEdit*>(w)) return box->toPlainText();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  return {};
}

bool TypeInto(const QString& tag, const QString& text) {
  auto* line = qobject_cast<QLineEdit*>(Control(tag));
  if (line == nullptr) return false;
  line->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);  // select all, typed over
  if (text.isEmpty()) {
    QTest::keyClick(line, Qt::Key_Delete);
  } else {
    QTest::keyClicks(line, text);
  }
  QTest::keyClick(line, Qt::Key_Return);
  return true;
}

bool Press(const QString& tag) {
  auto* button = qobject_cast<QAbstractButton*>(Control(tag));
  if (button == nullptr) return false;
  QTest::mouseClick(button, Qt::LeftButton);
  return true;
}

void WhenModal(std::function<bool(QWidget*)> act, double seconds) {
  Poll(std::move(act), static_cast<int>(seconds * 1000 / kPollMs));
}

void ChooseFile(QFileDialog* dialog, const QString& path) {
  // Typed into the name box, as a person would: selectFile leaves the box alone while it
  // has the focus.
  if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    name->setText(path);
  } else {
    dialog->selectFile(path);
  }
  static_cast<QDialog*>(dialog)->accept();  // as the Open or Save button does
}

void AnswerFileDialog(const QString& path, std::function<void(QFileDialog*)> inspect) {
  WhenModal([path, inspect = std::move(inspect)](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr) return false;
    if (inspect) inspect(dialog);
    if (path.isEmpty()) {
      dialog->reject();
    } else {
      ChooseFile(dialog, path);
    }
    return true;
  });
}

}  // namespace dk::qt_user
