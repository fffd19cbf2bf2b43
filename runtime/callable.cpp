#include "runtime/callable.h"

#include <string>
#include <utility>

#include "base/errors.h"
#include "runtime/builtins.h"

namespace dk {
namespace {

const LocalFunctionTable* current_local_table = nullptr;
const MainInfo* registry = nullptr;

}  // namespace

const LocalFunctionTable* mclCurrentLocalFunctionTable() {
  return current_local_table;
}

const LocalFunctionTable* mclSetCurrentLocalFunctionTable(const LocalFunctionTable* table) {
  const LocalFunctionTable* previous = current_local_table;
  current_local_table = table;
  return previous;
}

const MainInfo* SetRegistry(const MainInfo* info) {
  const MainInfo* previous = registry;
  registry = info;
  return previous;
}

const MainInfo* CurrentRegistry() {
  return registry;
}

MlxFunction FindFunction(std::string_view name) {
  if (const LocalFunctionTable* local = current_local_table; local != nullptr) {
    for (int i = 0; i < local->count; ++i) {
      if (name == local->rows[i].name) return local->rows[i].entry;
    }
  }
  if (registry != nullptr) {
    for (int i = 0; i < registry->function_count; ++i) {
      if (name == registry->function_table[i].name) return registry->function_table[i].entry;
    }
  }
  return FindPlatformFunction(name);
}

std::vector<Value> mclFeval(int nargout, MlxFunction entry, std::vector<Value> args) {
  std::vector<Value> outputs(static_cast<std::size_t>(nargout > 1 ? nargout : 1));
  entry(nargout, outputs.data(), static_cast<int>(args.size()), args.data());
  return outputs;
}

std::vector<Value> mlfFeval(int nargout, const Value& function, std::vector<Value> args) {
  if (!function.is_char() || function.rows() != 1) {
    Raise("A function to call must be named by a text");
  }
  const std::string name = function.utf8();
  const MlxFunction entry = FindFunction(name);
  if (entry == nullptr) Raise("Undefined function \"" + EscapeForMessage(name) + "\".");
  return mclFeval(nargout, entry, std::move(args));
}

namespace {

ModuleObserver& Observer() {
  static auto* observer = new ModuleObserver;
  return *observer;
}

}  // namespace

ModuleObserver SetModuleObserver(ModuleObserver observer) {
  return std::exchange(Observer(), std::move(observer));
}

void NotifyModuleEvent(const std::string& module, long index, bool built) {
  if (Observer()) Observer()(module, index, built);
}

namespace {
constexpr std::string_view kCallbackArgumentField = "CallbackArgument";
}  // namespace

Value CallbackArgument(std::string_view what) {
  Value v = Value::Struct();
  v.set_field(kCallbackArgumentField, Value::Text(what));
  return v;
}

std::string CallbackArgumentKind(const Value& v) {
  if (!v.is_struct() || v.field_names().size() != 1 || !v.has_field(kCallbackArgumentField)) {
    return "";
  }
  return v.field(kCallbackArgumentField).utf8();
}

}  // namespace dk
