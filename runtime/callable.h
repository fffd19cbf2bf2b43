// Callable functions: entry signatures, the registry's record types, and calls by name.
//
// Every callable function has an array-vector entry (MlxFunction). A call by name looks
// in the current local function table, then in the registry the graphics main was
// given, then among the platform's own functions.
#ifndef DROPKIT_RUNTIME_CALLABLE_H_
#define DROPKIT_RUNTIME_CALLABLE_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/value.h"

namespace dk {

// An array-vector entry: output count and slots, input count and inputs. The caller
// provides max(nlhs, 1) output slots; a one-output function fills slot 0 even when
// nlhs is 0. Absent inputs are absent values.
using MlxFunction = void (*)(int nlhs, Value plhs[], int nrhs, Value prhs[]);

// A row of a module's table of local functions.
struct LocalFunctionRow {
  const char* name;
  MlxFunction entry;
  int inputs;
  int outputs;
};

// A module's local function table: a row count and that many rows.
struct LocalFunctionTable {
  int count;
  const LocalFunctionRow* rows;
};

// A row of the registry of callable functions. A count of 0 or more is fixed; a
// negative count -k means k-1 fixed arguments followed by any number.
struct FunctionTableRow {
  const char* name;
  MlxFunction entry;
  int inputs;
  int outputs;
  const LocalFunctionTable* local_table;
};

// A module's (or a platform library's) set-up and release routines.
struct InitTermPair {
  void (*initialize)();
  void (*terminate)();
};

// The record the program hands to the graphics main.
struct MainInfo {
  int version;
  int function_count;
  const FunctionTableRow* function_table;
  int reserved1_count;
  const void* reserved1;
  int reserved2_count;
  const void* reserved2;
  int init_term_count;
  const InitTermPair* init_term_table;
};

// The local function table that calls by name search first (nullptr: none).
const LocalFunctionTable* mclCurrentLocalFunctionTable();
// Makes `table` current and returns the previous one.
const LocalFunctionTable* mclSetCurrentLocalFunctionTable(const LocalFunctionTable* table);

// The registry searched by calls by name; returns the previous one.
const MainInfo* SetRegistry(const MainInfo* info);
const MainInfo* CurrentRegistry();

// Installs a registry for the life of a scope.
class ScopedRegistry {
 public:
  explicit ScopedRegistry(const MainInfo* info) : previous_(SetRegistry(info)) {}
  ~ScopedRegistry() { SetRegistry(previous_); }
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;

 private:
  const MainInfo* previous_;
};

// The entry of the function called `name`: from the current local function table, the
// registry or the platform's own functions, in that order; nullptr when none has it.
MlxFunction FindFunction(std::string_view name);

// Calls `entry` asking for `nargout` outputs. Returns max(nargout, 1) output slots;
// a slot the function did not fill is absent.
std::vector<Value> mclFeval(int nargout, MlxFunction entry, std::vector<Value> args);
// Calls the function that `function` (a text) names, as FindFunction finds it. Raises
// "Undefined function "<name>"." when none has that name, and a clear error when
// `function` is not a text.
std::vector<Value> mlfFeval(int nargout, const Value& function, std::vector<Value> args);

// Set-up and release events of modules and platform libraries, for tests: the module
// name, a 0-based index (a constant's; -1 for a persistent variable or a library's own
// set-up and release), and whether it was built (true) or released (false).
using ModuleObserver = std::function<void(const std::string& module, long index, bool built)>;
// Installs an observer (an empty function removes it); returns the previous one.
ModuleObserver SetModuleObserver(ModuleObserver observer);
void NotifyModuleEvent(const std::string& module, long index, bool built);

// A callback argument that stands for something known only when the callback runs: a
// 1-by-1 structure whose one field "CallbackArgument" holds "object" (the handle of the
// object whose callback runs), "empty" (the empty matrix) or "handles" (the handle
// structure stored on the object's figure, as guidata fetches it).
Value CallbackArgument(std::string_view what);
// The text of a callback argument ("object", "empty", "handles"), or "" for any other value.
std::string CallbackArgumentKind(const Value& v);

}  // namespace dk

#endif  // DROPKIT_RUNTIME_CALLABLE_H_
