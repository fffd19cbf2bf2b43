// A window system without windows, for tests and batch runs.
//
// File dialogs are answered from a script (a queue of paths and cancels); every
// dialog, message box, raise and program property set is kept in a record that tests
// assert on. The user is played by calls (TypeText, Press, Close) made directly or
// queued as a script that RunEventLoop plays.
//
// Threading: one thread, as the graphics model.
#ifndef DROPKIT_GUI_HEADLESS_HEADLESS_WINDOW_SYSTEM_H_
#define DROPKIT_GUI_HEADLESS_HEADLESS_WINDOW_SYSTEM_H_

#include <deque>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "gui/graphics.h"
#include "gui/window_system.h"
#include "runtime/value.h"

namespace dk {

struct DialogShown {
  FileDialogRequest request;
  std::optional<std::string> answer;  // nullopt: cancelled
  bool scripted = true;               // false: the script was empty, so it was cancelled
};

struct MessageShown {
  MessageKind kind = MessageKind::kPlain;
  std::string text;
  bool operator==(const MessageShown&) const = default;
};
std::ostream& operator<<(std::ostream& os, const MessageShown& m);

struct PropertySet {
  double handle = 0;
  std::string property;  // canonical spelling: "String", "OuterPosition"
  Value value;           // rectangles in pixels, whatever the object's units
};

// Everything the program asked of the window system, in order per kind.
struct HeadlessRecord {
  std::vector<double> created;
  std::vector<double> deleted;
  std::vector<PropertySet> properties;
  std::vector<double> raised;
  std::vector<DialogShown> dialogs;
  std::vector<MessageShown> messages;
  int flushes = 0;
  int unscripted_dialogs = 0;  // dialogs met with an empty script
  // Progress: each piece of work's title and total, and the steps it reported.
  struct Progress {
    std::string title;
    double total = 0;
    std::vector<double> steps;
    bool ended = false;
  };
  std::vector<Progress> progress;

  // The texts of the message boxes, in order.
  std::vector<std::string> MessageTexts() const;
  // The values `property` (any letter case) was set to on `handle`, in order.
  std::vector<Value> SetsOf(double handle, std::string_view property) const;
};

// One scripted user action. The object acted on is found by its Tag among all
// objects (hidden ones too); an empty tag means the current figure.
struct UserAction {
  enum class Kind { kType, kPress, kClose };
  Kind kind = Kind::kPress;
  std::string tag;
  std::string text;  // kType: what is typed
};

class HeadlessWindowSystem final : public WindowSystem {
 public:
  HeadlessWindowSystem() = default;

  // ---- Settings (all pixel sizes). The screen's pixels count from 0 unless set_screen
  // says otherwise.
  void set_screen_size(double width, double height) { screen_ = {0, 0, width, height}; }
  void set_screen(const Rect& screen) { screen_ = screen; }
  void set_frame(const FrameSize& frame) { frame_ = frame; }
  void set_pixels_per_inch(double ppi) { pixels_per_inch_ = ppi; }
  void set_default_font_size(double points) { font_size_ = points; }
  void set_default_background(const Rgb& colour) { background_ = colour; }

  // ---- Dialog script, answered in order: file and folder dialogs alike.
  void QueueFileAnswer(std::string full_path) { answers_.emplace_back(std::move(full_path)); }
  void QueueFileCancel() { answers_.emplace_back(std::nullopt); }
  std::size_t pending_answers() const { return answers_.size(); }

  // ---- Playing the user, through the model.
  // Types `text` into a control: its "String" becomes the text, then its callback runs.
  void TypeText(double control, std::string_view text);
  // Presses a control: its callback runs.
  void Press(double control);
  // Closes a figure's window.
  void Close(double figure);
  // Moves or resizes a window ("OuterPosition" or "Position" of a figure) or a control
  // ("Position") to `pixels`, as a drag would.
  void Place(double handle, std::string_view property, const Rect& pixels);
  // Where the window system shows a rectangle of an object, in pixels.
  Rect Shown(double handle, std::string_view property) const;
  // Queues an action for RunEventLoop.
  void QueueAction(UserAction action) { script_.push_back(std::move(action)); }
  std::size_t pending_actions() const { return script_.size(); }

  // The model this backend serves, as the backend sees it. Raises RuntimeError when it
  // serves none.
  GraphicsHost& host() const;

  const HeadlessRecord& record() const { return *record_; }
  void ClearRecord() { *record_ = HeadlessRecord(); }
  // The record, shared: it outlives the window system (a test that hands the window
  // system to the graphics main reads the record after the program has ended).
  std::shared_ptr<const HeadlessRecord> shared_record() const { return record_; }

  // ---- WindowSystem
  void Attach(GraphicsHost* host) override { host_ = host; }
  void ObjectCreated(double handle, std::string_view type, double parent) override;
  void ObjectDeleted(double handle) override { record_->deleted.push_back(handle); }
  void PropertyChanged(double handle, std::string_view property, const Value& value) override;
  void RaiseFigure(double figure) override { record_->raised.push_back(figure); }
  void Flush() override { ++record_->flushes; }
  Rect ScreenRect() override { return screen_; }
  double PixelsPerInch() override { return pixels_per_inch_; }
  double DefaultFontSize() override { return font_size_; }
  FrameSize WindowFrame() override { return frame_; }
  Rgb DefaultControlBackground() override { return background_; }
  std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;
  void ShowMessageBox(MessageKind kind, std::string_view text) override;
  void BeginProgress(std::string_view title, double total) override;
  bool UpdateProgress(double done) override;
  void EndProgress() override;
  // Plays a user who presses Cancel once the work has reported `steps` updates.
  void CancelProgressAfter(int steps) { cancel_after_ = steps; }
  // Plays the queued actions in order; returns 0 when no figure is left open or the
  // script is exhausted. An action whose tag no object has raises RuntimeError.
  int RunEventLoop() override;

 private:
  double Target(const UserAction& action) const;

  GraphicsHost* host_ = nullptr;
  Rect screen_{0, 0, 1024, 768};
  FrameSize frame_{3, 3, 21, 3};
  double pixels_per_inch_ = 96;
  double font_size_ = 8;
  Rgb background_{0.94, 0.94, 0.94};
  std::deque<std::optional<std::string>> answers_;
  std::deque<UserAction> script_;
  std::shared_ptr<HeadlessRecord> record_ = std::make_shared<HeadlessRecord>();
  int cancel_after_ = -1;
};

// A fresh graphics root on a fresh headless backend for the life of the scope.
class ScopedHeadlessGraphics {
 public:
  ScopedHeadlessGraphics() : ScopedHeadlessGraphics(std::make_unique<HeadlessWindowSystem>()) {}
  HeadlessWindowSystem& ui() const { return *ui_; }

 private:
  explicit ScopedHeadlessGraphics(std::unique_ptr<HeadlessWindowSystem> ui)
      : ui_(ui.get()), graphics_(std::move(ui)) {}

  HeadlessWindowSystem* ui_;  // owned by graphics_
  ScopedGraphics graphics_;
};

}  // namespace dk

#endif  // DROPKIT_GUI_HEADLESS_HEADLESS_WINDOW_SYSTEM_H_
