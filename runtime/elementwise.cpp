#include "runtime/elementwise.h"

namespace dk::elementwise {

std::string Describe(const Value& v) {
  if (v.absent() || v.unassigned()) return "an unset value";
  return std::string("a ") + ClassName(v.class_id());
}

std::string SizeText(const Value& v) {
  return std::to_string(v.rows()) + "x" + std::to_string(v.cols());
}

std::vector<double> Elements(const Value& v, const char* op) {
  if (!(v.is_numeric() || v.is_logical() || v.is_char())) {
    Raise(std::string(op) + ": operands must be numbers, logicals or texts, not " + Describe(v));
  }
  std::vector<double> out(v.numel());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = v.is_char() ? v.unit(i) : v.num(i);
  return out;
}

Value Doubles(std::size_t rows, std::size_t cols, const std::vector<double>& data) {
  if (data.empty()) return Value::Matrix(rows, cols);
  return Value::Matrix(rows, cols, data);
}

Value Logicals(std::size_t rows, std::size_t cols, const std::vector<double>& data) {
  if (data.empty()) return Value::LogicalMatrix(rows, cols);
  return Value::LogicalMatrix(rows, cols, data);
}

}  // namespace dk::elementwise
