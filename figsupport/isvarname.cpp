#include "figsupport/isvarname.h"

#include "figsupport/iskeyword.h"
#include "frame/frame.h"
#include "frame/module.h"
#include "runtime/arrays.h"
#include "runtime/ops.h"

namespace dk {

const LocalFunctionTable local_function_table_isvarname = {0, nullptr};

namespace {

// Names longer than this are not accepted.
constexpr std::size_t kMaxNameLength = 31;

ModuleConstants constants("isvarname");

struct Constants {
  Value outputs_message, inputs_message;
  Value underscore, zero, nine;
  Value one;
} k;

// Whether the first character is a letter. A one-row text without characters has no
// first character and so gives false (it is never a valid name).
Value FirstIsLetter(const Value& s) {
  if (mlfIsempty(s)) return Value::Bool(false);
  return mlfIsletter(mclArrayRef1(s, k.one));
}

Value Misvarname(int nargout, const Value& s) {
  LocalFunctionScope scope(&local_function_table_isvarname);
  Value t = Value::Unassigned();
  // The shape test: a character array of one row and at most 31 characters.
  t = mclAnd(mclAnd(mlfIschar(mclVa(s, "s")), mclEq(mlfSize(mclVa(s, "s"), k.one), k.one)),
             Value::Bool(mclLengthInt(mclVa(s, "s")) <= kMaxNameLength));
  if (mlfTobool(mclVv(t, "t"))) {
    const Value& text = mclVa(s, "s");
    const Value allowed = mclOr(mclOr(mlfIsletter(text), mclEq(text, k.underscore)),
                                mclAnd(mclLe(k.zero, text), mclLe(text, k.nine)));
    t = mclAnd(FirstIsLetter(text), mlfAll(allowed));
    // Asked also when the characters already failed.
    t = mclAnd(mclVv(t, "t"), mclNot(mlfIskeyword(text)));
  }
  return mclValidateOutput(t, nargout, "t", "isvarname");
}

}  // namespace

void InitializeModule_isvarname() {
  ModuleConstants& c = constants;
  c.String(&k.outputs_message, CountMessage("isvarname", 1, "outputs", 1));
  c.String(&k.inputs_message, CountMessage("isvarname", 1, "inputs", 1));
  c.String(&k.underscore, "_");
  c.String(&k.zero, "0");
  c.String(&k.nine, "9");
  c.Double(&k.one, 1);
}

void TerminateModule_isvarname() {
  constants.ReleaseAll();
}

void mlxIsvarname(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  FixedEntry<1>(nlhs, plhs, nrhs, prhs, 1, k.outputs_message, k.inputs_message, Misvarname);
}

Value mlfIsvarname(const Value& s) {
  return Misvarname(1, s);
}

}  // namespace dk
