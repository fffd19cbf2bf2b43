#include "figsupport/openfig.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/errors.h"
#include "figsupport/movegui.h"
#include "frame/frame.h"
#include "frame/module.h"
#include "gui/figure_file.h"
#include "gui/graphics.h"
#include "runtime/arrays.h"
#include "runtime/last_error.h"
#include "runtime/ops.h"
#include "runtime/paths.h"

namespace dk {

const LocalFunctionTable local_function_table_openfig = {0, nullptr};

namespace {

ModuleConstants constants("openfig");

struct Constants {
  Value outputs_message, inputs_message;
  Value one, two, token_length, root;
  Value new_policy, fig_ext, bad_ext, suffix, reuse_policy, bad_policy, onscreen, visible, on;
} k;

int Count(const Value& v) {
  return static_cast<int>(v.num(0));
}

// The elements of `figs` that are still live graphics handles, in their order.
Value LiveHandles(const Value& figs) {
  const Value live = mlfIshandle(figs);
  std::vector<double> at;
  for (std::size_t i = 0; i < live.numel(); ++i) {
    if (live.num(i) != 0) at.push_back(static_cast<double>(i + 1));
  }
  if (at.empty()) return Value::Empty();
  return mclArrayRef1(figs, Value::Row(at));
}

Value Mopenfig(int nargout, const Value& filename_in, const Value& policy_in) {
  LocalFunctionScope scope(&local_function_table_openfig);
  const int nargin = mclNargin(filename_in, policy_in);
  Value fig = Value::Unassigned();
  Value path = Value::Unassigned();
  Value name = Value::Unassigned();
  Value ext = Value::Unassigned();
  Value TOKEN = Value::Unassigned();
  Value figs = Value::Unassigned();
  Value filename = filename_in;
  Value policy = policy_in;

  mlfError(mlfNargchk(Count(k.one), Count(k.two), nargin, "openfig"));
  if (nargin == 1) policy = k.new_policy;

  FileParts parts = mlfFileparts(mclVa(filename, "filename"));
  path = std::move(parts.path);
  name = std::move(parts.name);
  ext = std::move(parts.ext);
  if (mlfIsempty(mclVv(ext, "ext"))) {
    ext = k.fig_ext;
  } else if (!mlfIsequal(mclVv(ext, "ext"), k.fig_ext)) {
    mlfError(k.bad_ext);
  }
  filename = mlfFullfile(mclVv(path, "path"), mlfHorzcat({mclVv(name, "name"), ext}));

  TOKEN = mlfHorzcat({mclVv(name, "name"), k.suffix});
  const double end = std::min(static_cast<double>(mclLengthInt(TOKEN)), k.token_length.num(0));
  TOKEN = mclArrayRef1(mclVv(TOKEN, "TOKEN"), mlfColon(k.one, Value::Scalar(end)));

  figs = mlfGetappdata(k.root, TOKEN);
  figs = LiveHandles(mclVv(figs, "figs"));

  if (mclSwitchCompare(mclVa(policy, "policy"), k.new_policy)) {
    fig = mlfNHgload(1, filename);
    const Value next = mclPlus(Value::Scalar(static_cast<double>(mclLengthInt(figs))), k.one);
    mlfIndexAssign(&figs, "(?)", next, mclVv(fig, "fig"));
  } else if (mclSwitchCompare(policy, k.reuse_policy)) {
    if (mlfIsempty(mclVv(figs, "figs"))) {
      fig = mlfNHgload(1, filename);
      figs = fig;
    }
    fig = mclArrayRef1(figs, Value::Scalar(static_cast<double>(mclLengthInt(figs))));
  } else {
    mlfError(k.bad_policy);
  }

  // The list is stored before the figure is moved and raised.
  mlfSetappdata(k.root, TOKEN, figs);
  mlfMovegui({mclVv(fig, "fig"), k.onscreen});
  if (mlfIsequal(mlfNGet(1, fig, k.visible), k.on)) mlfNFigure(0, fig);
  return mclValidateOutput(fig, nargout, "fig", "openfig");
}

}  // namespace

void InitializeModule_openfig() {
  ModuleConstants& c = constants;
  c.String(&k.outputs_message, CountMessage("openfig", 1, "outputs", 1));
  c.String(&k.inputs_message, CountMessage("openfig", 1, "inputs", 2));
  c.Double(&k.one, 1);
  c.Double(&k.two, 2);
  c.Double(&k.token_length, 31);
  c.Double(&k.root, 0);
  c.String(&k.new_policy, "new");
  c.String(&k.fig_ext, ".fig");
  c.String(&k.bad_ext, "Argument must be a .fig file");
  c.String(&k.suffix, "_SINGLETON_handle");
  c.String(&k.reuse_policy, "reuse");
  c.String(&k.bad_policy, "Second input argument must be 'new' or 'reuse'.");
  c.String(&k.onscreen, "onscreen");
  c.String(&k.visible, "visible");
  c.String(&k.on, "on");
}

void TerminateModule_openfig() {
  constants.ReleaseAll();
}

void mlxOpenfig(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  FixedEntry<2>(nlhs, plhs, nrhs, prhs, 1, k.outputs_message, k.inputs_message, Mopenfig);
}

Value mlfOpenfig(const Value& filename, const Value& policy) {
  return Mopenfig(1, filename, policy);
}

}  // namespace dk
