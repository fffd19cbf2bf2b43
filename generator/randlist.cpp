#include "generator/randlist.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "base/errors.h"
#include "design/listing_format.h"
#include "frame/module.h"
#include "generator/count_boxes.h"
#include "generator/randlist_internal.h"
#include "gui/graphics.h"
#include "runtime/file_table.h"
#include "runtime/loaded_list.h"
#include "runtime/ops.h"
#include "runtime/paths.h"
#include "runtime/random_values.h"
#include "runtime/text.h"

namespace dk {

const LocalFunctionTable local_function_table_randlist = {0, nullptr};

namespace {

// Persistent variables: the name list, its length and the last seed.
Value stringset;
Value fcount;
Value initval;

ModuleConstants constants("randlist");

struct Constants {
  Value outputs_message, inputs_message;
  Value load, save, manual_init, show, fell_through;
  Value txt_filter, load_title, read_mode, loaded_format;
  Value tag, out_box, num_box, rep_box, init_box, string;
  Value save_title, write_mode, header_format, file_date_format, heading_format, file_name_format;
  Value state, seeded_format, show_date_format, show_name_format;
  Value line_break, one, minus_one;
} k;

// The "String" of the control tagged `tag`.
Value BoxText(const Value& tag) {
  const Value fh = mlfFindobj(k.tag, tag);
  return mlfNGet(1, fh, k.string);
}

// The two counts of a listing, read from their boxes as every listing command reads them.
Counts ReadListingCounts() {
  std::optional<double> list_size;
  if (!fcount.unassigned() && !fcount.absent()) list_size = fcount.num(0);
  return ReadCounts(BoxText(k.num_box), BoxText(k.rep_box), list_size);
}

// Draws a group: `numcount` distinct slots of the list, in the order of the list. The
// first `numcount` entries of a fresh permutation of 1..fcount are all that is drawn;
// the generator moves on as for the whole permutation.
Value DrawGroup(const Value& numcount) {
  const Value rp = mlfRandperm(fcount, numcount);
  return mlfSort(rp);
}

// A long list reports its progress once every 4096 lines.
constexpr std::size_t kProgressLineMask = 4095;

// Names of a group lie scattered over memory in a long list; fetching a few ahead of
// their turn keeps the listing from waiting on each one.
constexpr std::size_t kPrefetchAhead = 16;

void PrefetchName(const Value& tp, std::size_t j) {
  if (j <= tp.numel()) stringset.prefetch_cell(static_cast<std::size_t>(tp.num(j - 1)) - 1);
}

// The loop that Save and Show share: for each repetition r from 1 to the number of
// groups, `heading(r)`, then a freshly drawn group and `name(stemp)` for each of its
// names in list order. Progress is reported per group under `title`.
template <typename Heading, typename Name>
void ForEachGroup(const Value& title, const Counts& counts, Heading heading, Name name) {
  ProgressScope progress(title.utf8(), counts.groups);
  for (std::uint32_t r = 1; r <= counts.groups; ++r) {
    progress.Step(r - 1);
    heading(mlfScalar(r));
    const Value tp = DrawGroup(counts.numcount);
    for (std::size_t j = 1; j <= kPrefetchAhead; ++j) PrefetchName(tp, j);
    for (std::size_t j = 1; j <= counts.names; ++j) {
      PrefetchName(tp, j + kPrefetchAhead);
      name(stringset.cell(static_cast<std::size_t>(mclIntArrayRef1(tp, j)) - 1));
    }
  }
}

// Loads the list the program's reader makes of `path`, if it makes one (an alignment's
// taxa), replacing the list only once it is built. Returns false for a name list.
bool LoadListSource(const std::string& path) {
  std::optional<ListSource> source = ReadListSource(path);
  if (!source) return false;
  Value list = Value::Cell(0, 0);
  Value count = Value::Scalar(0);
  for (const std::string& line : source->lines) {
    count = mclPlus(std::move(count), k.one);
    mlfIndexAssign(&list, "{?}", count, Value::Text(line));
  }
  stringset = std::move(list);
  fcount = std::move(count);
  mlfNSet(0, mlfFindobj(k.tag, k.out_box), k.string, Value::Text(source->message));
  ReportListLoaded({path, stringset, source->lines.size(), /*alignment=*/true});
  return true;
}

void Load() {
  Value pname;
  const Value fname = mlfUigetfile(&pname, k.txt_filter, k.load_title);
  if (DialogCancelled(fname)) return;
  mclPrintAns(mlfNCd(0, pname));
  // An alignment's taxa are the list; a file that is not text is refused.
  if (LoadListSource(mlfFullfile(pname, fname).utf8())) return;
  const Value fid = mlfFopen(fname, k.read_mode);
  FileGuard guard(fid);
  // The new list is built aside and replaces the old one only once the whole file is
  // read, so a failed read changes nothing.
  Value list = stringset.unassigned() ? Value() : stringset;
  ProgressScope progress(k.load.utf8(), 0);
  std::size_t lines = 0;
  Value count = Value::Scalar(1);
  Value stemp = mlfFgets(fid);
  while (mclNeBool(stemp, k.minus_one)) {
    mlfIndexAssign(&list, "{?}", count, std::move(stemp));
    count = mclPlus(std::move(count), k.one);
    if ((++lines & kProgressLineMask) == 0) progress.Step(static_cast<double>(lines));
    stemp = mlfFgets(fid);
  }
  count = mclMinus(std::move(count), k.one);
  mlfFclose(fid);
  if (list.absent()) list = Value::Cell(0, 0);
  stringset = std::move(list);
  fcount = std::move(count);
  stemp = mlfSprintf(k.loaded_format, {fname, fcount});
  const Value fh = mlfFindobj(k.tag, k.out_box);
  mlfNSet(0, fh, k.string, stemp);
  // The list is reported to the program, which checks its names and warns of what it finds.
  ReportListLoaded(
      {mlfFullfile(pname, fname).utf8(), stringset, static_cast<std::size_t>(fcount.num(0))});
}

void Save() {
  const Counts counts = ReadListingCounts();
  Value pname;
  const Value fname = mlfUiputfile(&pname, k.txt_filter, k.save_title);
  if (DialogCancelled(fname)) return;
  mclPrintAns(mlfNCd(0, pname));
  const Value fid = mlfFopen(fname, k.write_mode);
  FileGuard guard(fid);
  mlfNFprintf(0, fid, k.header_format, {counts.repcount, counts.numcount});
  mlfNFprintf(0, fid, k.line_break);
  const Value c = mlfClock();
  mlfNFprintf(0, fid, k.file_date_format,
              {mlfDate(), mlfScalar(mclIntArrayRef1(c, 4)), mlfScalar(mclIntArrayRef1(c, 5))});
  ForEachGroup(
      k.save, counts, [&](const Value& r) { mlfNFprintf(0, fid, k.heading_format, {r}); },
      [&](const Value& stemp) { mlfNFprintf(0, fid, k.file_name_format, {stemp}); });
  mlfFclose(fid);
  // The OutBox confirms what was written (the listing itself stays in the file).
  const std::string saved = "Saved " + std::to_string(counts.groups) +
                            (counts.groups == 1 ? " group" : " groups") + " to " +
                            mlfFullfile(pname, fname).utf8();
  mlfNSet(0, mlfFindobj(k.tag, k.out_box), k.string, Value::Text(saved));
}

void ManualInit() {
  Value fh = mlfFindobj(k.tag, k.init_box);
  Value stemp = mlfNGet(1, fh, k.string);
  const Value seed = mlfStr2num(stemp);
  if (!IsSeed(seed)) {
    Raise("The box \"Seed\" must hold one finite number; it holds " + QuoteForMessage(stemp) + ".");
  }
  initval = seed;
  mlfNRand(0, k.state, initval);
  stemp = mlfSprintf(k.seeded_format, {initval});
  fh = mlfFindobj(k.tag, k.out_box);
  mlfNSet(0, fh, k.string, stemp);
}

void Show() {
  const Counts counts = ReadListingCounts();
  Value otemp = mlfSprintf(k.header_format, {counts.repcount, counts.numcount});
  const Value c = mlfClock();
  Value otempa = mlfSprintf(k.show_date_format, {mlfDate(), mlfScalar(mclIntArrayRef1(c, 4)),
                                                 mlfScalar(mclIntArrayRef1(c, 5))});
  otemp = mlfStrcat(std::move(otemp), otempa);
  ForEachGroup(
      k.show, counts,
      [&](const Value& r) {
        otempa = mlfSprintf(k.heading_format, {r});
        otemp = mlfStrcat(std::move(otemp), otempa);
      },
      [&](const Value& stemp) {
        otempa = mlfSprintf(k.show_name_format, {stemp});
        otemp = mlfStrcat(std::move(otemp), otempa);
      });
  const Value fh = mlfFindobj(k.tag, k.out_box);
  mlfNSet(0, fh, k.string, otemp);
}

void Mrandlist(const Value& action_in) {
  LocalFunctionScope scope(&local_function_table_randlist);
  const Value action = mclVa(action_in, "action");
  if (mclSwitchCompare(action, k.load)) {
    Load();
  } else if (mclSwitchCompare(action, k.save)) {
    Save();
  } else if (mclSwitchCompare(action, k.manual_init)) {
    ManualInit();
  } else if (mclSwitchCompare(action, k.show)) {
    Show();
  } else {
    mlfNMsgbox(0, k.fell_through);
  }
}

}  // namespace

void InitializeModule_randlist() {
  mclInitializePersistent(&stringset);
  mclInitializePersistent(&fcount);
  mclInitializePersistent(&initval);
  ModuleConstants& c = constants;
  c.String(&k.outputs_message, CountMessage("randlist", 1, "outputs", 0));
  c.String(&k.inputs_message, CountMessage("randlist", 1, "inputs", 1));
  c.String(&k.load, "Load");
  c.String(&k.save, "Save");
  c.String(&k.manual_init, "ManualInit");
  c.String(&k.show, "Show");
  c.String(&k.fell_through, "Fell through case");
  c.String(&k.txt_filter, "*.txt");
  c.String(&k.load_title, "Please Select File to Load");
  c.String(&k.read_mode, "rt");
  c.String(&k.loaded_format, "File %s loaded with %i names");
  c.String(&k.tag, "Tag");
  c.String(&k.out_box, "OutBox");
  c.String(&k.num_box, "NumBox");
  c.String(&k.rep_box, "RepBox");
  c.String(&k.init_box, "InitBox");
  c.String(&k.string, "String");
  c.String(&k.save_title, "Please Select Filename to save as");
  c.String(&k.write_mode, "wt");
  c.String(&k.header_format, listing::kHeader);
  c.String(&k.file_date_format, listing::kFileDate);
  c.String(&k.heading_format, listing::kHeading);
  c.String(&k.file_name_format, listing::kFileName);
  c.String(&k.state, "state");
  c.String(&k.seeded_format, "Random number manually initialized with seed %f");
  c.String(&k.show_date_format, listing::kShowDate);
  c.String(&k.show_name_format, listing::kShowName);
  c.String(&k.line_break, listing::kLineBreak);
  c.Double(&k.one, 1);
  c.Double(&k.minus_one, -1);
}

void TerminateModule_randlist() {
  constants.ReleaseAll();
  mxDestroyArray(&initval);
  NotifyModuleEvent("randlist", -1, false);
  mxDestroyArray(&fcount);
  NotifyModuleEvent("randlist", -1, false);
  mxDestroyArray(&stringset);
  NotifyModuleEvent("randlist", -1, false);
}

void mlxRandlist(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  (void)plhs;
  CheckCounts(nlhs, nrhs, 0, 1, k.outputs_message, k.inputs_message);
  mlfRandlist(nrhs > 0 ? prhs[0] : Value());
}

void mlfRandlist(const Value& action) {
  Mrandlist(action);
}

Value RandlistPersistent(const char* name) {
  if (std::strcmp(name, "stringset") == 0) return stringset;
  if (std::strcmp(name, "fcount") == 0) return fcount;
  if (std::strcmp(name, "initval") == 0) return initval;
  Raise(std::string("randlist has no persistent variable \"") + name + "\"");
}

}  // namespace dk
