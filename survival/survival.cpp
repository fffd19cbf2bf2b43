#include "survival/survival.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "clades/support_command.h"
#include "frame/module.h"
#include "gui/graphics.h"
#include "os/files.h"
#include "runtime/paths.h"

namespace dk {

const LocalFunctionTable local_function_table_survival = {0, nullptr};

namespace {

ModuleConstants constants("survival");

struct Constants {
  Value outputs_message, inputs_message;
  Value tag, string, out_box, window_tag;
  Value newick_patterns, nexus_patterns, newick_name, nexus_name, tree_filter;
  Value tree_title, folder_title;
} k;

// The folder of the design's folder that receives support's files.
constexpr char kOutputFolder[] = "support";

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// support.tsv as a person reads it in a box of fixed-pitch letters: the numbers first, in
// columns lined up by blanks, then the clade's taxa, the one column of any width.
std::string ReadableTable(const std::string& tsv) {
  std::vector<std::vector<std::string_view>> rows;
  for (std::size_t at = 0; at < tsv.size();) {
    const std::size_t end = std::min(tsv.find('\n', at), tsv.size());
    std::vector<std::string_view> cells;
    for (std::size_t cell = at; cell <= end;) {
      const std::size_t tab = std::min(tsv.find('\t', cell), end);
      cells.push_back(std::string_view(tsv).substr(cell, tab - cell));
      cell = tab + 1;
    }
    std::rotate(cells.begin(), cells.begin() + 1, cells.end());  // the taxa last
    rows.push_back(std::move(cells));
    at = end + 1;
  }
  std::vector<std::size_t> widths;
  for (const auto& cells : rows) {
    widths.resize(std::max(widths.size(), cells.size()), 0);
    for (std::size_t c = 0; c + 1 < cells.size(); ++c) {
      widths[c] = std::max(widths[c], cells[c].size());
    }
  }
  std::string out;
  for (const auto& cells : rows) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
      out += cells[c];
      if (c + 1 < cells.size()) out.append(widths[c] + 2 - cells[c].size(), ' ');
    }
    out += '\n';
  }
  return out;
}

// A control of `style` on `figure`, placed at `position` (pixels) and following the
// window's `anchor` edges as it is resized.
Value Place(const Value& figure, const char* style, const char* tag, const std::string& text,
            const std::vector<double>& position, const char* anchor, PropertyList more = {}) {
  more.insert(more.end(), {{"HorizontalAlignment", Value::Text("left")},
                           {"Units", Value::Text("pixels")},
                           {"Position", Value::Row(position)},
                           {"Anchor", Value::Text(anchor)}});
  return CreateControl(figure, style, tag, text, more);
}

// The window of the results: the table, the drawing of the annotated tree, and where the
// files are. It grows with the window; the tree scrolls when larger.
void ShowResults(const std::string& output, const std::string& table) {
  DeleteObject(mlfFindobj(k.tag, k.window_tag));
  const Value figure = CreateFigure({{"Name", Value::Text("Clade survival")},
                                     {"Tag", k.window_tag},
                                     {"Units", Value::Text("pixels")},
                                     {"Position", Value::Row({260, 100, 760, 600})},
                                     {"Resize", Value::Text("on")}});
  Place(figure, "text", "", "Table", {16, 552, 100, 24}, "left top",
        {{"Mnemonic", Value::Text("T")}});
  Place(figure, "edit", "SupportTable", table, {120, 412, 624, 164}, "left right top",
        {{"Max", Value::Scalar(2)},
         {"Min", Value::Scalar(0)},
         {"Enable", Value::Text("inactive")},
         {"BackgroundColor", Value::Row({1, 1, 1})},
         {"TooltipString", Value::Text("Clade survival table (support.tsv)")}});
  Place(figure, "text", "", "Tree", {16, 372, 100, 24}, "left top",
        {{"Mnemonic", Value::Text("R")}});
  Place(figure, "image", "SupportTree", InFolder(output, "support.svg"), {120, 48, 624, 348},
        "left right bottom top",
        {{"TooltipString",
          Value::Text("The reference tree with each clade's survival (support.svg)")}});
  Place(figure, "text", "SupportFolder",
        "In " + output +
            ": support.tre is the tree in Newick; outcomes.tsv, taxa.tsv and instability.tsv "
            "say more.",
        {16, 4, 728, 40}, "left right bottom");  // room for two lines
}

void Msurvival() {
  LocalFunctionScope scope(&local_function_table_survival);
  Value tree_folder;
  const Value tree_file = mlfUigetfile(&tree_folder, k.tree_filter, k.tree_title);
  if (DialogCancelled(tree_file)) return;
  const Value design_folder = mlfUigetdir(k.folder_title);
  if (DialogCancelled(design_folder)) return;

  clades::SupportOptions options;
  options.reference = mlfFullfile(tree_folder, tree_file).utf8();
  const std::string folder = design_folder.utf8();
  options.trees = {folder};
  options.output = InFolder(folder, kOutputFolder);
  std::optional<ProgressScope> progress;  // Cancel ends it with nothing written
  options.progress = [&progress](std::size_t done, std::size_t total) {
    if (!progress) progress.emplace("Survival", static_cast<double>(total));
    progress->Step(static_cast<double>(done));
  };
  const std::string summary = clades::RunSupport(options);
  progress.reset();

  const clades::InputLimits limits;
  const std::string table = ReadBoundedFile(InFolder(options.output, "support.tsv"),
                                            limits.file_bytes, "the survival table");
  mlfNSet(0, mlfFindobj(k.tag, k.out_box), k.string, Value::Text("Clade survival: " + summary));
  ShowResults(options.output, ReadableTable(table));
}

}  // namespace

void InitializeModule_survival() {
  ModuleConstants& c = constants;
  c.String(&k.outputs_message, CountMessage("survival", 1, "outputs", 0));
  c.String(&k.inputs_message, CountMessage("survival", 1, "inputs", 0));
  c.String(&k.tag, "Tag");
  c.String(&k.string, "String");
  c.String(&k.out_box, "OutBox");
  c.String(&k.window_tag, "SurvivalWindow");
  c.String(&k.newick_patterns, "*.treefile;*.tre;*.tree;*.nwk;*.newick;*.bestTree");
  c.String(&k.nexus_patterns, "*.nex;*.nexus;*.nxs");
  c.String(&k.newick_name, "Newick trees");
  c.String(&k.nexus_name, "NEXUS trees");
  c.CellVector(&k.tree_filter, 2, 2,
               {&k.newick_patterns, &k.nexus_patterns, &k.newick_name, &k.nexus_name});
  c.String(&k.tree_title, "Please Select the Reference Tree (of the Whole Alignment)");
  c.String(&k.folder_title, "Please Select the Design's Folder (dropkit.json and the Trees)");
}

void TerminateModule_survival() {
  constants.ReleaseAll();
}

void mlxSurvival(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  (void)plhs;
  (void)prhs;
  CheckCounts(nlhs, nrhs, 0, 0, k.outputs_message, k.inputs_message);
  mlfSurvival();
}

void mlfSurvival() {
  Msurvival();
}

}  // namespace dk
