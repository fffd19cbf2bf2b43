// Handles, rectangles, colours and names taken from run-time values and made into them.
#include "gui/graphics_values.h"

#include <cmath>
#include <cstdio>

#include "base/errors.h"

namespace dk::internal {

std::string HandleText(double h) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", h);
  return buf;
}

void RaiseInvalidHandle(double h) {
  Raise("Invalid handle: " + HandleText(h));
}

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

Value HandleColumn(const std::vector<double>& handles) {
  if (handles.empty()) return Value::Empty();
  return Value::Matrix(handles.size(), 1, handles);
}

std::string NameOf(const Value& name, std::string_view what) {
  if (!name.is_char() || name.rows() > 1 || name.empty()) {
    Raise(std::string(what) + " must be a non-empty text");
  }
  return name.utf8();
}

Value RgbValue(const Rgb& c) {
  return Value::Row({c.red, c.green, c.blue});
}

Value RectValue(const Rect& r) {
  return Value::Row({r.left, r.bottom, r.width, r.height});
}

Rect RectOf(const Value& v) {
  return {v.num(0), v.num(1), v.num(2), v.num(3)};
}

std::vector<double> NumbersOf(const Value& v) {
  std::vector<double> out(v.numel());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = v.num(i);
  return out;
}

bool AllFinite(const Value& v) {
  for (std::size_t i = 0; i < v.numel(); ++i) {
    if (!std::isfinite(v.num(i))) return false;
  }
  return true;
}

}  // namespace dk::internal
