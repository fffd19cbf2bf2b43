// The calling frame shared by every callable function: entry signatures, the
// registry's row types, argument-count checks, the current local function table and
// the checks made when a variable is read.
#ifndef DROPKIT_SHELL_FRAME_H_
#define DROPKIT_SHELL_FRAME_H_

#include <string>

#include "platform/value.h"

namespace dk {

// An array-vector entry: output count and slots, input count and inputs. Outputs go
// into plhs[0 .. max(nlhs, 1) - 1]; absent inputs are absent values.
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

// The fixed count-check message: "Run-time Error: File: <file> Line: <line> Column: 1
// The function "<file>" was called with more than the declared number of <what>
// (<declared>)."  `what` is "outputs" or "inputs".
std::string CountMessage(const char* file, int line, const char* what, int declared);

// Raises `outputs_message` when nlhs exceeds max_outputs, then `inputs_message` when
// nrhs exceeds max_inputs (max_inputs < 0: no inputs check).
void CheckCounts(int nlhs, int nrhs, int max_outputs, int max_inputs, const Value& outputs_message,
                 const Value& inputs_message);

// The local function table that calls by name search first (nullptr: none).
const LocalFunctionTable* mclCurrentLocalFunctionTable();
// Makes `table` current and returns the previous one.
const LocalFunctionTable* mclSetCurrentLocalFunctionTable(const LocalFunctionTable* table);

// Makes a module's local function table current for the life of a body.
class LocalFunctionScope {
 public:
  explicit LocalFunctionScope(const LocalFunctionTable* table)
      : previous_(mclSetCurrentLocalFunctionTable(table)) {}
  ~LocalFunctionScope() { mclSetCurrentLocalFunctionTable(previous_); }
  LocalFunctionScope(const LocalFunctionScope&) = delete;
  LocalFunctionScope& operator=(const LocalFunctionScope&) = delete;

 private:
  const LocalFunctionTable* previous_;
};

// Raises the undefined-variable error: kind 0 for an input argument that was not
// passed, 1 for a local variable that was never set.
[[noreturn]] void mclValidateError(int kind, const char* name);
// Warns that `name` is read before it was assigned; returns true (the caller may
// then use an empty matrix in its place).
bool mclUninitWarning(const char* name);
// Warns that output `output` of `function` was never assigned.
void mclValidateOutputWarning(const char* output, const char* function);

// Reads an input: raises for an absent one, warns for an unassigned one.
const Value& mclVa(const Value& v, const char* name);
// Reads a local variable: raises for one that was never set, warns for the marker.
const Value& mclVv(const Value& v, const char* name);

}  // namespace dk

#endif  // DROPKIT_SHELL_FRAME_H_
