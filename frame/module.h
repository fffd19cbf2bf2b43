// Module constants and persistent variables.
//
// Each module keeps its fixed values (texts, numbers, empty arrays, cell lists) in
// module-private slots, built one by one at module set-up and released one by one in
// the reverse order at module release. A ModuleConstants records the slots in order so
// that release is always the exact reverse of set-up; tests can watch both through an
// observer.
#ifndef DROPKIT_FRAME_MODULE_H_
#define DROPKIT_FRAME_MODULE_H_

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk {

class ModuleConstants {
 public:
  explicit ModuleConstants(std::string module) : module_(std::move(module)) {}
  ModuleConstants(const ModuleConstants&) = delete;
  ModuleConstants& operator=(const ModuleConstants&) = delete;

  // Set-up operations: each builds one constant into `slot` and records it.
  void String(Value* slot, std::string_view utf8);
  void Double(Value* slot, double x);
  void DoubleVector(Value* slot, std::size_t rows, std::size_t cols,
                    const std::vector<double>& data);
  // A cell of constants built before it, in column-major order.
  void CellVector(Value* slot, std::size_t rows, std::size_t cols,
                  std::initializer_list<const Value*> elements);
  void CharVector(Value* slot);  // the 0-by-0 empty text

  // Releases every constant, in the reverse order of set-up, and forgets them.
  void ReleaseAll();
  std::size_t count() const { return slots_.size(); }
  const std::string& module() const { return module_; }

 private:
  void Record(Value* slot);
  std::string module_;
  std::vector<Value*> slots_;
};

// Registers a persistent variable: it holds no value until its first assignment.
void mclInitializePersistent(Value* slot);
// Releases a persistent variable.
void mxDestroyArray(Value* slot);

}  // namespace dk

#endif  // DROPKIT_FRAME_MODULE_H_
