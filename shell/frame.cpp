#include "shell/frame.h"

#include "platform/errors.h"

namespace dk {
namespace {

const LocalFunctionTable* current_local_table = nullptr;

}  // namespace

std::string CountMessage(const char* file, int line, const char* what, int declared) {
  return std::string("Run-time Error: File: ") + file + " Line: " + std::to_string(line) +
         " Column: 1 The function \"" + file +
         "\" was called with more than the declared number of " + what + " (" +
         std::to_string(declared) + ").";
}

void CheckCounts(int nlhs, int nrhs, int max_outputs, int max_inputs, const Value& outputs_message,
                 const Value& inputs_message) {
  if (nlhs > max_outputs) mlfError(outputs_message);
  if (max_inputs >= 0 && nrhs > max_inputs) mlfError(inputs_message);
}

const LocalFunctionTable* mclCurrentLocalFunctionTable() {
  return current_local_table;
}

const LocalFunctionTable* mclSetCurrentLocalFunctionTable(const LocalFunctionTable* table) {
  const LocalFunctionTable* previous = current_local_table;
  current_local_table = table;
  return previous;
}

void mclValidateError(int kind, const char* name) {
  if (kind == 0) {
    Raise(std::string("Undefined variable \"") + name + "\": the input argument was not passed.");
  }
  Raise(std::string("Undefined variable \"") + name + "\": it is used before it is defined.");
}

bool mclUninitWarning(const char* name) {
  Warn(std::string("Variable \"") + name + "\" is used before it was assigned a value.");
  return true;
}

void mclValidateOutputWarning(const char* output, const char* function) {
  Warn(std::string("Output \"") + output + "\" of \"" + function + "\" was never assigned.");
}

const Value& mclVa(const Value& v, const char* name) {
  if (v.absent()) mclValidateError(0, name);
  if (v.unassigned()) mclUninitWarning(name);
  return v;
}

const Value& mclVv(const Value& v, const char* name) {
  if (v.absent()) mclValidateError(1, name);
  if (v.unassigned()) mclUninitWarning(name);
  return v;
}

}  // namespace dk
