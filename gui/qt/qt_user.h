// Plays a person at the real windows of the Qt window system: finds controls by their
// Tag, types into boxes, presses buttons and answers dialogs, through Qt Test's
// synthetic input. For the window tests and the screenshot tool.
//
// Threading: the Qt GUI thread. Functions that wait for a dialog poll from timers, so
// they return at once and act inside whatever event loop runs next.
#ifndef DROPKIT_GUI_QT_QT_USER_H_
#define DROPKIT_GUI_QT_QT_USER_H_

#include <QString>

#include <functional>
#include <vector>

class QFileDialog;
class QMessageBox;
class QWidget;

namespace dk::qt_user {

// The widget of the control tagged `tag` in an open figure window; nullptr when none.
QWidget* Control(const QString& tag);
// The visible windows that show figures, in no particular order.
std::vector<QWidget*> FigureWindows();
// The visible message boxes.
std::vector<QMessageBox*> MessageBoxes();
// What the control tagged `tag` shows: a box's text, a button's caption or a label's
// text. Empty when no such control is open.
QString TextOf(const QString& tag);

// Replaces the text of the box tagged `tag` by typing `text`, then ends the edit with
// Enter. Returns false when no box has that tag.
bool TypeInto(const QString& tag, const QString& text);
// Clicks the button tagged `tag`. Returns false when no button has that tag.
bool Press(const QString& tag);

// Calls `act` with the next modal widget once one is open (checked every few
// milliseconds for about `seconds`); `act` answers whether it acted on it, and is
// called again on the next check until it does. Gives up silently after that time.
void WhenModal(std::function<bool(QWidget*)> act, double seconds = 10);
// Enters `path` (absolute) as the file name of an open file dialog and presses its Open
// or Save button. A save over an existing file first asks whether to replace it.
void ChooseFile(QFileDialog* dialog, const QString& path);
// Answers the next file dialog: accepts `path` (absolute), or cancels it when `path` is
// empty. `inspect`, when given, first sees the dialog as it opened.
void AnswerFileDialog(const QString& path, std::function<void(QFileDialog*)> inspect = {});

}  // namespace dk::qt_user

#endif  // DROPKIT_GUI_QT_QT_USER_H_
