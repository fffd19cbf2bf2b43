// Graphics objects of the run-time: the root (handle 0), figures and the objects in
// them (controls and any other type kept as data), their properties and application
// data, and the operations the program calls on them.
//
// The model is process-global, as the run-time it models: ScopedGraphics installs a
// fresh root served by one WindowSystem; with none installed every operation raises.
// Handles are never reused within a run: figures get 1, 2, 3, ...; every other object
// gets a number ending in .5 (100.5, 101.5, ...), so the two never meet.
//
// Properties: names match in any letter case and every object has "Type", "Parent",
// "Children", "Tag", "Visible", "HandleVisibility" and "UserData". Reading or setting
// an unknown name raises an error naming the property and the object's type. Values
// are checked on set ("on"/"off", a choice from a list, a 4-number rectangle, an RGB
// triple) and stored as given; choices are stored in lower case.
//
// Geometry. Rectangles are [left bottom width height] with the vertical axis up. The
// model keeps them in pixels and reads and writes them in the object's "Units":
//  - "pixels": as kept, in the backend's screen coordinates for figures and from the
//    parent's lower-left corner for controls;
//  - "inches", "centimeters" (2.54 to the inch), "points" (72 to the inch): through
//    the backend's PixelsPerInch, measured from the lower-left corner of the screen
//    (the ScreenRect's left and bottom) for figures, of the parent for controls;
//  - "characters": a cell 0.5 times the default font size wide and 1.2 times it tall
//    (font size in points, through PixelsPerInch);
//  - "normalized": fractions of the screen (figures, root) or of the drawing area of
//    the control's figure (controls).
// Conversions use the backend's facts at the moment of each get or set; changing
// "Units" never moves anything. The root's "ScreenSize" is the backend's ScreenRect
// in the root's "Units".
//
// A figure's "OuterPosition" is its "Position" (the drawing area) grown by the
// backend's WindowFrame; setting either moves the window and so changes both. The
// figure keeps the rectangle its "ActivePositionProperty" names ("outerposition" by
// default) when the frame changes, and derives the other one through the frame.
// The backend hears rectangle sets (PropertyChanged) in pixels, whatever the units.
//
// A control's "Anchor" names the edges of its parent it keeps its distance to
// (anchors.h): when the parent's area changes size, the control's rectangle follows,
// counted from where it was last placed and the area's size then.
//
// Backends see the model only through GraphicsHost (window_system.h). The model is
// built of: the property schema (graphics_properties.h), unit conversions (units.h),
// the object tree (graphics_model.h), value helpers (graphics_values.h), installation
// (graphics_install.cpp) and the operations below (graphics_ops.cpp).
//
// Threading: one thread; callbacks run nested inside the call that fired them.
#ifndef DROPKIT_GUI_GRAPHICS_H_
#define DROPKIT_GUI_GRAPHICS_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "gui/window_system.h"
#include "runtime/builtins.h"
#include "runtime/value.h"

namespace dk {

namespace internal {
class GraphicsModel;
}

// True when two property names match in any letter case ("Tag" and "tag").
bool SamePropertyName(std::string_view a, std::string_view b);

// ---- Installation --------------------------------------------------------------

// Installs a fresh graphics model (a new root, no figures) on `ws` for the life of the
// scope, and restores whatever was installed before on exit. The graphics main and
// every test that touches graphics hold one.
class ScopedGraphics {
 public:
  explicit ScopedGraphics(std::unique_ptr<WindowSystem> ws);
  ~ScopedGraphics();
  ScopedGraphics(const ScopedGraphics&) = delete;
  ScopedGraphics& operator=(const ScopedGraphics&) = delete;

  WindowSystem& window_system() const;

 private:
  std::unique_ptr<internal::GraphicsModel> model_;
  internal::GraphicsModel* previous_;
  HandleTest previous_test_;
};

// True while a model is installed.
bool GraphicsInstalled();

// Runs the installed window system's event loop; returns its exit status.
int RunEventLoop();

// ---- Callbacks -----------------------------------------------------------------

// Called with an object's handle when the user activates an object whose "Callback"
// is not empty; the shell installs one that runs the named function. The model marks
// the callback as running (CallbackScope) around the call. Process-wide; returns the
// hook it replaces. An empty hook (the default) ignores activations.
using CallbackHook = std::function<void(double handle)>;
CallbackHook SetCallbackHook(CallbackHook hook);

// Reports the progress of a long command to the window system for the life of the
// scope: `total` steps (0 when unknown) under `title`. Without graphics installed it
// does nothing.
class ProgressScope {
 public:
  ProgressScope(std::string_view title, double total);
  ~ProgressScope();
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

  // Reports `done` steps. Throws Cancelled ("<title> cancelled.") when the user has asked
  // to cancel, so the command ends as it would on an error.
  void Step(double done);

 private:
  WindowSystem* ws_;
  std::string title_;
};

// Marks "the callback of `object` is running" for the life of the scope: mlfNGcbo
// gives `object` and mlfGcbf its figure. Scopes nest.
// REQUIRES: graphics installed and `object` live.
class CallbackScope {
 public:
  explicit CallbackScope(double object);
  ~CallbackScope();
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;

 private:
  internal::GraphicsModel* model_;
};

// ---- Creation ------------------------------------------------------------------

// Initial properties of a new object, as (name, value) pairs. Known names are checked
// as by a set; other names add a property of that spelling to the object (the figure
// loader keeps whatever a figure file holds).
using PropertyList = std::vector<std::pair<std::string, Value>>;

// Creates an object of `type` under `parent` (one live handle) and returns its handle.
// A "figure" must have the root as parent and nothing else may; a new figure becomes
// the current figure. Of a figure's "Position" and "OuterPosition", one given alone
// sets the other through the window frame.
Value CreateObject(std::string_view type, const Value& parent, const PropertyList& props = {});
Value CreateFigure(const PropertyList& props = {});
// A "uicontrol" of `style` ("edit", "pushbutton", "text", ...) with a Tag and String.
Value CreateControl(const Value& parent, std::string_view style, std::string_view tag,
                    std::string_view string = "", const PropertyList& more = {});
// Deletes each handle of `h` and everything below it; their application data goes
// with them. The root cannot be deleted.
void DeleteObject(const Value& h);

// ---- Run-time operations -------------------------------------------------------

// Handles (a row; the 0x0 empty matrix when none) of the objects whose property `prop`
// equals `value` (same size and elements, text exactly). Both absent: every object.
// Searched: the root, then each figure and the objects below it, depth first in
// creation order. Objects with "HandleVisibility" "off" (or "callback" outside a
// callback) are skipped together with everything below them.
Value mlfFindobj(const Value& prop = Value(), const Value& value = Value());
// A column of each handle of `h` followed by everything below it, hidden ones
// included, in the order of mlfFindobj.
Value mlfFindall(const Value& h);

// The property `name` of h. With several handles, a column cell of their values.
// nargout is accepted and not otherwise used.
Value mlfNGet(int nargout, const Value& h, const Value& name);
// Sets `name` to `value` on every handle of h (none for an empty h); all handles are
// checked first, so an invalid one changes nothing. Returns the empty matrix.
Value mlfNSet(int nargout, const Value& h, const Value& name, const Value& value);

// Application data of one object; a name never stored reads as the empty matrix.
Value mlfGetappdata(const Value& h, const Value& name);
void mlfSetappdata(const Value& h, const Value& name, const Value& value);

// A logical array of v's shape, true where an element is a live handle. Only double
// arrays hold handles: any other class (text, logical, cell, structure) gives all
// false in its shape; an absent value gives a false scalar.
Value mlfIshandle(const Value& v);

// The current figure. With no figure open, a new empty figure is created and is the
// result, as a program that asks for the current figure expects one.
Value mlfGcf();
// The figure and the object whose callback runs now; the empty matrix outside one
// (or when the object was deleted meanwhile).
Value mlfGcbf();
Value mlfNGcbo(int nargout);
// With a live figure handle: it becomes current and comes to the front (its
// visibility is left alone). With an absent h: a new figure. Returns the figure.
Value mlfNFigure(int nargout, const Value& h = Value());
// Completes pending drawing before positions are read.
void mlfDrawnow();

// File dialogs, starting in the current folder. Return the chosen file's name without
// its folder and store the folder, ending with "/", in *pathname (may be null). On
// cancel both are the number 0. The filter is a text of patterns ("*.txt", several
// joined by ";") or an n-by-2 cell of patterns and names (file_filters.h); an absent or
// empty filter means any file, and any file can always be chosen through a last "All
// files" choice. An absent title gives "Select File to Open" / "Select File to Write".
// Raises for a filter or title of the wrong kind, before any dialog shows.
Value mlfUigetfile(Value* pathname, const Value& filter = Value(), const Value& title = Value());
Value mlfUiputfile(Value* pathname, const Value& filter = Value(), const Value& title = Value());
// A folder dialog, starting in the current folder: returns the chosen folder's absolute
// path (without a trailing "/", "/" itself aside), or the number 0 on cancel. An absent
// title gives "Select a Folder".
Value mlfUigetdir(const Value& title = Value());
// True when `answer`, what one of the three dialogs above returned, says it was
// cancelled: the number 0 instead of a name.
bool DialogCancelled(const Value& answer);

// Shows a plain message box with `text` (a text, or a cell of texts shown one per
// line). Returns the empty matrix.
Value mlfNMsgbox(int nargout, const Value& text);

// Shows a warning box with `text` (UTF-8): something the user should know about, that
// did not stop the work.
void ShowWarningBox(std::string_view text);

// What a window's Help > About shows (a figure whose "HelpMenu" is "on"): the program's
// name and version and where its documentation is. The program sets it before its first
// window opens; "" until then.
void SetAboutText(std::string text);
const std::string& AboutText();

}  // namespace dk

#endif  // DROPKIT_GUI_GRAPHICS_H_
