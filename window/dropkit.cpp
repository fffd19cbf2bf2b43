#include "window/dropkit.h"

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "base/errors.h"
#include "figsupport/guidata.h"
#include "figsupport/guihandles.h"
#include "figsupport/openfig.h"
#include "frame/module.h"
#include "gui/graphics.h"
#include "random/random.h"
#include "runtime/builtins.h"
#include "runtime/last_error.h"
#include "runtime/ops.h"
#include "runtime/text.h"

namespace dk {

namespace {

const LocalFunctionRow kLocalFunctions[] = {
    {"OutBox_Callback", mlxDropkit_OutBox_Callback, -4, -1},
    {"NumBox_Callback", mlxDropkit_NumBox_Callback, -4, -1},
    {"RepBox_Callback", mlxDropkit_RepBox_Callback, -4, -1},
    {"InitBox_Callback", mlxDropkit_InitBox_Callback, -4, -1},
};

}  // namespace

const LocalFunctionTable local_function_table_Dropkit = {4, kLocalFunctions};

namespace {

ModuleConstants constants("Dropkit");

struct Constants {
  Value dropkit, reuse, color, root, default_background, one;
  Value out_box_message, num_box_message, rep_box_message, init_box_message;
  Value tag, string, seed_in_force, no_seed, seed_prefix;
} k;

Value MDropkit(int nargout, const Value& varargin_in) {
  LocalFunctionScope scope(&local_function_table_Dropkit);
  // A body works on private copies of its inputs.
  const Value varargin = varargin_in;  // NOLINT(performance-unnecessary-copy-initialization)
  Value varargout = Value::Cell(1, 0);
  const int nargin = static_cast<int>(varargin.numel());
  if (nargin == 0) {
    const Value fig = mlfOpenfig(k.dropkit, k.reuse);
    mlfNSet(0, fig, k.color, mlfNGet(1, k.root, k.default_background));
    const Value handles = mlfGuihandles(fig);
    mlfNGuidata(0, fig, handles);
    ShowSeedInForce();
    if (nargout > 0) mlfIndexAssign(&varargout, "{?}", k.one, fig);
  } else if (mlfTobool(mclFeval(1, mlxIschar, {varargin.cell(0)})[0])) {
    // The switchyard: call the named function, catching any error.
    try {
      std::vector<Value> args;
      for (std::size_t i = 1; i < varargin.numel(); ++i) args.push_back(varargin.cell(i));
      const std::vector<Value> outputs = mlfFeval(nargout, varargin.cell(0), std::move(args));
      Value filled = varargout;
      for (int i = 0; i < nargout; ++i) {
        if (outputs[static_cast<std::size_t>(i)].absent()) {
          Raise("\"" + EscapeForMessage(varargin.cell(0).utf8()) + "\" did not assign output " +
                std::to_string(i + 1) + ".");
        }
        mlfIndexAssign(&filled, "{?}", Value::Scalar(i + 1), outputs[static_cast<std::size_t>(i)]);
      }
      varargout = std::move(filled);
    } catch (const std::bad_alloc&) {
      SetLastError("Out of memory while running \"" + EscapeForMessage(varargin.cell(0).utf8()) +
                   "\".");
      mlfDisp(mlfLasterr());
    } catch (const std::exception& e) {
      SetLastError(e.what());
      mlfDisp(mlfLasterr());
    }
  }
  return varargout;
}

// What the four placeholder callbacks share: they show their message; the callback
// object, the event data, the handle structure and any further inputs are accepted and
// not used; no output is assigned.
Value PlaceholderCallback(const Value& message) {
  LocalFunctionScope scope(&local_function_table_Dropkit);
  mlfDisp(message);
  return Value::Cell(1, 0);
}

using CallbackBody = Value (*)(int, const Value&, const Value&, const Value&, const Value&);

// The array-vector entry of a callback: any inputs, any outputs. The first three inputs
// (absent when not given) and the tail of the rest go to the body.
void CallbackEntry(int nlhs, Value plhs[], int nrhs, Value prhs[], CallbackBody body,
                   const char* name) {
  Value fixed[3];
  for (int i = 0; i < 3 && i < nrhs; ++i) fixed[i] = prhs[i];
  const Value varargin = mclCreateVararginCell(nrhs, prhs, 3);
  mclAssignVarargoutCell(nlhs, plhs, body(nlhs, fixed[0], fixed[1], fixed[2], varargin), name);
}

// The direct entry of a callback.
Value CallbackDirect(const OutputList& outputs, const Value& h, const Value& eventdata,
                     const Value& handles, std::vector<Value> tail, CallbackBody body,
                     const char* name) {
  const int nargout = static_cast<int>(outputs.size());
  const Value cell = body(nargout, h, eventdata, handles, mclVarargin(std::move(tail)));
  return mlfAssignOutputs(cell, outputs, nargout, name);
}

}  // namespace

Value MDropkit_OutBox_Callback(int, const Value&, const Value&, const Value&, const Value&) {
  return PlaceholderCallback(k.out_box_message);
}
Value MDropkit_NumBox_Callback(int, const Value&, const Value&, const Value&, const Value&) {
  return PlaceholderCallback(k.num_box_message);
}
Value MDropkit_RepBox_Callback(int, const Value&, const Value&, const Value&, const Value&) {
  return PlaceholderCallback(k.rep_box_message);
}
Value MDropkit_InitBox_Callback(int, const Value&, const Value&, const Value&, const Value&) {
  return PlaceholderCallback(k.init_box_message);
}

void ShowSeedInForce() {
  if (constants.count() == 0 || !GraphicsInstalled()) return;  // no window to show it in
  const Value labels = mlfFindobj(k.tag, k.seed_in_force);
  if (labels.empty()) return;
  const std::optional<double> seed = SeedInForce();
  // Each group drawn is one permutation: with the count, the seed says how to draw the
  // next group again.
  std::string line = seed ? k.seed_prefix.utf8() + FormatNumber(*seed) : k.no_seed.utf8();
  if (const std::uint64_t drawn = DrawnSinceRestart(); seed && drawn > 0)
    line += ", " + std::to_string(drawn) + (drawn == 1 ? " group" : " groups") + " drawn since";
  // Shown after every command: set only when it changed.
  if (mlfNGet(1, labels, k.string).utf8() != line) mlfNSet(0, labels, k.string, Value::Text(line));
}

void InitializeModule_Dropkit() {
  ModuleConstants& c = constants;
  c.String(&k.dropkit, "Dropkit");
  c.String(&k.reuse, "reuse");
  c.String(&k.color, "Color");
  c.Double(&k.root, 0);
  c.String(&k.default_background, "defaultUicontrolBackgroundColor");
  c.Double(&k.one, 1);
  c.String(&k.out_box_message, "OutBox Callback not implemented yet.");
  c.String(&k.num_box_message, "NumBox Callback not implemented yet.");
  c.String(&k.rep_box_message, "RepBox Callback not implemented yet.");
  c.String(&k.init_box_message, "InitBox Callback not implemented yet.");
  c.String(&k.tag, "Tag");
  c.String(&k.string, "String");
  c.String(&k.seed_in_force, "SeedInForce");
  c.String(&k.no_seed, "Seed in force: none (a fresh draw each time)");
  c.String(&k.seed_prefix, "Seed in force: ");
}

void TerminateModule_Dropkit() {
  constants.ReleaseAll();
}

void mlxDropkit(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  const Value varargin = mclCreateVararginCell(nrhs, prhs);
  mclAssignVarargoutCell(nlhs, plhs, MDropkit(nlhs, varargin), "Dropkit");
}

Value mlfNDropkit(int nargout, const OutputList& outputs, std::vector<Value> tail) {
  const int asked = nargout + static_cast<int>(outputs.size());
  return mlfAssignOutputs(MDropkit(asked, mclVarargin(std::move(tail))), outputs, asked, "Dropkit");
}

Value mlfDropkit(const OutputList& outputs, std::vector<Value> tail) {
  return mlfNDropkit(0, outputs, std::move(tail));
}

void mlfVDropkit(std::vector<Value> tail) {
  MDropkit(0, mclVarargin(std::move(tail)));
}

void mlxDropkit_OutBox_Callback(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  CallbackEntry(nlhs, plhs, nrhs, prhs, MDropkit_OutBox_Callback, "Dropkit/OutBox_Callback");
}
void mlxDropkit_NumBox_Callback(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  CallbackEntry(nlhs, plhs, nrhs, prhs, MDropkit_NumBox_Callback, "Dropkit/NumBox_Callback");
}
void mlxDropkit_RepBox_Callback(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  CallbackEntry(nlhs, plhs, nrhs, prhs, MDropkit_RepBox_Callback, "Dropkit/RepBox_Callback");
}
void mlxDropkit_InitBox_Callback(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  CallbackEntry(nlhs, plhs, nrhs, prhs, MDropkit_InitBox_Callback, "Dropkit/InitBox_Callback");
}

Value mlfDropkit_OutBox_Callback(const OutputList& outputs, const Value& h, const Value& eventdata,
                                 const Value& handles, std::vector<Value> tail) {
  return CallbackDirect(outputs, h, eventdata, handles, std::move(tail), MDropkit_OutBox_Callback,
                        "Dropkit/OutBox_Callback");
}
Value mlfDropkit_NumBox_Callback(const OutputList& outputs, const Value& h, const Value& eventdata,
                                 const Value& handles, std::vector<Value> tail) {
  return CallbackDirect(outputs, h, eventdata, handles, std::move(tail), MDropkit_NumBox_Callback,
                        "Dropkit/NumBox_Callback");
}
Value mlfDropkit_RepBox_Callback(const OutputList& outputs, const Value& h, const Value& eventdata,
                                 const Value& handles, std::vector<Value> tail) {
  return CallbackDirect(outputs, h, eventdata, handles, std::move(tail), MDropkit_RepBox_Callback,
                        "Dropkit/RepBox_Callback");
}
Value mlfDropkit_InitBox_Callback(const OutputList& outputs, const Value& h, const Value& eventdata,
                                  const Value& handles, std::vector<Value> tail) {
  return CallbackDirect(outputs, h, eventdata, handles, std::move(tail), MDropkit_InitBox_Callback,
                        "Dropkit/InitBox_Callback");
}

}  // namespace dk
