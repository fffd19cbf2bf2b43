#include "figsupport/movegui.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "base/errors.h"
#include "frame/frame.h"
#include "frame/module.h"
#include "gui/graphics.h"
#include "runtime/arrays.h"
#include "runtime/builtins.h"
#include "runtime/last_error.h"
#include "runtime/numeric.h"
#include "runtime/ops.h"
#include "runtime/text.h"

namespace dk {

namespace {

const LocalFunctionRow local_functions_movegui[] = {
    {"get_parent_fig", mlxMovegui_get_parent_fig, 1, 1},
};

}  // namespace

const LocalFunctionTable local_function_table_movegui = {1, local_functions_movegui};

namespace {

ModuleConstants constants("movegui");

struct Constants {
  Value north, south, east, west, northeast, southeast, northwest, southwest, center, onscreen;
  Value positions;  // the ten names above, a 1-by-10 cell
  Value zero, one, two, three, four, six, twenty_four;
  Value origin;  // [0 0]
  Value empty_text, empty;
  Value exact, activepositionproperty, units, pixels, position, outerposition, screensize, type,
      figure, parent;
  Value handle_required, unrecognized_position, unrecognized_input;
  Value outputs_message, parent_fig_outputs_message, parent_fig_inputs_message;
} k;

// Where a named place puts the window's outer corner along one axis: at the screen's
// low edge, halfway, or as far as the window still fits.
enum class Share { kNone, kHalf, kAll };

struct Place {
  const Value* name;
  Share left;
  Share bottom;
};

// The named places but "onscreen", which depends on where the window is now.
const Place kPlaces[] = {
    {&k.north, Share::kHalf, Share::kAll},     {&k.south, Share::kHalf, Share::kNone},
    {&k.east, Share::kAll, Share::kHalf},      {&k.west, Share::kNone, Share::kHalf},
    {&k.northeast, Share::kAll, Share::kAll},  {&k.southeast, Share::kAll, Share::kNone},
    {&k.northwest, Share::kNone, Share::kAll}, {&k.southwest, Share::kNone, Share::kNone},
    {&k.center, Share::kHalf, Share::kHalf},
};

// `share` of the free space `room` (the screen's size less the window's).
Value Part(Share share, const Value& room) {
  switch (share) {
    case Share::kNone:
      return k.zero;
    case Share::kHalf:
      return mclMrdivide(room, k.two);
    case Share::kAll:
      return room;
  }
  return k.zero;
}

// True when the element count `numel` is `count`.
bool Equal(const Value& numel, const Value& count) {
  return mlfTobool(mclEq(numel, count));
}

// Sorts the arguments into the figure to move and the place to move it to; a later
// argument of a kind replaces an earlier one.
void ClassifyArguments(const Value& varargin, int nargin, Value* fig, Value* position) {
  for (int i = 1; i <= nargin; ++i) {
    const Value arg = mlfIndexRef(varargin, "{?}", mlfScalar(i));
    const Value numel = mlfProd(mclFeval(1, mlxSize, {arg})[0]);
    if (mlfTobool(mclFeval(1, mlxIshandle, {arg})[0]) && Equal(numel, k.one)) {
      *fig = mclFeval(1, mlxMovegui_get_parent_fig, {arg})[0];
      if (mlfIsempty(*fig)) mlfError(k.handle_required);
    } else if (mlfTobool(mclFeval(1, mlxIsstr, {arg})[0])) {
      *position = arg;
      if (mlfIsempty(mlfStrmatch(*position, k.positions, k.exact))) {
        mlfError(k.unrecognized_position);
      }
    } else if (mlfTobool(mclFeval(1, mlxIsnumeric, {arg})[0]) && Equal(numel, k.two)) {
      *position = arg;
    } else if (!mlfIsempty(mlfNGcbo(1)) && i == 2) {
      // A callback passes its own second argument along; it says nothing about placing.
    } else {
      mlfError(k.unrecognized_input);
    }
  }
}

// The new outer corner [left bottom] for `position`, with `room_w` and `room_h` the
// screen's size less the window's (capped) outer size and `oldpos` the outer
// rectangle now.
Value Corner(const Value& position, const Value& oldpos, const Value& room_w, const Value& room_h) {
  if (mlfTobool(mlfIsnumeric(position))) {
    // A negative coordinate measures from the far edge of the screen to the window's.
    Value newpos = position;
    if (mclLtBool(mclArrayRef1(newpos, k.one), k.zero)) {
      mclArrayAssign1(&newpos, mclPlus(room_w, mclArrayRef1(newpos, k.one)), k.one);
    }
    if (mclLtBool(mclArrayRef1(newpos, k.two), k.zero)) {
      mclArrayAssign1(&newpos, mclPlus(room_h, mclArrayRef1(newpos, k.two)), k.two);
    }
    return newpos;
  }
  if (mclSwitchCompare(position, k.onscreen)) {
    const Value corner = mclArrayRef1(oldpos, mlfColon(k.one, k.two));
    return mlfMin(mlfMax(corner, k.origin), mlfHorzcat({room_w, room_h}));
  }
  const auto place = std::find_if(std::begin(kPlaces), std::end(kPlaces), [&](const Place& p) {
    return mclSwitchCompare(position, *p.name);
  });
  if (place == std::end(kPlaces)) mlfError(k.unrecognized_position);
  const Value newpos = mlfHorzcat({Part(place->left, room_w), Part(place->bottom, room_h)});
  if (place->name == &k.north) mclPrintArray(newpos, "newpos");
  return newpos;
}

void Mmovegui(const Value& varargin) {
  LocalFunctionScope scope(&local_function_table_movegui);
  const int nargin = static_cast<int>(varargin.numel());  // the length of the tail
  mlfError(mlfNargchk(0, 3, nargin, "movegui"));

  Value position = k.empty_text;
  Value fig = k.empty;
  ClassifyArguments(varargin, nargin, &fig, &position);
  if (mlfIsempty(fig)) {
    fig = mlfGcbf();
    if (mlfIsempty(fig)) fig = mlfGcf();
  }
  if (mlfIsempty(position)) position = k.onscreen;

  // Geometry is read in pixels; the root's units are switched only while its size is read.
  mlfDrawnow();
  const Value oldposmode = mlfNGet(1, fig, k.activepositionproperty);
  const Value oldfunits = mlfNGet(1, fig, k.units);
  mlfNSet(0, fig, k.units, k.pixels);
  const Value inpos = mlfNGet(1, fig, k.position);
  const Value oldpos = mlfNGet(1, fig, k.outerposition);
  const Value old0units = mlfNGet(1, k.zero, k.units);
  mlfNSet(0, k.zero, k.units, k.pixels);
  const Value screensize = mlfNGet(1, k.zero, k.screensize);
  mlfNSet(0, k.zero, k.units, old0units);

  const Value swidth = mlfScalar(mclIntArrayRef1(screensize, 3));
  const Value sheight = mlfScalar(mclIntArrayRef1(screensize, 4));
  Value fwidth = mlfMin(mclArrayRef1(oldpos, k.three), swidth);
  Value fheight = mlfMin(mclArrayRef1(oldpos, k.four), sheight);
  Value newpos = Corner(position, oldpos, mclMinus(swidth, fwidth), mclMinus(sheight, fheight));

  // A drawing area larger than its window both ways means the window's frame was not
  // counted: leave room for it.
  if (mlfTobool(mclGt(mclArrayRef1(inpos, k.three), mclArrayRef1(oldpos, k.three))) &&
      mlfTobool(mclGt(mclArrayRef1(inpos, k.four), mclArrayRef1(oldpos, k.four)))) {
    fwidth = mclPlus(fwidth, k.six);
    fheight = mclPlus(fheight, k.twenty_four);
  }
  mclArrayAssign1(&newpos, mlfHorzcat({fwidth, fheight}), mlfColon(k.three, k.four));

  mlfNSet(0, fig, k.outerposition, newpos);
  mlfNSet(0, fig, k.units, oldfunits);
  mlfNSet(0, fig, k.activepositionproperty, oldposmode);
}

Value Mmovegui_get_parent_fig(int nargout, const Value& h_in) {
  LocalFunctionScope scope(&local_function_table_movegui);
  Value h = mclVa(h_in, "h");
  while (!mlfIsempty(h) && !mlfTobool(mlfStrcmp(mlfNGet(1, h, k.type), k.figure))) {
    h = mlfNGet(1, h, k.parent);
  }
  return mclValidateOutput(std::move(h), nargout, "h", "movegui/get_parent_fig");
}

}  // namespace

void InitializeModule_movegui() {
  ModuleConstants& c = constants;
  c.String(&k.north, "north");
  c.String(&k.south, "south");
  c.String(&k.east, "east");
  c.String(&k.west, "west");
  c.String(&k.northeast, "northeast");
  c.String(&k.southeast, "southeast");
  c.String(&k.northwest, "northwest");
  c.String(&k.southwest, "southwest");
  c.String(&k.center, "center");
  c.String(&k.onscreen, "onscreen");
  c.CellVector(&k.positions, 1, 10,
               {&k.north, &k.south, &k.east, &k.west, &k.northeast, &k.southeast, &k.northwest,
                &k.southwest, &k.center, &k.onscreen});
  c.Double(&k.zero, 0);
  c.Double(&k.one, 1);
  c.Double(&k.two, 2);
  c.Double(&k.three, 3);
  c.Double(&k.four, 4);
  c.Double(&k.six, 6);
  c.Double(&k.twenty_four, 24);
  c.DoubleVector(&k.origin, 1, 2, {0, 0});
  c.CharVector(&k.empty_text);
  c.DoubleVector(&k.empty, 0, 0, {});
  c.String(&k.exact, "exact");
  c.String(&k.activepositionproperty, "activepositionproperty");
  c.String(&k.units, "units");
  c.String(&k.pixels, "pixels");
  c.String(&k.position, "position");
  c.String(&k.outerposition, "outerposition");
  c.String(&k.screensize, "screensize");
  c.String(&k.type, "type");
  c.String(&k.figure, "figure");
  c.String(&k.parent, "parent");
  c.String(&k.handle_required, "handle of figure or descendant required");
  c.String(&k.unrecognized_position, "unrecognized position");
  c.String(&k.unrecognized_input, "unrecognized input argument");
  c.String(&k.outputs_message, CountMessage("movegui", 1, "outputs", 0));
  c.String(&k.parent_fig_outputs_message,
           CountMessage("movegui/get_parent_fig", 166, "outputs", 1));
  c.String(&k.parent_fig_inputs_message, CountMessage("movegui/get_parent_fig", 166, "inputs", 1));
}

void TerminateModule_movegui() {
  constants.ReleaseAll();
}

void mlxMovegui(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  (void)plhs;
  CheckCounts(nlhs, nrhs, 0, -1, k.outputs_message, Value());
  Mmovegui(mclCreateVararginCell(nrhs, prhs));
}

void mlfMovegui(std::vector<Value> args) {
  const auto end =
      std::find_if(args.begin(), args.end(), [](const Value& v) { return v.absent(); });
  args.erase(end, args.end());
  Mmovegui(mclVarargin(std::move(args)));
}

void mlxMovegui_get_parent_fig(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  FixedEntry<1>(nlhs, plhs, nrhs, prhs, 1, k.parent_fig_outputs_message,
                k.parent_fig_inputs_message, Mmovegui_get_parent_fig);
}

Value mlfMovegui_get_parent_fig(const Value& h) {
  return Mmovegui_get_parent_fig(1, h);
}

}  // namespace dk
