#include "frame/module.h"

#include <utility>

namespace dk {
void ModuleConstants::Record(Value* slot) {
  slots_.push_back(slot);
  NotifyModuleEvent(module_, static_cast<long>(slots_.size()) - 1, true);
}

void ModuleConstants::String(Value* slot, std::string_view utf8) {
  *slot = Value::Text(utf8);
  Record(slot);
}

void ModuleConstants::Double(Value* slot, double x) {
  *slot = Value::Scalar(x);
  Record(slot);
}

void ModuleConstants::DoubleVector(Value* slot, std::size_t rows, std::size_t cols,
                                   const std::vector<double>& data) {
  *slot = Value::Matrix(rows, cols, data);
  Record(slot);
}

void ModuleConstants::CellVector(Value* slot, std::size_t rows, std::size_t cols,
                                 std::initializer_list<const Value*> elements) {
  Value cell = Value::Cell(rows, cols);
  std::size_t i = 0;
  for (const Value* e : elements) cell.mutable_cell(i++) = *e;
  *slot = std::move(cell);
  Record(slot);
}

void ModuleConstants::CharVector(Value* slot) {
  *slot = Value::EmptyText();
  Record(slot);
}

void ModuleConstants::ReleaseAll() {
  for (std::size_t i = slots_.size(); i-- > 0;) {
    mxDestroyArray(slots_[i]);
    NotifyModuleEvent(module_, static_cast<long>(i), false);
  }
  slots_.clear();
}

void mclInitializePersistent(Value* slot) {
  *slot = Value::Unassigned();
}

void mxDestroyArray(Value* slot) {
  *slot = Value();
}

}  // namespace dk
