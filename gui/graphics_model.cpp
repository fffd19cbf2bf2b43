// The object tree of the graphics model: objects and their properties, pixel geometry
// read and set in units, the current-figure stack and the running-callback stack, and
// the GraphicsHost side the window system acts through.
#include "gui/graphics_model.h"

#include <algorithm>

#include "base/errors.h"
#include "gui/graphics_values.h"

namespace dk::internal {
namespace {

// New objects' rectangles, in pixels; a figure's is its drawing area.
constexpr Rect kDefaultFigurePosition{232, 246, 560, 420};
constexpr Rect kDefaultControlPosition{20, 20, 60, 20};

}  // namespace

GraphicsModel::GraphicsModel(std::unique_ptr<WindowSystem> ws) : ws_(std::move(ws)) {
  ws_->Attach(this);
  Object root;
  root.handle = kRoot;
  root.type = "root";
  root.props = RootProperties();
  objects_.emplace(kRoot, std::move(root));
}

GraphicsModel::~GraphicsModel() {
  ws_->Attach(nullptr);
}

// ---- GraphicsHost

Value GraphicsModel::Get(double h, std::string_view property) const {
  const Object& o = Lookup(h);
  return Read(o, Find(o, property));
}

std::optional<Value> GraphicsModel::TryGet(double h, std::string_view property) const {
  const auto it = objects_.find(h);
  if (it == objects_.end()) return std::nullopt;
  const Property* p = FindProperty(it->second.props, property);
  if (p == nullptr) return std::nullopt;
  return Read(it->second, *p);
}

std::vector<double> GraphicsModel::Descendants(double h) const {
  std::vector<double> out;
  Walk(Lookup(h), /*all=*/true, out);
  return out;
}

std::vector<double> GraphicsModel::Figures() const {
  std::vector<double> out;
  for (double h : Lookup(kRoot).children) {
    if (Lookup(h).type == "figure") out.push_back(h);
  }
  return out;
}

Rect GraphicsModel::PixelRect(double h, std::string_view property) const {
  const Object& o = Lookup(h);
  return PixelRectOf(o, GeometryOf(o, property));
}

Size GraphicsModel::MinimumArea(double figure) const {
  Size least;
  for (double h : Lookup(figure).children) {
    const Object& o = Lookup(h);
    if (StretchesAcross(o.anchor)) least.width = std::max(least.width, o.placed_in.width);
    if (StretchesUp(o.anchor)) least.height = std::max(least.height, o.placed_in.height);
  }
  return least;
}

void GraphicsModel::UserChanged(double h, std::string_view property, const Value& value) {
  Object& o = Lookup(h);
  Property& p = Find(o, property);
  Store(o, p, Checked(o, p, value));
}

void GraphicsModel::UserPlaced(double h, std::string_view property, const Rect& pixels) {
  Object& o = Lookup(h);
  const Computed which = GeometryOf(o, property);
  // Checked like any set, so a rectangle with a non-finite number is refused.
  Checked(o, Find(o, property), RectValue(pixels));
  SetPixelRect(o, which, pixels);
}

void GraphicsModel::UserActivated(double h) {
  const Property* callback = FindProperty(Lookup(h).props, "Callback");
  if (callback == nullptr || callback->value.empty() || !Hook()) return;
  PushCallback(h);
  struct Pop {
    GraphicsModel* model;
    ~Pop() { model->PopCallback(); }
  } pop{this};
  const CallbackHook hook = Hook();  // the hook may replace itself while it runs
  hook(h);
}

void GraphicsModel::UserClosed(double figure) {
  if (Lookup(figure).type != "figure") {
    Raise("Handle " + HandleText(figure) + " is a " + Lookup(figure).type + ", not a figure");
  }
  Delete(figure);
}

// ---- Objects

const Object& GraphicsModel::Lookup(double h) const {
  const auto it = objects_.find(h);
  if (it == objects_.end()) RaiseInvalidHandle(h);
  return it->second;
}

Object& GraphicsModel::Lookup(double h) {
  const auto it = objects_.find(h);
  if (it == objects_.end()) RaiseInvalidHandle(h);
  return it->second;
}

double GraphicsModel::Create(std::string_view type, double parent, const PropertyList& props) {
  if (type.empty() || type == "root")
    Raise("Cannot create an object of type \"" + std::string(type) + "\"");
  Lookup(parent);
  const bool figure = type == "figure";
  if (figure && parent != kRoot) {
    Raise("The parent of a figure must be the root (0), not " + HandleText(parent));
  }
  if (!figure && parent == kRoot) {
    Raise("The parent of a " + std::string(type) + " must be a figure or an object in one");
  }

  Object o;
  o.type = std::string(type);
  o.parent = parent;
  o.props = DefaultProperties(type, ws_->DefaultControlBackground(), ws_->DefaultFontSize());
  if (figure) {
    o.keeps_outer = true;  // the default "ActivePositionProperty"
    o.rect = Grow(kDefaultFigurePosition, ws_->WindowFrame());
  } else {
    o.rect = kDefaultControlPosition;
    o.placed_in = AreaOf(parent);
  }
  // Applied in the order given, as sets would be: a "Units" given before a rectangle
  // decides how the rectangle reads.
  for (const auto& [name, value] : props) {
    Property* p = FindProperty(o.props, name);
    if (p == nullptr) {
      o.props.push_back(ExtraProperty(name, value));
      continue;
    }
    Store(o, *p, Checked(o, *p, value));
  }
  const double h = figure ? next_figure_++ : next_other_++;
  o.handle = h;
  objects_.emplace(h, std::move(o));
  Lookup(parent).children.push_back(h);
  if (figure) MakeCurrent(h);
  ws_->ObjectCreated(h, type, parent);
  return h;
}

void GraphicsModel::Delete(double h) {
  if (h == kRoot) Raise("The root object (0) cannot be deleted");
  const std::vector<double> children = Lookup(h).children;
  for (double child : children) Delete(child);
  ws_->ObjectDeleted(h);
  Object& o = Lookup(h);
  std::erase(Lookup(o.parent).children, h);
  std::erase(stack_, h);
  objects_.erase(h);
}

// ---- Properties

const Property& GraphicsModel::Find(const Object& o, std::string_view name) {
  const Property* p = FindProperty(o.props, name);
  if (p == nullptr) {
    Raise("Unknown property \"" + std::string(name) + "\" of a " + o.type + " object");
  }
  return *p;
}

Property& GraphicsModel::Find(Object& o, std::string_view name) {
  Property* p = FindProperty(o.props, name);
  if (p == nullptr) {
    Raise("Unknown property \"" + std::string(name) + "\" of a " + o.type + " object");
  }
  return *p;
}

Value GraphicsModel::Read(const Object& o, const Property& p) const {
  switch (p.computed) {
    case Computed::kNone:
      return p.value;
    case Computed::kType:
      return Value::Text(o.type);
    case Computed::kParent:
      return o.handle == kRoot ? Value::Empty() : Value::Scalar(o.parent);
    case Computed::kChildren: {
      // Newest first, as windows stack; hidden handles are left out.
      std::vector<double> shown;
      for (auto it = o.children.rbegin(); it != o.children.rend(); ++it) {
        if (HandleVisible(Lookup(*it))) shown.push_back(*it);
      }
      return HandleColumn(shown);
    }
    case Computed::kScreenSize:
      return RectValue(ToUnits(ws_->ScreenRect(), UnitsScale(o)));
    case Computed::kFigurePosition:
    case Computed::kFigureOuter:
    case Computed::kControlPosition:
      return RectValue(ToUnits(PixelRectOf(o, p.computed), UnitsScale(o)));
    case Computed::kPixelsPerInch:
      return Value::Scalar(ws_->PixelsPerInch());
    case Computed::kDefaultBackground:
      return RgbValue(ws_->DefaultControlBackground());
    case Computed::kCurrentFigure:
      return HasCurrentFigure() ? Value::Scalar(CurrentFigure()) : Value::Empty();
  }
  return Value::Empty();
}

void GraphicsModel::Set(Object& o, Property& p, Value checked) {
  Store(o, p, std::move(checked));
  ws_->PropertyChanged(
      o.handle, p.name,
      p.computed == Computed::kNone ? p.value : RectValue(PixelRectOf(o, p.computed)));
}

void GraphicsModel::Store(Object& o, Property& p, Value checked) {
  if (p.computed != Computed::kNone) {
    SetPixelRect(o, p.computed, FromUnits(RectOf(checked), UnitsScale(o)));
    return;
  }
  if (o.type == "uicontrol" && p.name == "Anchor") {
    // The control stays where it is shown and follows the new edges from here on.
    const Rect shown = PixelRectOf(o, Computed::kControlPosition);
    o.anchor = *ParseAnchor(checked.utf8());
    SetPixelRect(o, Computed::kControlPosition, shown);
  }
  if (o.type == "figure" && p.name == "ActivePositionProperty") {
    // The window stays where it is; only the rectangle kept through frame changes moves.
    const Rect outer = PixelRectOf(o, Computed::kFigureOuter);
    o.keeps_outer = checked.utf8() == "outerposition";
    SetPixelRect(o, Computed::kFigureOuter, outer);
  }
  p.value = std::move(checked);
}

// ---- Geometry

Rect GraphicsModel::PixelRectOf(const Object& o, Computed which) const {
  const FrameSize frame = ws_->WindowFrame();
  switch (which) {
    case Computed::kFigurePosition:
      return o.keeps_outer ? Shrink(o.rect, frame) : o.rect;
    case Computed::kFigureOuter:
      return o.keeps_outer ? o.rect : Grow(o.rect, frame);
    default:
      if (o.anchor == Anchor{}) return o.rect;  // from the lower-left corner: any area
      return Anchored(o.rect, o.placed_in, AreaOf(o.parent), o.anchor);
  }
}

void GraphicsModel::SetPixelRect(Object& o, Computed which, const Rect& r) {
  const FrameSize frame = ws_->WindowFrame();
  if (which == Computed::kFigurePosition) {
    o.rect = o.keeps_outer ? Grow(r, frame) : r;
  } else if (which == Computed::kFigureOuter) {
    o.rect = o.keeps_outer ? r : Shrink(r, frame);
  } else {
    o.rect = r;
    o.placed_in = AreaOf(o.parent);
  }
}

Size GraphicsModel::AreaOf(double parent) const {
  const Object& p = Lookup(parent);
  if (p.type == "root") return {};
  const Rect area =
      PixelRectOf(p, p.type == "figure" ? Computed::kFigurePosition : Computed::kControlPosition);
  return {area.width, area.height};
}

Computed GraphicsModel::GeometryOf(const Object& o, std::string_view property) const {
  const Property& p = Find(o, property);
  if (!IsRectangle(p.computed)) {
    Raise("Property \"" + p.name + "\" of a " + o.type + " object is not a rectangle");
  }
  return p.computed;
}

Scale GraphicsModel::UnitsScale(const Object& o) const {
  return ScaleFor(o, Find(o, "Units").value.utf8());
}

Scale GraphicsModel::ScaleFor(const Object& o, std::string_view units) const {
  if (units == "pixels") return Scale{};  // asks the backend nothing
  const bool on_screen = o.type == "figure" || o.type == "root";
  const Rect screen = ws_->ScreenRect();
  UnitBasis basis;
  if (on_screen) {
    basis.origin_x = screen.left;
    basis.origin_y = screen.bottom;
    basis.area_width = screen.width;
    basis.area_height = screen.height;
  }
  basis.pixels_per_inch = ws_->PixelsPerInch();
  if (units == "characters") basis.font_size = ws_->DefaultFontSize();
  if (units == "normalized" && !on_screen) {
    const Rect area = PixelRectOf(Lookup(FigureOf(o.parent)), Computed::kFigurePosition);
    basis.area_width = area.width;
    basis.area_height = area.height;
  }
  return ScaleOf(units, basis);
}

// ---- The tree

void GraphicsModel::Walk(const Object& o, bool all, std::vector<double>& out) const {
  if (!all && !HandleVisible(o)) return;
  out.push_back(o.handle);
  for (double child : o.children) Walk(Lookup(child), all, out);
}

bool GraphicsModel::HandleVisible(const Object& o) const {
  const Property* p = FindProperty(o.props, "HandleVisibility");
  if (p == nullptr) return true;
  const std::string mode = p->value.utf8();
  return mode == "on" || (mode == "callback" && !callbacks_.empty());
}

double GraphicsModel::FigureOf(double h) const {
  while (h != kRoot) {
    const Object& o = Lookup(h);
    if (o.type == "figure") return h;
    h = o.parent;
  }
  return kRoot;
}

// ---- Current figure and running callbacks

void GraphicsModel::MakeCurrent(double figure) {
  std::erase(stack_, figure);
  stack_.insert(stack_.begin(), figure);
}

void GraphicsModel::PushCallback(double object) {
  Lookup(object);
  callbacks_.push_back({object, FigureOf(object)});
}

}  // namespace dk::internal
