#include "figsupport/guihandles.h"

#include <cstddef>

#include "base/errors.h"
#include "figsupport/isvarname.h"
#include "frame/frame.h"
#include "frame/module.h"
#include "gui/graphics.h"
#include "runtime/arrays.h"
#include "runtime/last_error.h"
#include "runtime/ops.h"

namespace dk {

namespace {

const LocalFunctionRow kLocalFunctions[] = {
    {"getParentFigure", mlxGuihandles_getParentFigure, 1, 1},
    {"createHandles", mlxGuihandles_createHandles, 1, 1},
};

}  // namespace

const LocalFunctionTable local_function_table_guihandles = {2, kLocalFunctions};

namespace {

ModuleConstants constants("guihandles");

struct Constants {
  Value outputs_message, inputs_message;
  Value parent_outputs_message, parent_inputs_message;
  Value create_outputs_message, create_inputs_message;
  Value empty;
  Value bad_handle;
  Value figure, type, parent, tag;
} k;

Value Mguihandles(int nargout, const Value& h) {
  LocalFunctionScope scope(&local_function_table_guihandles);
  const int nargin = mclNargin(h);
  Value handles = Value::Unassigned();
  Value fig = Value::Unassigned();

  if (nargin == 1) {
    fig = k.empty;
    if (mlfTobool(mlfIshandle(mclVa(h, "h"))) && mclLengthInt(mclVa(h, "h")) == 1) {
      fig = mlfGuihandles_getParentFigure(mclVa(h, "h"));
    }
    if (mlfIsempty(mclVv(fig, "fig"))) mlfError(k.bad_handle);
  } else {
    fig = mlfGcf();
  }
  handles = mlfGuihandles_createHandles(mclVv(fig, "fig"));
  return mclValidateOutput(handles, nargout, "handles", "guihandles");
}

Value Mguihandles_getParentFigure(int nargout, const Value& fig_in) {
  LocalFunctionScope scope(&local_function_table_guihandles);
  Value fig = mclVa(fig_in, "fig");  // the output shares the input's name
  while (!mlfIsempty(mclVv(fig, "fig")) &&
         mlfTobool(mclNot(mlfStrcmp(k.figure, mlfNGet(1, mclVv(fig, "fig"), k.type))))) {
    fig = mlfNGet(1, mclVv(fig, "fig"), k.parent);
  }
  return mclValidateOutput(fig, nargout, "fig", "guihandles/getParentFigure");
}

Value Mguihandles_createHandles(int nargout, const Value& fig) {
  LocalFunctionScope scope(&local_function_table_guihandles);
  Value handles = Value::Unassigned();
  Value all_h = Value::Unassigned();
  Value this_h = Value::Unassigned();
  Value tag = Value::Unassigned();
  Value prev_h = Value::Unassigned();

  all_h = mlfFindall(mclVa(fig, "fig"));
  handles = k.empty;
  const std::size_t count = mclVv(all_h, "all_h").numel();
  for (std::size_t i = 1; i <= count; ++i) {
    this_h = mlfScalar(mclIntArrayRef1(all_h, i));
    tag = mlfNGet(1, mclVv(this_h, "this_h"), k.tag);
    if (mlfIsempty(mclVv(tag, "tag"))) continue;
    if (!mlfTobool(mlfIsvarname(mclVv(tag, "tag")))) continue;
    if (mlfTobool(mlfIsfield(mclVv(handles, "handles"), tag))) {
      prev_h = mlfGetfield(handles, tag);
    } else {
      prev_h = k.empty;
    }
    handles = mlfSetfield(handles, tag, mlfHorzcat({mclVv(prev_h, "prev_h"), this_h}));
  }
  return mclValidateOutput(handles, nargout, "handles", "guihandles/createHandles");
}

}  // namespace

void InitializeModule_guihandles() {
  ModuleConstants& c = constants;
  c.String(&k.outputs_message, CountMessage("guihandles", 1, "outputs", 1));
  c.String(&k.inputs_message, CountMessage("guihandles", 1, "inputs", 1));
  c.String(&k.parent_outputs_message, CountMessage("guihandles/getParentFigure", 78, "outputs", 1));
  c.String(&k.parent_inputs_message, CountMessage("guihandles/getParentFigure", 78, "inputs", 1));
  c.String(&k.create_outputs_message, CountMessage("guihandles/createHandles", 86, "outputs", 1));
  c.String(&k.create_inputs_message, CountMessage("guihandles/createHandles", 86, "inputs", 1));
  c.DoubleVector(&k.empty, 0, 0, {});
  c.String(&k.bad_handle, "H must be the handle to a figure or figure descendent.");
  c.String(&k.figure, "figure");
  c.String(&k.type, "type");
  c.String(&k.parent, "parent");
  c.String(&k.tag, "tag");
}

void TerminateModule_guihandles() {
  constants.ReleaseAll();
}

void mlxGuihandles(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  FixedEntry<1>(nlhs, plhs, nrhs, prhs, 1, k.outputs_message, k.inputs_message, Mguihandles);
}

Value mlfGuihandles(const Value& h) {
  return Mguihandles(1, h);
}

void mlxGuihandles_getParentFigure(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  FixedEntry<1>(nlhs, plhs, nrhs, prhs, 1, k.parent_outputs_message, k.parent_inputs_message,
                Mguihandles_getParentFigure);
}

Value mlfGuihandles_getParentFigure(const Value& fig) {
  return Mguihandles_getParentFigure(1, fig);
}

void mlxGuihandles_createHandles(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  FixedEntry<1>(nlhs, plhs, nrhs, prhs, 1, k.create_outputs_message, k.create_inputs_message,
                Mguihandles_createHandles);
}

Value mlfGuihandles_createHandles(const Value& fig) {
  return Mguihandles_createHandles(1, fig);
}

}  // namespace dk
