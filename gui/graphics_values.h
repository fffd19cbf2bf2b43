// Conversions between run-time values and what the graphics model works with: handles
// taken from values, rectangles and colours as rows, property names, handle columns.
// Shared by the pieces of the graphics layer (graphics.h is the public side).
//
// Threading: pure functions, safe anywhere.
#ifndef DROPKIT_GUI_GRAPHICS_VALUES_H_
#define DROPKIT_GUI_GRAPHICS_VALUES_H_

#include <string>
#include <string_view>
#include <vector>

#include "gui/window_system.h"
#include "runtime/value.h"

namespace dk::internal {

// A handle as messages show it: "1", "100.5".
std::string HandleText(double h);
// Raises "Invalid handle: <h>".
[[noreturn]] void RaiseInvalidHandle(double h);

// The handles held in `h`, in element order. Only double arrays hold handles; an empty
// value of any class holds none. Raises "Invalid handle: a <class> value ..." for an
// absent value or a non-empty value of another class.
std::vector<double> HandlesOf(const Value& h);
// The one handle of `h`; raises "<operation>: expected one graphics handle, got N"
// otherwise (and as HandlesOf for a value that holds no handles).
double OneHandle(const Value& h, std::string_view operation);
// The handles as a column; the 0x0 empty matrix when there are none.
Value HandleColumn(const std::vector<double>& handles);

// `name` as UTF-8 when it is a non-empty one-row text; raises "<what> must be a
// non-empty text" otherwise.
std::string NameOf(const Value& name, std::string_view what);

// Rows of numbers: [red green blue] and [left bottom width height].
Value RgbValue(const Rgb& c);
Value RectValue(const Rect& r);
// REQUIRES: v holds four numbers (a checked rectangle).
Rect RectOf(const Value& v);

// The elements of a numeric or logical value, in order, and whether all are finite.
std::vector<double> NumbersOf(const Value& v);
bool AllFinite(const Value& v);

}  // namespace dk::internal

#endif  // DROPKIT_GUI_GRAPHICS_VALUES_H_
