#include "figsupport/iskeyword.h"

#include <cstddef>

#include "frame/frame.h"
#include "frame/module.h"
#include "runtime/arrays.h"

namespace dk {

const LocalFunctionTable local_function_table_iskeyword = {0, nullptr};

namespace {

constexpr std::size_t kKeywordCount = 17;
constexpr const char* kKeywords[kKeywordCount] = {
    "break",  "case", "catch",     "continue",   "else",   "elseif", "end", "for",  "function",
    "global", "if",   "otherwise", "persistent", "return", "switch", "try", "while"};

ModuleConstants constants("iskeyword");

struct Constants {
  Value outputs_message, inputs_message;
  Value words[kKeywordCount];
  Value keywords;  // the words as a 17-by-1 cell
} k;

Value Miskeyword(int nargout, const Value& s) {
  LocalFunctionScope scope(&local_function_table_iskeyword);
  const int nargin = mclNargin(s);
  Value L = Value::Unassigned();
  L = k.keywords;
  if (nargin != 0) L = mlfAny(mlfStrcmp(mclVa(s, "s"), mclVv(L, "L")));
  return mclValidateOutput(L, nargout, "L", "iskeyword");
}

}  // namespace

void InitializeModule_iskeyword() {
  ModuleConstants& c = constants;
  c.String(&k.outputs_message, CountMessage("iskeyword", 1, "outputs", 1));
  c.String(&k.inputs_message, CountMessage("iskeyword", 1, "inputs", 1));
  for (std::size_t i = 0; i < kKeywordCount; ++i) c.String(&k.words[i], kKeywords[i]);
  const Value* w = k.words;
  c.CellVector(&k.keywords, kKeywordCount, 1,
               {&w[0], &w[1], &w[2], &w[3], &w[4], &w[5], &w[6], &w[7], &w[8], &w[9], &w[10],
                &w[11], &w[12], &w[13], &w[14], &w[15], &w[16]});
}

void TerminateModule_iskeyword() {
  constants.ReleaseAll();
}

void mlxIskeyword(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  FixedEntry<1>(nlhs, plhs, nrhs, prhs, 1, k.outputs_message, k.inputs_message, Miskeyword);
}

Value mlfIskeyword(const Value& s) {
  return Miskeyword(1, s);
}

}  // namespace dk
