// The property schema: the properties of the root, figures and controls with their
// defaults, and the checks a set of each passes.
#include "gui/graphics_properties.h"

#include <algorithm>
#include <array>
#include <utility>

#include "base/errors.h"
#include "gui/anchors.h"
#include "gui/graphics.h"
#include "gui/graphics_values.h"

namespace dk {

bool SamePropertyName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

namespace internal {
namespace {

constexpr std::array<std::string_view, 2> kOnOff = {"on", "off"};
constexpr std::array<std::string_view, 3> kHandleVisibilities = {"on", "off", "callback"};
constexpr std::array<std::string_view, 3> kEnables = {"on", "off", "inactive"};
constexpr std::array<std::string_view, 6> kUnits = {"pixels",      "normalized", "inches",
                                                    "centimeters", "points",     "characters"};
constexpr std::array<std::string_view, 2> kPositionProperties = {"position", "outerposition"};
constexpr std::array<std::string_view, 3> kAlignments = {"left", "center", "right"};
// "image" shows the picture in the file its "String" names.
constexpr std::array<std::string_view, 11> kStyles = {
    "pushbutton", "togglebutton", "radiobutton", "checkbox",  "edit", "text",
    "slider",     "frame",        "listbox",     "popupmenu", "image"};

Property Data(std::string name, Check check, Value value) {
  return Property{std::move(name), check, {}, std::move(value), Computed::kNone};
}

Property Choice(std::string name, std::span<const std::string_view> choices,
                std::string_view initial) {
  return Property{std::move(name), Check::kChoice, choices, Value::Text(initial), Computed::kNone};
}

Property ComputedProperty(std::string name, Computed computed) {
  return Property{std::move(name), Check::kReadOnly, {}, Value(), computed};
}

// A rectangle kept in the object's pixel geometry and read and set in its units.
Property GeometryProperty(std::string name, Computed computed) {
  return Property{std::move(name), Check::kRect, {}, Value(), computed};
}

std::vector<Property> CommonProperties() {
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

// "a", "b" or "c".
std::string ChoiceList(std::span<const std::string_view> choices) {
  std::string out;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (i > 0) out += i + 1 == choices.size() ? " or " : ", ";
    out += "\"" + std::string(choices[i]) + "\"";
  }
  return out;
}

}  // namespace

bool IsRectangle(Computed computed) {
  return computed == Computed::kFigurePosition || computed == Computed::kFigureOuter ||
         computed == Computed::kControlPosition;
}

std::vector<Property> RootProperties() {
  std::vector<Property> props = CommonProperties();
  props.push_back(Choice("Units", kUnits, "pixels"));
  props.push_back(ComputedProperty("ScreenSize", Computed::kScreenSize));
  props.push_back(ComputedProperty("ScreenPixelsPerInch", Computed::kPixelsPerInch));
  props.push_back(
      ComputedProperty("DefaultUicontrolBackgroundColor", Computed::kDefaultBackground));
  props.push_back(ComputedProperty("CurrentFigure", Computed::kCurrentFigure));
  return props;
}

std::vector<Property> DefaultProperties(std::string_view type, const Rgb& background,
                                        double font_size) {
  std::vector<Property> props = CommonProperties();
  const auto add = [&props](Property p) { props.push_back(std::move(p)); };
  if (type == "figure") {
    add(Data("Name", Check::kText, Value::EmptyText()));
    add(Data("Color", Check::kColor, RgbValue(background)));
    add(Choice("Units", kUnits, "pixels"));
    add(GeometryProperty("Position", Computed::kFigurePosition));
    add(GeometryProperty("OuterPosition", Computed::kFigureOuter));
    add(Choice("ActivePositionProperty", kPositionProperties, "outerposition"));
    add(Choice("Resize", kOnOff, "on"));
    // The button a file dropped on the window presses, its open dialog answered with the
    // file: its Tag.
    add(Data("DropButton", Check::kText, Value::EmptyText()));
    // "on": the window has a Help menu whose About item shows the program's AboutText.
    add(Choice("HelpMenu", kOnOff, "off"));
  } else if (type == "uicontrol") {
    add(Choice("Style", kStyles, "pushbutton"));
    add(Data("String", Check::kTextOrCell, Value::EmptyText()));
    add(Data("Callback", Check::kAny, Value::EmptyText()));
    add(Choice("Units", kUnits, "pixels"));
    add(GeometryProperty("Position", Computed::kControlPosition));
    add(Data("BackgroundColor", Check::kColor, RgbValue(background)));
    add(Data("ForegroundColor", Check::kColor, Value::Row({0, 0, 0})));
    add(Choice("Enable", kEnables, "on"));
    add(Data("Value", Check::kNumeric, Value::Scalar(0)));
    add(Data("Min", Check::kScalar, Value::Scalar(0)));
    add(Data("Max", Check::kScalar, Value::Scalar(1)));
    add(Choice("HorizontalAlignment", kAlignments, "center"));
    add(Data("FontSize", Check::kScalar, Value::Scalar(font_size)));
    add(Data("Anchor", Check::kAnchor, Value::Text("left bottom")));
    add(Data("Mnemonic", Check::kMnemonic, Value::EmptyText()));
    add(Data("PlaceholderString", Check::kText, Value::EmptyText()));
    // An edit box's button that Enter presses after the box's own callback: its Tag.
    add(Data("EnterButton", Check::kText, Value::EmptyText()));
    // "on": a box whose text the window keeps between runs of the program.
    add(Choice("Remember", kOnOff, "off"));
  }
  return props;
}

Property ExtraProperty(std::string name, Value value) {
  return Data(std::move(name), Check::kAny, std::move(value));
}

const Property* FindProperty(const std::vector<Property>& props, std::string_view name) {
  const auto it = std::find_if(props.begin(), props.end(), [name](const Property& p) {
    return SamePropertyName(p.name, name);
  });
  return it == props.end() ? nullptr : &*it;
}

Property* FindProperty(std::vector<Property>& props, std::string_view name) {
  const auto it = std::find_if(props.begin(), props.end(), [name](const Property& p) {
    return SamePropertyName(p.name, name);
  });
  return it == props.end() ? nullptr : &*it;
}

Value CheckedValue(const Property& p, std::string_view type, const Value& v) {
  const auto bad = [&](const std::string& expected) -> Value {
    Raise("Invalid value for property \"" + p.name + "\" of a " + std::string(type) +
          " object: expected " + expected);
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
      if (numeric && v.numel() == 4 && AllFinite(v)) return Value::Row(NumbersOf(v));
      return bad("four numbers [left bottom width height]");
    case Check::kColor:
      if (numeric && v.numel() == 3) {
        std::vector<double> rgb = NumbersOf(v);
        if (std::all_of(rgb.begin(), rgb.end(), [](double x) { return x >= 0 && x <= 1; })) {
          return Value::Row(rgb);
        }
      }
      return bad("three numbers from 0 to 1 [red green blue]");
    case Check::kScalar:
      if (numeric && v.numel() == 1 && AllFinite(v)) return v;
      return bad("one number");
    case Check::kNumeric:
      if (numeric) return v;
      return bad("numbers");
    case Check::kAnchor:
      if (v.is_char() && v.rows() == 1) {
        if (const std::optional<Anchor> a = ParseAnchor(v.utf8()))
          return Value::Text(AnchorText(*a));
      }
      return bad(
          "the edges it keeps its distance to, such as \"left bottom\" or \"left right bottom "
          "top\": one or both of left and right, and one or both of bottom and top");
    case Check::kMnemonic:
      if (v.empty() && (numeric || v.is_char())) return Value::EmptyText();
      if (v.is_char() && v.numel() == 1) {
        const char16_t c = v.units()[0];
        if (c >= u'a' && c <= u'z') return Value::Text(std::string(1, char(c - u'a' + 'A')));
        if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return v;
      }
      return bad("one letter or digit, or \"\" for none");
    case Check::kReadOnly:
      Raise("Property \"" + p.name + "\" of a " + std::string(type) + " object cannot be set");
  }
  return v;
}

}  // namespace internal
}  // namespace dk
