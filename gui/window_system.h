// The window system under the graphics objects: the one interface through which
// all on-screen work goes. The graphics model (graphics.h) owns the objects and their
// properties; a WindowSystem shows them and reports what the user does.
//
// Two directions:
//  - model -> backend: WindowSystem's methods. The model reports every object created
//    or deleted and every property set, so a real toolkit can keep one widget per
//    object in step, and asks for screen facts, dialogs and message boxes.
//  - backend -> model: GraphicsHost, handed to the backend by Attach(). The backend
//    reads properties through it and acts as the user would (edits, presses, closes).
//
// Threading: everything runs on the program's one thread, inside the event loop.
#ifndef DROPKIT_GUI_WINDOW_SYSTEM_H_
#define DROPKIT_GUI_WINDOW_SYSTEM_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dk {

class Value;

// A rectangle [left bottom width height] in pixels, from the lower-left corner of
// the screen with the vertical axis pointing up.
struct Rect {
  double left = 0;
  double bottom = 0;
  double width = 0;
  double height = 0;
};

// A width and a height in pixels.
struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

// Widths in pixels of the window frame around a figure's drawing area: the outer
// rectangle is the inner one grown by these on each side.
struct FrameSize {
  double left = 0;
  double right = 0;
  double top = 0;  // title bar included
  double bottom = 0;
};

// A colour, each component from 0 to 1.
struct Rgb {
  double red = 0;
  double green = 0;
  double blue = 0;
};

// kOpen chooses an existing file, kSave a file to write (existing or not), kFolder an
// existing folder.
enum class FileDialogKind { kOpen, kSave, kFolder };

// One choice of a file dialog's filter: a name and the patterns it shows, separated by
// ";" ("Text files", "*.txt"; "All files", "*").
struct FileFilter {
  std::string name;
  std::string patterns;
  bool operator==(const FileFilter&) const = default;
};

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::kOpen;
  std::string filter;  // the patterns of the first choice ("*.txt"); "" for a folder
  // Every choice, the program's own first; "All files" ("*") ends the list. Empty for a
  // folder.
  std::vector<FileFilter> filters;
  std::string title;         // window title
  std::string start_folder;  // absolute, without a trailing "/"
};

enum class MessageKind { kPlain, kWarning, kError };

// What a backend may do to the graphics model, and all it sees of it. Handles are the
// numbers the model gave out; a handle that is not live raises RuntimeError (TryGet
// aside).
class GraphicsHost {
 public:
  virtual bool IsLive(double handle) const = 0;
  // A property's value, as the program would read it. Raises for an unknown name.
  virtual Value Get(double handle, std::string_view property) const = 0;
  // The same without raising: nullopt when `handle` is not live or its object has no
  // property of that name (a control the figure file gave no "TooltipString").
  virtual std::optional<Value> TryGet(double handle, std::string_view property) const = 0;
  // `handle` followed by all objects below it, depth first in creation order.
  virtual std::vector<double> Descendants(double handle) const = 0;
  // The live figures, in creation order.
  virtual std::vector<double> Figures() const = 0;
  // The rectangle `property` ("Position" or "OuterPosition" of a figure, "Position" of
  // a control) in pixels, whatever the object's "Units". Raises for another property.
  virtual Rect PixelRect(double handle, std::string_view property) const = 0;
  // The smallest drawing area of `figure` at which no control that stretches with it
  // (see the control property "Anchor") is smaller than it was placed; 0 by 0 when no
  // control stretches.
  virtual Size MinimumArea(double figure) const = 0;

  // The user changed a property (typed into an edit box). The value
  // is checked as a program's set would be, but not reported back to the backend.
  virtual void UserChanged(double handle, std::string_view property, const Value& value) = 0;
  // The user moved or resized a window (or a control): the rectangle `property` (as for
  // PixelRect) becomes `pixels`. Checked as a set, so a non-finite number is refused
  // and nothing changes; not reported back to the backend.
  virtual void UserPlaced(double handle, std::string_view property, const Rect& pixels) = 0;
  // The user activated the object (pressed a button, committed an edit): its
  // "Callback" runs through the installed callback hook (graphics.h). Whatever the
  // hook throws passes to the caller.
  virtual void UserActivated(double handle) = 0;
  // The user closed the figure's window: it and everything below it are deleted and
  // their handles are dead from now on.
  virtual void UserClosed(double figure) = 0;

 protected:
  ~GraphicsHost() = default;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // The model this backend serves; nullptr when the model goes away. Called once
  // before any other call, with the host the backend must act through.
  virtual void Attach(GraphicsHost* host) = 0;

  // Object life. ObjectCreated comes after the object holds all its initial
  // properties (read them through the host); ObjectDeleted comes for the children
  // before their parent. The root object (handle 0) is the screen and is not reported.
  virtual void ObjectCreated(double handle, std::string_view type, double parent) = 0;
  virtual void ObjectDeleted(double handle) = 0;
  // A program set a property; `property` is its canonical spelling ("String"). A change
  // of a figure's rectangle is reported for the figure alone: its controls follow their
  // anchors, so a backend reads their rectangles again (PixelRect) whenever the figure's
  // size changes, by a program or by a person.
  virtual void PropertyChanged(double handle, std::string_view property, const Value& value) = 0;
  // The figure comes to the front of all windows.
  virtual void RaiseFigure(double figure) = 0;
  // Completes all pending drawing and geometry updates.
  virtual void Flush() = 0;

  // Screen facts.
  virtual Rect ScreenRect() = 0;  // the whole screen, pixels
  virtual double PixelsPerInch() = 0;
  virtual double DefaultFontSize() = 0;  // points
  virtual FrameSize WindowFrame() = 0;
  virtual Rgb DefaultControlBackground() = 0;

  // Shows a file or folder dialog and waits for it. Returns the chosen file's or
  // folder's absolute path, or nullopt when the user cancelled.
  virtual std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) = 0;
  // Shows a message box. Whether it waits for the user is the backend's choice.
  virtual void ShowMessageBox(MessageKind kind, std::string_view text) = 0;

  // Long work. BeginProgress starts work of `total` steps (0: unknown) under a title;
  // UpdateProgress reports the steps done and answers false once the user has asked to
  // cancel; EndProgress ends it, also after an error. A backend shows progress only for
  // work that lasts longer than about half a second, keeps its windows painting while
  // the work runs, and lets no other user action in until it ends.
  virtual void BeginProgress(std::string_view title, double total) = 0;
  virtual bool UpdateProgress(double done) = 0;
  virtual void EndProgress() = 0;

  // Runs the event loop until the last figure closes; returns the exit status.
  virtual int RunEventLoop() = 0;
};

}  // namespace dk

#endif  // DROPKIT_GUI_WINDOW_SYSTEM_H_
