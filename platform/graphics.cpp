#include "platform/graphics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <span>
#include <utility>

#include "platform/env.h"
#include "platform/errors.h"

namespace dk {
namespace internal {
namespace {

constexpr double kRoot = 0;

// New objects' rectangles, in pixels; a figure's is its drawing area.
constexpr Rect kDefaultFigurePosition{232, 246, 560, 420};
constexpr Rect kDefaultControlPosition{20, 20, 60, 20};
// A character cell, in multiples of the default font size: half as wide and 1.2
// times as tall.
constexpr double kCharacterWidth = 0.5;
constexpr double kCharacterHeight = 1.2;

// What a set accepts for a property.
enum class Check {
  kAny,
  kText,        // one row of characters (or an empty matrix, read as "")
  kTextOrCell,  // any character array or a cell array of texts
  kChoice,      // one of `choices`, any letter case; stored as listed
  kRect,        // 4 numbers
  kColor,       // 3 numbers from 0 to 1
  kScalar,      // 1 number
  kNumeric,     // any double array
  kReadOnly,
};

// Properties whose value is not stored in the property but computed when read; the
// rectangles come from the object's pixel geometry.
enum class Computed {
  kNone,
  kType,
  kParent,
  kChildren,
  kScreenSize,
  kFigurePosition,  // a figure's "Position": the drawing area inside the frame
  kFigureOuter,     // a figure's "OuterPosition": the window with its frame
  kControlPosition,
  kPixelsPerInch,
  kDefaultBackground,
  kCurrentFigure,
};

constexpr std::array<std::string_view, 2> kOnOff = {"on", "off"};
constexpr std::array<std::string_view, 3> kHandleVisibilities = {"on", "off", "callback"};
constexpr std::array<std::string_view, 3> kEnables = {"on", "off", "inactive"};
constexpr std::array<std::string_view, 6> kUnits = {"pixels",      "normalized", "inches",
                                                    "centimeters", "points",     "characters"};
constexpr std::array<std::string_view, 2> kPositionProperties = {"position", "outerposition"};
constexpr std::array<std::string_view, 3> kAlignments = {"left", "center", "right"};
constexpr std::array<std::string_view, 10> kStyles = {
    "pushbutton", "togglebutton", "radiobutton", "checkbox", "edit",
    "text",       "slider",       "frame",       "listbox",  "popupmenu"};

struct Property {
  std::string name;  // canonical spelling
  Check check = Check::kAny;
  std::span<const std::string_view> choices = {};
  Value value;
  Computed computed = Computed::kNone;
};

struct Object {
  double handle = 0;
  std::string type;
  double parent = kRoot;         // unused for the root
  std::vector<double> children;  // creation order
  std::vector<Property> props;
  std::vector<std::pair<std::string, Value>> appdata;
  // Geometry in pixels. A figure keeps one of its two rectangles, the one its
  // "ActivePositionProperty" names, and derives the other through the current window
  // frame; a control keeps its "Position" from its parent's lower-left corner.
  Rect rect;
  bool keeps_outer = false;
};

// How a unit measures: the size of one unit in pixels along each axis, and the pixel
// coordinates at which the unit's coordinates are 0.
struct Scale {
  double x = 1;
  double y = 1;
  double origin_x = 0;
  double origin_y = 0;
};

Rect ToUnits(const Rect& px, const Scale& s) {
  return {(px.left - s.origin_x) / s.x, (px.bottom - s.origin_y) / s.y, px.width / s.x,
          px.height / s.y};
}

Rect FromUnits(const Rect& u, const Scale& s) {
  return {u.left * s.x + s.origin_x, u.bottom * s.y + s.origin_y, u.width * s.x, u.height * s.y};
}

// The window frame grows a figure's drawing area into its outer rectangle.
Rect Grow(const Rect& r, const FrameSize& f) {
  return {r.left - f.left, r.bottom - f.bottom, r.width + f.left + f.right,
          r.height + f.top + f.bottom};
}

Rect Shrink(const Rect& r, const FrameSize& f) {
  return {r.left + f.left, r.bottom + f.bottom, r.width - f.left - f.right,
          r.height - f.top - f.bottom};
}

std::string HandleText(double h) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", h);
  return buf;
}

[[noreturn]] void RaiseInvalidHandle(double h) {
  Raise("Invalid handle: " + HandleText(h));
}

Property Data(std::string name, Check check, Value value,
              std::span<const std::string_view> choices = {}) {
  return Property{std::move(name), check, choices, std::move(value), Computed::kNone};
}

Property Choice(std::string name, std::span<const std::string_view> choices,
                std::string_view initial) {
  return Data(std::move(name), Check::kChoice, Value::Text(initial), choices);
}

Property ComputedProperty(std::string name, Computed computed) {
  return Property{std::move(name), Check::kReadOnly, {}, Value(), computed};
}

// A rectangle kept in the object's pixel geometry and read and set in its units.
Property GeometryProperty(std::string name, Computed computed) {
  return Property{std::move(name), Check::kRect, {}, Value(), computed};
}

Value RgbValue(const Rgb& c) {
  return Value::Row({c.red, c.green, c.blue});
}
Value RectValue(const Rect& r) {
  return Value::Row({r.left, r.bottom, r.width, r.height});
}
// REQUIRES: v holds four numbers (a checked rectangle).
Rect RectOf(const Value& v) {
  return {v.num(0), v.num(1), v.num(2), v.num(3)};
}

// True when both values have the same size and equal elements: characters, logicals
// and numbers compare by numeric value, cells and structures element by element.
bool SameValue(const Value& a, const Value& b) {
  if (a.absent() || b.absent()) return a.absent() && b.absent();
  if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
  const auto plain = [](const Value& v) { return v.is_numeric() || v.is_logical() || v.is_char(); };
  const auto element = [](const Value& v, std::size_t i) -> double {
    return v.is_char() ? double(v.unit(i)) : v.num(i);
  };
  if (plain(a) && plain(b)) {
    for (std::size_t i = 0; i < a.numel(); ++i) {
      if (element(a, i) != element(b, i)) return false;
    }
    return true;
  }
  if (a.is_cell() && b.is_cell()) {
    for (std::size_t i = 0; i < a.numel(); ++i) {
      if (!SameValue(a.cell(i), b.cell(i))) return false;
    }
    return true;
  }
  if (a.is_struct() && b.is_struct()) {
    if (a.field_names().size() != b.field_names().size()) return false;
    for (const std::string& name : a.field_names()) {
      if (!b.has_field(name) || !SameValue(a.field(name), b.field(name))) return false;
    }
    return true;
  }
  return false;
}

// The handles held in `h`, in element order. Only double arrays hold handles.
std::vector<double> HandlesOf(const Value& h) {
  if (h.absent() || (!h.empty() && !h.is_numeric())) {
    Raise(std::string("Invalid handle: a ") + (h.absent() ? "missing" : ClassName(h.class_id())) +
          " value is not a graphics handle");
  }
  std::vector<double> out(h.numel());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = h.num(i);
  return out;
}

double OneHandle(const Value& h, std::string_view operation) {
  const std::vector<double> handles = HandlesOf(h);
  if (handles.size() != 1) {
    Raise(std::string(operation) + ": expected one graphics handle, got " +
          std::to_string(handles.size()));
  }
  return handles[0];
}

std::string NameOf(const Value& name, std::string_view what) {
  if (!name.is_char() || name.rows() > 1 || name.empty()) {
    Raise(std::string(what) + " must be a non-empty text");
  }
  return name.utf8();
}

Value HandleColumn(const std::vector<double>& handles) {
  if (handles.empty()) return Value::Empty();
  return Value::Matrix(handles.size(), 1, handles);
}

}  // namespace

class GraphicsModel final : public GraphicsHost {
 public:
  explicit GraphicsModel(std::unique_ptr<WindowSystem> ws) : ws_(std::move(ws)) {
    ws_->Attach(this);
    Object root;
    root.handle = kRoot;
    root.type = "root";
    root.props = CommonProperties();
    root.props.push_back(Choice("Units", kUnits, "pixels"));
    root.props.push_back(ComputedProperty("ScreenSize", Computed::kScreenSize));
    root.props.push_back(ComputedProperty("ScreenPixelsPerInch", Computed::kPixelsPerInch));
    root.props.push_back(
        ComputedProperty("DefaultUicontrolBackgroundColor", Computed::kDefaultBackground));
    root.props.push_back(ComputedProperty("CurrentFigure", Computed::kCurrentFigure));
    objects_.emplace(kRoot, std::move(root));
  }
  ~GraphicsModel() { ws_->Attach(nullptr); }
  GraphicsModel(const GraphicsModel&) = delete;
  GraphicsModel& operator=(const GraphicsModel&) = delete;

  WindowSystem& ws() const { return *ws_; }

  // ---- GraphicsHost
  bool IsLive(double h) const override { return objects_.count(h) != 0; }
  Value Get(double h, std::string_view property) const override {
    const Object& o = Lookup(h);
    return Read(o, Find(o, property));
  }
  std::vector<double> Descendants(double h) const override {
    std::vector<double> out;
    Walk(Lookup(h), /*all=*/true, out);
    return out;
  }
  std::vector<double> Figures() const override {
    std::vector<double> out;
    for (double h : Lookup(kRoot).children) {
      if (Lookup(h).type == "figure") out.push_back(h);
    }
    return out;
  }
  void UserChanged(double h, std::string_view property, const Value& value) override {
    Object& o = Lookup(h);
    Property& p = Find(o, property);
    Store(o, p, Checked(o, p, value));
  }
  void UserActivated(double h) override;
  void UserClosed(double figure) override {
    if (Lookup(figure).type != "figure") {
      Raise("Handle " + HandleText(figure) + " is a " + Lookup(figure).type + ", not a figure");
    }
    Delete(figure);
  }

  // ---- Objects
  const Object& Lookup(double h) const {
    const auto it = objects_.find(h);
    if (it == objects_.end()) RaiseInvalidHandle(h);
    return it->second;
  }
  Object& Lookup(double h) {
    return const_cast<Object&>(static_cast<const GraphicsModel*>(this)->Lookup(h));
  }

  double Create(std::string_view type, double parent, const PropertyList& props);
  void Delete(double h);

  // The property of `o` named `name` in any letter case, or null.
  static const Property* FindOrNull(const Object& o, std::string_view name) {
    for (const Property& p : o.props) {
      if (SamePropertyName(p.name, name)) return &p;
    }
    return nullptr;
  }
  static const Property& Find(const Object& o, std::string_view name) {
    const Property* p = FindOrNull(o, name);
    if (p == nullptr) {
      Raise("Unknown property \"" + std::string(name) + "\" of a " + o.type + " object");
    }
    return *p;
  }
  static Property& Find(Object& o, std::string_view name) {
    return const_cast<Property&>(Find(static_cast<const Object&>(o), name));
  }

  Value Read(const Object& o, const Property& p) const;
  // The value a set of `p` on `o` stores, or raises saying what `p` accepts.
  Value Checked(const Object& o, const Property& p, const Value& v) const;
  // Stores a checked value: rectangles go into the pixel geometry, converted from the
  // object's units; a figure's "ActivePositionProperty" changes which rectangle it keeps.
  void Store(Object& o, Property& p, Value checked);
  // A program's set: stored and reported to the backend, rectangles in pixels.
  void Set(Object& o, Property& p, Value checked) {
    Store(o, p, std::move(checked));
    ws_->PropertyChanged(
        o.handle, p.name,
        p.computed == Computed::kNone ? p.value : RectValue(PixelRect(o, p.computed)));
  }

  // ---- Geometry
  // The rectangle a geometry property names, in pixels.
  Rect PixelRect(const Object& o, Computed which) const {
    const FrameSize frame = ws_->WindowFrame();
    switch (which) {
      case Computed::kFigurePosition:
        return o.keeps_outer ? Shrink(o.rect, frame) : o.rect;
      case Computed::kFigureOuter:
        return o.keeps_outer ? o.rect : Grow(o.rect, frame);
      default:
        return o.rect;
    }
  }
  void SetPixelRect(Object& o, Computed which, const Rect& r) {
    const FrameSize frame = ws_->WindowFrame();
    if (which == Computed::kFigurePosition) {
      o.rect = o.keeps_outer ? Grow(r, frame) : r;
    } else if (which == Computed::kFigureOuter) {
      o.rect = o.keeps_outer ? r : Shrink(r, frame);
    } else {
      o.rect = r;
    }
  }
  // Which rectangle `property` of `o` is; raises when it is none.
  Computed GeometryOf(const Object& o, std::string_view property) const {
    const Property& p = Find(o, property);
    if (p.computed != Computed::kFigurePosition && p.computed != Computed::kFigureOuter &&
        p.computed != Computed::kControlPosition) {
      Raise("Property \"" + p.name + "\" of a " + o.type + " object is not a rectangle");
    }
    return p.computed;
  }
  // How the units `units` measure rectangles of `o`: figures and the root from the
  // screen's lower-left corner, controls from their parent's.
  Scale ScaleOf(const Object& o, const std::string& units) const;

  // Appends `o` and, unless `o` is hidden and `all` is false, everything below it.
  void Walk(const Object& o, bool all, std::vector<double>& out) const {
    if (!all && !HandleVisible(o)) return;
    out.push_back(o.handle);
    for (double child : o.children) Walk(Lookup(child), all, out);
  }
  bool HandleVisible(const Object& o) const {
    const Property* p = FindOrNull(o, "HandleVisibility");
    if (p == nullptr) return true;
    const std::string mode = p->value.utf8();
    return mode == "on" || (mode == "callback" && !callbacks_.empty());
  }

  // The figure that holds `h` (`h` itself for a figure), or the root when none does.
  double FigureOf(double h) const {
    while (h != kRoot) {
      const Object& o = Lookup(h);
      if (o.type == "figure") return h;
      h = o.parent;
    }
    return kRoot;
  }

  // ---- Current figure: the most recently created or raised figure still open.
  bool HasCurrentFigure() const { return !stack_.empty(); }
  double CurrentFigure() const { return stack_.front(); }
  void MakeCurrent(double figure) {
    std::erase(stack_, figure);
    stack_.insert(stack_.begin(), figure);
  }

  // ---- Running callbacks, innermost last.
  struct RunningCallback {
    double object;
    double figure;
  };
  void PushCallback(double object) {
    Lookup(object);
    callbacks_.push_back({object, FigureOf(object)});
  }
  void PopCallback() { callbacks_.pop_back(); }
  const std::vector<RunningCallback>& callbacks() const { return callbacks_; }

 private:
  std::vector<Property> CommonProperties() const {
    std::vector<Property> props;
    props.push_back(ComputedProperty("Type", Computed::kType));
    props.push_back(ComputedProperty("Parent", Computed::kParent));
    props.push_back(ComputedProperty("Children", Computed::kChildren));
    props.push_back(Data("Tag", Check::kText, Value::EmptyText()));
    props.push_back(Choice("Visible", kOnOff, "on"));
    props.push_back(Choice("HandleVisibility", kHandleVisibilities, "on"));
    props.push_back(Data("UserData", Check::kAny, Value::Empty()));
    return props;
  }
  std::vector<Property> DefaultProperties(std::string_view type) const;

  std::unique_ptr<WindowSystem> ws_;
  std::map<double, Object> objects_;
  std::vector<double> stack_;  // open figures, most recently current first
  std::vector<RunningCallback> callbacks_;
  double next_figure_ = 1;
  double next_other_ = 100.5;
};

namespace {

GraphicsModel* g_model = nullptr;

CallbackHook& Hook() {
  static CallbackHook hook;
  return hook;
}

std::string ChoiceList(std::span<const std::string_view> choices) {
  std::string out;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (i > 0) out += i + 1 == choices.size() ? " or " : ", ";
    out += "\"" + std::string(choices[i]) + "\"";
  }
  return out;
}

bool AllFinite(const Value& v) {
  for (std::size_t i = 0; i < v.numel(); ++i) {
    if (!std::isfinite(v.num(i))) return false;
  }
  return true;
}

std::vector<double> Numbers(const Value& v) {
  std::vector<double> out(v.numel());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = v.num(i);
  return out;
}

}  // namespace

std::vector<Property> GraphicsModel::DefaultProperties(std::string_view type) const {
  std::vector<Property> props = CommonProperties();
  const auto add = [&props](Property p) { props.push_back(std::move(p)); };
  if (type == "figure") {
    add(Data("Name", Check::kText, Value::EmptyText()));
    add(Data("Color", Check::kColor, RgbValue(ws_->DefaultControlBackground())));
    add(Choice("Units", kUnits, "pixels"));
    add(GeometryProperty("Position", Computed::kFigurePosition));
    add(GeometryProperty("OuterPosition", Computed::kFigureOuter));
    add(Choice("ActivePositionProperty", kPositionProperties, "outerposition"));
    add(Choice("Resize", kOnOff, "on"));
  } else if (type == "uicontrol") {
    add(Choice("Style", kStyles, "pushbutton"));
    add(Data("String", Check::kTextOrCell, Value::EmptyText()));
    add(Data("Callback", Check::kAny, Value::EmptyText()));
    add(Choice("Units", kUnits, "pixels"));
    add(GeometryProperty("Position", Computed::kControlPosition));
    add(Data("BackgroundColor", Check::kColor, RgbValue(ws_->DefaultControlBackground())));
    add(Data("ForegroundColor", Check::kColor, Value::Row({0, 0, 0})));
    add(Choice("Enable", kEnables, "on"));
    add(Data("Value", Check::kNumeric, Value::Scalar(0)));
    add(Data("Min", Check::kScalar, Value::Scalar(0)));
    add(Data("Max", Check::kScalar, Value::Scalar(1)));
    add(Choice("HorizontalAlignment", kAlignments, "center"));
    add(Data("FontSize", Check::kScalar, Value::Scalar(ws_->DefaultFontSize())));
  }
  return props;
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
      return RectValue(ToUnits(ws_->ScreenRect(), ScaleOf(o, Find(o, "Units").value.utf8())));
    case Computed::kFigurePosition:
    case Computed::kFigureOuter:
    case Computed::kControlPosition:
      return RectValue(
          ToUnits(PixelRect(o, p.computed), ScaleOf(o, Find(o, "Units").value.utf8())));
    case Computed::kPixelsPerInch:
      return Value::Scalar(ws_->PixelsPerInch());
    case Computed::kDefaultBackground:
      return RgbValue(ws_->DefaultControlBackground());
    case Computed::kCurrentFigure:
      return HasCurrentFigure() ? Value::Scalar(CurrentFigure()) : Value::Empty();
  }
  return Value::Empty();
}

Value GraphicsModel::Checked(const Object& o, const Property& p, const Value& v) const {
  const auto bad = [&](const std::string& expected) -> Value {
    Raise("Invalid value for property \"" + p.name + "\" of a " + o.type + " object: expected " +
          expected);
  };
  if (v.absent() || v.unassigned()) return bad("a value");
  const bool numeric = v.is_numeric();
  switch (p.check) {
    case Check::kAny:
      return v;
    case Check::kText:
      if (v.empty() && (numeric || v.is_char())) return Value::EmptyText();
      if (v.is_char() && v.rows() == 1) return v;
      return bad("a text");
    case Check::kTextOrCell:
      if (v.empty() && numeric) return Value::EmptyText();
      if (v.is_char()) return v;
      if (v.is_cell()) {
        for (std::size_t i = 0; i < v.numel(); ++i) {
          if (!v.cell(i).is_char() && !v.cell(i).empty()) return bad("a text or a cell of texts");
        }
        return v;
      }
      return bad("a text or a cell of texts");
    case Check::kChoice:
      if (v.is_char() && v.rows() == 1) {
        const std::string text = v.utf8();
        for (std::string_view choice : p.choices) {
          if (SamePropertyName(choice, text)) return Value::Text(choice);
        }
      }
      return bad(ChoiceList(p.choices));
    case Check::kRect:
      if (numeric && v.numel() == 4 && AllFinite(v)) return Value::Row(Numbers(v));
      return bad("four numbers [left bottom width height]");
    case Check::kColor:
      if (numeric && v.numel() == 3) {
        std::vector<double> rgb = Numbers(v);
        if (std::all_of(rgb.begin(), rgb.end(), [](double x) { return x >= 0 && x <= 1; })) {
          return Value::Row(std::move(rgb));
        }
      }
      return bad("three numbers from 0 to 1 [red green blue]");
    case Check::kScalar:
      if (numeric && v.numel() == 1 && AllFinite(v)) return v;
      return bad("one number");
    case Check::kNumeric:
      if (numeric) return v;
      return bad("numbers");
    case Check::kReadOnly:
      Raise("Property \"" + p.name + "\" of a " + o.type + " object cannot be set");
  }
  return v;
}

void GraphicsModel::Store(Object& o, Property& p, Value checked) {
  if (p.computed != Computed::kNone) {
    const Scale scale = ScaleOf(o, Find(o, "Units").value.utf8());
    SetPixelRect(o, p.computed, FromUnits(RectOf(checked), scale));
    return;
  }
  if (o.type == "figure" && p.name == "ActivePositionProperty") {
    // The window stays where it is; only the rectangle kept through frame changes moves.
    const Rect outer = PixelRect(o, Computed::kFigureOuter);
    o.keeps_outer = checked.utf8() == "outerposition";
    SetPixelRect(o, Computed::kFigureOuter, outer);
  }
  p.value = std::move(checked);
}

Scale GraphicsModel::ScaleOf(const Object& o, const std::string& units) const {
  if (units == "pixels") return Scale{};
  const bool on_screen = o.type == "figure" || o.type == "root";
  const Rect screen = ws_->ScreenRect();
  Scale s;
  if (on_screen) {
    s.origin_x = screen.left;
    s.origin_y = screen.bottom;
  }
  const double ppi = ws_->PixelsPerInch();
  const double point = ppi / 72;
  if (units == "inches") {
    s.x = s.y = ppi;
  } else if (units == "centimeters") {
    s.x = s.y = ppi / 2.54;
  } else if (units == "points") {
    s.x = s.y = point;
  } else if (units == "characters") {
    s.x = ws_->DefaultFontSize() * point * kCharacterWidth;
    s.y = ws_->DefaultFontSize() * point * kCharacterHeight;
  } else if (on_screen) {  // normalized
    s.x = screen.width;
    s.y = screen.height;
  } else {
    const Rect area = PixelRect(Lookup(FigureOf(o.parent)), Computed::kFigurePosition);
    s.x = area.width;
    s.y = area.height;
  }
  return s;
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
  o.props = DefaultProperties(type);
  if (figure) {
    o.keeps_outer = true;  // the default "ActivePositionProperty"
    o.rect = Grow(kDefaultFigurePosition, ws_->WindowFrame());
  } else {
    o.rect = kDefaultControlPosition;
  }
  // Applied in the order given, as sets would be: a "Units" given before a rectangle
  // decides how the rectangle reads.
  for (const auto& [name, value] : props) {
    Property* p = const_cast<Property*>(FindOrNull(o, name));
    if (p == nullptr) {
      o.props.push_back(Data(name, Check::kAny, value));
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

void GraphicsModel::UserActivated(double h) {
  const Property* callback = FindOrNull(Lookup(h), "Callback");
  if (callback == nullptr || callback->value.empty() || !Hook()) return;
  PushCallback(h);
  struct Pop {
    GraphicsModel* model;
    ~Pop() { model->PopCallback(); }
  } pop{this};
  const CallbackHook hook = Hook();  // the hook may replace itself while it runs
  hook(h);
}

}  // namespace internal

bool SamePropertyName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

using internal::g_model;
using internal::GraphicsModel;

namespace {

GraphicsModel& Model() {
  if (g_model == nullptr) Raise("Graphics are not available: no window system is installed");
  return *g_model;
}

Value FileDialog(FileDialogKind kind, Value* pathname, const Value& filter, const Value& title) {
  FileDialogRequest request;
  request.kind = kind;
  if (!filter.absent() && !filter.empty()) {
    if (!filter.is_char()) Raise("The file filter must be a text such as \"*.txt\"");
    request.filter = filter.utf8();
  } else {
    request.filter = "*";
  }
  if (!title.absent()) {
    if (!title.is_char() && !title.empty()) Raise("The dialog title must be a text");
    request.title = title.utf8();
  } else {
    request.title = kind == FileDialogKind::kOpen ? "Select File to Open" : "Select File to Write";
  }
  if (Env::Current()->CurrentDir(&request.start_folder) != 0) request.start_folder.clear();

  const std::optional<std::string> answer = Model().ws().ShowFileDialog(request);
  if (!answer) {
    if (pathname != nullptr) *pathname = Value::Scalar(0);
    return Value::Scalar(0);
  }
  std::string path = *answer;
  if (path.empty() || path[0] != '/') path = request.start_folder + "/" + path;
  const std::size_t slash = path.rfind('/');
  if (pathname != nullptr) *pathname = Value::Text(path.substr(0, slash + 1));
  return Value::Text(path.substr(slash + 1));
}

// The lines of a message: the rows of a character array or the texts of a cell.
std::string MessageText(const Value& text) {
  if (text.is_char()) {
    std::string out;
    const std::u16string units = text.units();
    for (std::size_t r = 0; r < text.rows(); ++r) {
      std::u16string row;
      for (std::size_t c = 0; c < text.cols(); ++c) row += units[c * text.rows() + r];
      if (r > 0) out += "\n";
      out += Value::Text(std::u16string_view(row)).utf8();
    }
    return out;
  }
  if (text.is_cell()) {
    std::string out;
    for (std::size_t i = 0; i < text.numel(); ++i) {
      if (i > 0) out += "\n";
      out += MessageText(text.cell(i));
    }
    return out;
  }
  if (text.is_numeric() && text.empty()) return "";
  Raise("msgbox: the message must be a text or a cell array of texts");
}

}  // namespace

// ---- Installation

ScopedGraphics::ScopedGraphics(std::unique_ptr<WindowSystem> ws)
    : model_(std::make_unique<GraphicsModel>(std::move(ws))),
      previous_(std::exchange(g_model, model_.get())) {}

ScopedGraphics::~ScopedGraphics() {
  g_model = previous_;
}

WindowSystem& ScopedGraphics::window_system() const {
  return model_->ws();
}

bool GraphicsInstalled() {
  return g_model != nullptr;
}

int RunEventLoop() {
  return Model().ws().RunEventLoop();
}

// ---- Geometry for backends

namespace {

GraphicsModel& ModelOf(GraphicsHost& host) {
  auto* model = dynamic_cast<GraphicsModel*>(&host);
  if (model == nullptr) Raise("Geometry: the host is not a graphics model");
  return *model;
}

const GraphicsModel& ModelOf(const GraphicsHost& host) {
  return ModelOf(const_cast<GraphicsHost&>(host));
}

}  // namespace

Rect PixelRect(const GraphicsHost& host, double handle, std::string_view property) {
  const GraphicsModel& model = ModelOf(host);
  const internal::Object& o = model.Lookup(handle);
  return model.PixelRect(o, model.GeometryOf(o, property));
}

void UserPlaced(GraphicsHost& host, double handle, std::string_view property, const Rect& pixels) {
  GraphicsModel& model = ModelOf(host);
  internal::Object& o = model.Lookup(handle);
  const Value checked = internal::RectValue(pixels);
  // Checked like any set, so a rectangle with a non-finite number is refused.
  model.Checked(o, GraphicsModel::Find(o, property), checked);
  model.SetPixelRect(o, model.GeometryOf(o, property), pixels);
}

// ---- Progress

ProgressScope::ProgressScope(std::string_view title, double total)
    : ws_(g_model != nullptr ? &g_model->ws() : nullptr), title_(title) {
  if (ws_ != nullptr) ws_->BeginProgress(title_, total);
}

ProgressScope::~ProgressScope() {
  if (ws_ != nullptr) ws_->EndProgress();
}

void ProgressScope::Step(double done) {
  if (ws_ != nullptr && !ws_->UpdateProgress(done)) Raise(title_ + " cancelled.");
}

// ---- Callbacks

CallbackHook SetCallbackHook(CallbackHook hook) {
  return std::exchange(internal::Hook(), std::move(hook));
}

CallbackScope::CallbackScope(double object) : model_(&Model()) {
  model_->PushCallback(object);
}

CallbackScope::~CallbackScope() {
  model_->PopCallback();
}

// ---- Creation

Value CreateObject(std::string_view type, const Value& parent, const PropertyList& props) {
  return Value::Scalar(Model().Create(type, internal::OneHandle(parent, "create"), props));
}

Value CreateFigure(const PropertyList& props) {
  return CreateObject("figure", Value::Scalar(0), props);
}

Value CreateControl(const Value& parent, std::string_view style, std::string_view tag,
                    std::string_view string, const PropertyList& more) {
  PropertyList props = {
      {"Style", Value::Text(style)}, {"Tag", Value::Text(tag)}, {"String", Value::Text(string)}};
  props.insert(props.end(), more.begin(), more.end());
  return CreateObject("uicontrol", parent, props);
}

void DeleteObject(const Value& h) {
  GraphicsModel& model = Model();
  const std::vector<double> handles = internal::HandlesOf(h);
  for (double one : handles) model.Lookup(one);
  for (double one : handles) {
    if (model.IsLive(one)) model.Delete(one);  // may have gone with an earlier parent
  }
}

// ---- Run-time operations

Value mlfFindobj(const Value& prop, const Value& value) {
  const GraphicsModel& model = Model();
  std::vector<double> candidates;
  model.Walk(model.Lookup(0), /*all=*/false, candidates);
  if (prop.absent() && value.absent()) return Value::Row(candidates);
  const std::string name = internal::NameOf(prop, "findobj: the property name");
  if (value.absent()) Raise("findobj: the property \"" + name + "\" needs a value to match");
  std::vector<double> found;
  for (double h : candidates) {
    const internal::Object& o = model.Lookup(h);
    const internal::Property* p = GraphicsModel::FindOrNull(o, name);
    if (p != nullptr && internal::SameValue(model.Read(o, *p), value)) found.push_back(h);
  }
  return found.empty() ? Value::Empty() : Value::Row(found);
}

Value mlfFindall(const Value& h) {
  const GraphicsModel& model = Model();
  std::vector<double> out;
  for (double one : internal::HandlesOf(h)) model.Walk(model.Lookup(one), /*all=*/true, out);
  return internal::HandleColumn(out);
}

Value mlfNGet(int /*nargout*/, const Value& h, const Value& name) {
  const GraphicsModel& model = Model();
  const std::vector<double> handles = internal::HandlesOf(h);
  const std::string property = internal::NameOf(name, "get: the property name");
  if (handles.size() == 1) return model.Get(handles[0], property);
  if (handles.empty()) return Value::Empty();
  Value out = Value::Cell(handles.size(), 1);
  for (std::size_t i = 0; i < handles.size(); ++i) {
    out.mutable_cell(i) = model.Get(handles[i], property);
  }
  return out;
}

Value mlfNSet(int /*nargout*/, const Value& h, const Value& name, const Value& value) {
  GraphicsModel& model = Model();
  const std::vector<double> handles = internal::HandlesOf(h);
  const std::string property = internal::NameOf(name, "set: the property name");
  // Check everything before changing anything.
  std::vector<Value> checked;
  for (double one : handles) {
    const internal::Object& o = model.Lookup(one);
    checked.push_back(model.Checked(o, GraphicsModel::Find(o, property), value));
  }
  for (std::size_t i = 0; i < handles.size(); ++i) {
    internal::Object& o = model.Lookup(handles[i]);
    model.Set(o, GraphicsModel::Find(o, property), std::move(checked[i]));
  }
  return Value::Empty();
}

Value mlfGetappdata(const Value& h, const Value& name) {
  const internal::Object& o = Model().Lookup(internal::OneHandle(h, "getappdata"));
  const std::string key = internal::NameOf(name, "getappdata: the name");
  for (const auto& [stored, value] : o.appdata) {
    if (stored == key) return value;
  }
  return Value::Empty();
}

void mlfSetappdata(const Value& h, const Value& name, const Value& value) {
  internal::Object& o = Model().Lookup(internal::OneHandle(h, "setappdata"));
  const std::string key = internal::NameOf(name, "setappdata: the name");
  for (auto& [stored, old] : o.appdata) {
    if (stored == key) {
      old = value;
      return;
    }
  }
  o.appdata.emplace_back(key, value);
}

Value mlfIshandle(const Value& v) {
  if (v.absent()) return Value::Bool(false);
  Value out = Value::LogicalMatrix(v.rows(), v.cols());
  if (!v.is_numeric()) return out;
  const GraphicsModel& model = Model();
  for (std::size_t i = 0; i < v.numel(); ++i) out.set_num(i, model.IsLive(v.num(i)) ? 1 : 0);
  return out;
}

Value mlfGcf() {
  GraphicsModel& model = Model();
  if (!model.HasCurrentFigure()) model.Create("figure", 0, {});
  return Value::Scalar(model.CurrentFigure());
}

Value mlfGcbf() {
  const GraphicsModel& model = Model();
  if (model.callbacks().empty()) return Value::Empty();
  const double figure = model.callbacks().back().figure;
  return model.IsLive(figure) && figure != 0 ? Value::Scalar(figure) : Value::Empty();
}

Value mlfNGcbo(int /*nargout*/) {
  const GraphicsModel& model = Model();
  if (model.callbacks().empty()) return Value::Empty();
  const double object = model.callbacks().back().object;
  return model.IsLive(object) ? Value::Scalar(object) : Value::Empty();
}

Value mlfNFigure(int /*nargout*/, const Value& h) {
  GraphicsModel& model = Model();
  if (h.absent()) return Value::Scalar(model.Create("figure", 0, {}));
  const double figure = internal::OneHandle(h, "figure");
  const internal::Object& o = model.Lookup(figure);
  if (o.type != "figure") {
    Raise("figure: handle " + internal::HandleText(figure) + " is a " + o.type + ", not a figure");
  }
  model.MakeCurrent(figure);
  model.ws().RaiseFigure(figure);
  return Value::Scalar(figure);
}

void mlfDrawnow() {
  Model().ws().Flush();
}

Value mlfUigetfile(Value* pathname, const Value& filter, const Value& title) {
  return FileDialog(FileDialogKind::kOpen, pathname, filter, title);
}

Value mlfUiputfile(Value* pathname, const Value& filter, const Value& title) {
  return FileDialog(FileDialogKind::kSave, pathname, filter, title);
}

Value mlfNMsgbox(int /*nargout*/, const Value& text) {
  const std::string message = MessageText(text);
  Model().ws().ShowMessageBox(MessageKind::kPlain, message);
  return Value::Empty();
}

}  // namespace dk
