// The graphics object tree: the root, figures and the objects in them, with their
// properties, pixel geometry and application data; the stack of current figures and the
// stack of running callbacks. The model is the GraphicsHost its window system acts
// through, and tells the window system of every object made or deleted and every
// property a program sets.
//
// Internal to the graphics layer: callers use graphics.h.
//
// Threading: one thread; callbacks run nested inside the call that fired them.
#ifndef DROPKIT_GUI_GRAPHICS_MODEL_H_
#define DROPKIT_GUI_GRAPHICS_MODEL_H_

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "gui/anchors.h"
#include "gui/graphics.h"
#include "gui/graphics_properties.h"
#include "gui/units.h"
#include "gui/window_system.h"
#include "runtime/value.h"

namespace dk::internal {

inline constexpr double kRoot = 0;

struct Object {
  double handle = 0;
  std::string type;
  double parent = kRoot;         // unused for the root
  std::vector<double> children;  // creation order
  std::vector<Property> props;
  std::vector<std::pair<std::string, Value>> appdata;
  // Geometry in pixels. A figure keeps one of its two rectangles, the one its
  // "ActivePositionProperty" names, and derives the other through the current window
  // frame. A control keeps its "Position" from its parent's lower-left corner as it was
  // placed, with the size of the parent's area then (`placed_in`); it is shown where its
  // "Anchor" (`anchor`) takes it in the parent's area now.
  Rect rect;
  bool keeps_outer = false;
  Size placed_in;
  Anchor anchor;
};

class GraphicsModel final : public GraphicsHost {
 public:
  // A fresh root served by `ws`, which is attached to this model until it goes.
  explicit GraphicsModel(std::unique_ptr<WindowSystem> ws);
  ~GraphicsModel();
  GraphicsModel(const GraphicsModel&) = delete;
  GraphicsModel& operator=(const GraphicsModel&) = delete;

  WindowSystem& ws() const { return *ws_; }

  // ---- GraphicsHost
  bool IsLive(double h) const override { return objects_.count(h) != 0; }
  Value Get(double h, std::string_view property) const override;
  std::optional<Value> TryGet(double h, std::string_view property) const override;
  std::vector<double> Descendants(double h) const override;
  std::vector<double> Figures() const override;
  Rect PixelRect(double h, std::string_view property) const override;
  Size MinimumArea(double figure) const override;
  void UserChanged(double h, std::string_view property, const Value& value) override;
  void UserPlaced(double h, std::string_view property, const Rect& pixels) override;
  void UserActivated(double h) override;
  void UserClosed(double figure) override;

  // ---- Objects. Lookup raises "Invalid handle: <h>" for a handle that is not live.
  const Object& Lookup(double h) const;
  Object& Lookup(double h);
  // Creates an object of `type` under `parent` with `props` applied in order and returns
  // its handle; raises for a type that cannot be made there or an invalid property.
  double Create(std::string_view type, double parent, const PropertyList& props);
  // Deletes `h` and everything below it, children reported first. The root cannot go.
  void Delete(double h);

  // ---- Properties. Find raises "Unknown property ..." naming the property and type.
  static const Property& Find(const Object& o, std::string_view name);
  static Property& Find(Object& o, std::string_view name);
  // The value a program reads.
  Value Read(const Object& o, const Property& p) const;
  // The value a set of `p` on `o` stores, or raises saying what `p` accepts.
  Value Checked(const Object& o, const Property& p, const Value& v) const {
    return CheckedValue(p, o.type, v);
  }
  // A program's set of a checked value: stored and reported to the backend, rectangles
  // in pixels.
  void Set(Object& o, Property& p, Value checked);

  // ---- The tree
  // Appends `o` and, unless `o` is hidden and `all` is false, everything below it.
  void Walk(const Object& o, bool all, std::vector<double>& out) const;

  // ---- Current figure: the most recently created or raised figure still open.
  bool HasCurrentFigure() const { return !stack_.empty(); }
  double CurrentFigure() const { return stack_.front(); }
  void MakeCurrent(double figure);

  // ---- Running callbacks, innermost last.
  struct RunningCallback {
    double object;
    double figure;
  };
  // REQUIRES (raises otherwise): `object` is live.
  void PushCallback(double object);
  void PopCallback() { callbacks_.pop_back(); }
  const std::vector<RunningCallback>& callbacks() const { return callbacks_; }

 private:
  // Stores a checked value: rectangles go into the pixel geometry, converted from the
  // object's units; a figure's "ActivePositionProperty" changes which rectangle it keeps.
  void Store(Object& o, Property& p, Value checked);
  // The rectangle a geometry property names, in pixels, and setting it.
  Rect PixelRectOf(const Object& o, Computed which) const;
  void SetPixelRect(Object& o, Computed which, const Rect& r);
  // The size of the area a control of `parent` is placed in: a figure's drawing area, or
  // the rectangle of any other object.
  Size AreaOf(double parent) const;
  // Which rectangle `property` of `o` is; raises when it is none.
  Computed GeometryOf(const Object& o, std::string_view property) const;
  // How `units` measure rectangles of `o`: figures and the root from the screen's
  // lower-left corner, controls from their parent's.
  Scale ScaleFor(const Object& o, std::string_view units) const;
  Scale UnitsScale(const Object& o) const;
  bool HandleVisible(const Object& o) const;
  // The figure that holds `h` (`h` itself for a figure), or the root when none does.
  double FigureOf(double h) const;

  std::unique_ptr<WindowSystem> ws_;
  std::map<double, Object> objects_;
  std::vector<double> stack_;  // open figures, most recently current first
  std::vector<RunningCallback> callbacks_;
  double next_figure_ = 1;
  double next_other_ = 100.5;
};

// ---- The installed model and the callback hook (graphics_install.cpp).

// The installed model, or null when none is.
GraphicsModel* InstalledModel();
// The installed model; raises "Graphics are not available: ..." when none is.
GraphicsModel& Model();
// The process-wide hook that runs callbacks; empty by default.
CallbackHook& Hook();

}  // namespace dk::internal

#endif  // DROPKIT_GUI_GRAPHICS_MODEL_H_
