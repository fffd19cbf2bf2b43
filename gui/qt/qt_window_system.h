// The window system of the desktop program, on Qt 6 Widgets.
//
// Each figure is a top-level window titled with its "Name"; each uicontrol is a widget
// chosen by its "Style": a push button, a one-line box, a multi-line box in a
// fixed-pitch font (an edit whose Max - Min > 1; read-only unless "Enable" is "on"), or
// a label. Properties the program sets show at once; what a person types becomes the
// control's "String" as they type, and a press or a finished edit (Enter, or leaving a
// changed box) runs the control's callback, one command at a time. Windows moved or
// resized by a person or the window manager report their new place to the model, and
// their controls are placed again where the model's anchors take them; a window whose
// "Resize" is "on" never gets smaller than the model's MinimumArea. Each control's
// widget is named after its Tag (objectName and accessible description) and carries
// what a person reads for it as its accessible name. A "Mnemonic" is underlined in a
// button's caption and Alt with it presses the button; a label's takes the focus to the
// box it names. Tab goes through the controls row by row from the top, each row from the
// left. Boxes show their "PlaceholderString" while empty. File dialogs offer the
// request's filter choices; folder dialogs show folders only. Long work shows a
// cancellable, window-modal progress dialog once it has lasted half a second, its bar
// named "<title> progress". A folder dialog takes the name of a folder yet to be made.
// While a modal window is open, no control's callback runs, whatever the route.
//
// A file dropped on a window presses its figure's "DropButton" and answers that press's
// open dialog. Boxes whose "Remember" is "on" keep their text between runs, and the
// first file dialog of a run starts in the folder last chosen (QSettings, under the
// application's organization name, "Dropkit" unless the process set one). A window that
// resizes is never made larger, nor kept larger, than its screen's available area. A
// figure whose "HelpMenu" is "on" has a menu bar above its drawing area (which keeps its
// place and size), with a Help menu (Alt+P) whose "About <Name>" shows AboutText().
//
// Nothing the model raises passes into Qt: errors met while handling an event are
// shown on standard error and in an error message box.
//
// Threading: the Qt GUI thread, which is the program's one thread.
#ifndef DROPKIT_GUI_QT_QT_WINDOW_SYSTEM_H_
#define DROPKIT_GUI_QT_QT_WINDOW_SYSTEM_H_

#include <memory>

#include "gui/window_system.h"

namespace dk {

// The name of the dynamic Qt property that holds, on every widget this window system
// makes for a figure or a control, the graphics handle it shows (a double).
inline constexpr char kQtHandleProperty[] = "dropkitHandle";

// Makes the Qt window system. Unless the process already has a QApplication (tests make
// their own), creates one from the command line, which takes Qt's own options (such
// as -platform) out of argc and argv; that application lives as long as the window
// system. Raises RuntimeError when the process has a Qt application without widgets.
// REQUIRES: argc and argv outlive the window system.
std::unique_ptr<WindowSystem> MakeQtWindowSystem(int& argc, char** argv);

}  // namespace dk

#endif  // DROPKIT_GUI_QT_QT_WINDOW_SYSTEM_H_
