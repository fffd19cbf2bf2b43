#include "figsupport/guidata.h"

#include "base/errors.h"
#include "frame/frame.h"
#include "frame/module.h"
#include "gui/graphics.h"
#include "runtime/arrays.h"
#include "runtime/last_error.h"
#include "runtime/ops.h"

namespace dk {

namespace {

const LocalFunctionRow kLocalFunctions[] = {
    {"getParentFigure", mlxGuidata_getParentFigure, 1, 1},
};

}  // namespace

const LocalFunctionTable local_function_table_guidata = {1, kLocalFunctions};

namespace {

ModuleConstants constants("guidata");

struct Constants {
  Value outputs_message, inputs_message;
  Value parent_outputs_message, parent_inputs_message;
  Value prop_name;
  Value one, two, zero;
  Value empty;
  Value bad_handle;
  Value figure, type, parent;
} k;

// A count constant as the argument checks take it.
int Count(const Value& n) {
  return static_cast<int>(n.num(0));
}

Value Mguidata(int nargout, const Value& h, const Value& data_in) {
  LocalFunctionScope scope(&local_function_table_guidata);
  const int nargin = mclNargin(h, data_in);
  Value data = Value::Unassigned();
  Value PROP_NAME = Value::Unassigned();
  Value fig = Value::Unassigned();

  PROP_NAME = k.prop_name;
  mlfError(mlfNargchk(Count(k.one), Count(k.two), nargin, "guidata"));
  if (nargin == 2) mlfError(mlfNargoutchk(Count(k.zero), Count(k.zero), nargout, "guidata"));

  fig = k.empty;
  if (mlfTobool(mlfIshandle(mclVa(h, "h"))) && mclLengthInt(mclVa(h, "h")) == 1) {
    fig = mlfGuidata_getParentFigure(mclVa(h, "h"));
  }
  if (mlfIsempty(mclVv(fig, "fig"))) mlfError(k.bad_handle);

  if (nargin == 1) {
    data = mlfGetappdata(mclVv(fig, "fig"), mclVv(PROP_NAME, "PROP_NAME"));
  } else {
    mlfSetappdata(mclVv(fig, "fig"), mclVv(PROP_NAME, "PROP_NAME"), mclVa(data_in, "data_in"));
  }
  return mclValidateOutput(data, nargout, "data", "guidata");
}

Value Mguidata_getParentFigure(int nargout, const Value& fig_in) {
  LocalFunctionScope scope(&local_function_table_guidata);
  Value fig = mclVa(fig_in, "fig");  // the output shares the input's name
  while (!mlfIsempty(mclVv(fig, "fig")) &&
         mlfTobool(mclNot(mlfStrcmp(k.figure, mlfNGet(1, mclVv(fig, "fig"), k.type))))) {
    fig = mlfNGet(1, mclVv(fig, "fig"), k.parent);
  }
  return mclValidateOutput(fig, nargout, "fig", "guidata/getParentFigure");
}

}  // namespace

void InitializeModule_guidata() {
  ModuleConstants& c = constants;
  c.String(&k.outputs_message, CountMessage("guidata", 1, "outputs", 1));
  c.String(&k.inputs_message, CountMessage("guidata", 1, "inputs", 2));
  c.String(&k.parent_outputs_message, CountMessage("guidata/getParentFigure", 99, "outputs", 1));
  c.String(&k.parent_inputs_message, CountMessage("guidata/getParentFigure", 99, "inputs", 1));
  c.String(&k.prop_name, "UsedByGUIData_m");
  c.Double(&k.one, 1);
  c.Double(&k.two, 2);
  c.Double(&k.zero, 0);
  c.DoubleVector(&k.empty, 0, 0, {});
  c.String(&k.bad_handle, "H must be the handle to a figure or figure descendent.");
  c.String(&k.figure, "figure");
  c.String(&k.type, "type");
  c.String(&k.parent, "parent");
}

void TerminateModule_guidata() {
  constants.ReleaseAll();
}

void mlxGuidata(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  FixedEntry<2>(nlhs, plhs, nrhs, prhs, 1, k.outputs_message, k.inputs_message, Mguidata);
}

Value mlfNGuidata(int nargout, const Value& h, const Value& data_in) {
  return Mguidata(nargout, h, data_in);
}

Value mlfGuidata(const Value& h, const Value& data_in) {
  return Mguidata(1, h, data_in);
}

void mlfVGuidata(const Value& h, const Value& data_in) {
  Mguidata(0, h, data_in);
}

void mlxGuidata_getParentFigure(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  FixedEntry<1>(nlhs, plhs, nrhs, prhs, 1, k.parent_outputs_message, k.parent_inputs_message,
                Mguidata_getParentFigure);
}

Value mlfGuidata_getParentFigure(const Value& fig) {
  return Mguidata_getParentFigure(1, fig);
}

}  // namespace dk
