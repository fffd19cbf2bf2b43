// The property schema of graphics objects: which properties each type has, what each
// starts as, and what a set of each accepts.
//
// A property is either data (kept as set) or computed when read (the type, the parent,
// the rectangles the model keeps in pixels, screen facts). Names match in any letter
// case; each property keeps its canonical spelling ("String").
//
// Threading: pure functions over the values they are given.
#ifndef DROPKIT_GUI_GRAPHICS_PROPERTIES_H_
#define DROPKIT_GUI_GRAPHICS_PROPERTIES_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gui/window_system.h"
#include "runtime/value.h"

namespace dk::internal {

// What a set accepts for a property.
enum class Check {
  kAny,
  kText,        // one row of characters (or an empty matrix, read as "")
  kTextOrCell,  // any character array or a cell array of texts
  kChoice,      // one of `choices`, any letter case; stored as listed
  kRect,        // 4 finite numbers
  kColor,       // 3 numbers from 0 to 1
  kScalar,      // 1 finite number
  kNumeric,     // any double array
  kAnchor,      // edges a control keeps its distance to (anchors.h); stored canonical
  kMnemonic,    // "" or one letter or digit; stored in upper case
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

// True for the computed properties that are rectangles kept in pixels.
bool IsRectangle(Computed computed);

struct Property {
  std::string name;  // canonical spelling
  Check check = Check::kAny;
  std::span<const std::string_view> choices = {};  // kChoice: static lists
  Value value;                                     // data properties only
  Computed computed = Computed::kNone;
};

// The root's properties: the common ones, "Units" and the screen facts.
std::vector<Property> RootProperties();

// The properties a new object of `type` starts with: the common ones ("Type", "Parent",
// "Children", "Tag", "Visible", "HandleVisibility", "UserData"), then those of a
// "figure" or a "uicontrol"; any other type has only the common ones. Colours of
// figures and controls start as `background`, a control's "FontSize" as `font_size`.
std::vector<Property> DefaultProperties(std::string_view type, const Rgb& background,
                                        double font_size);

// A property the type does not know, added under `name` as given at creation; a set
// accepts any value.
Property ExtraProperty(std::string name, Value value);

// The property named `name` in any letter case, or null.
const Property* FindProperty(const std::vector<Property>& props, std::string_view name);
Property* FindProperty(std::vector<Property>& props, std::string_view name);

// The value a set of `p` on an object of `type` stores: the value itself, a choice in
// its listed spelling, an empty text for an empty matrix given as text, rectangles and
// colours as rows. Raises, naming the property, the type and what is accepted
// ("Invalid value for property \"Visible\" of a figure object: expected \"on\" or
// \"off\""), for any other value, and for a read-only property ("... cannot be set").
Value CheckedValue(const Property& p, std::string_view type, const Value& v);

}  // namespace dk::internal

#endif  // DROPKIT_GUI_GRAPHICS_PROPERTIES_H_
