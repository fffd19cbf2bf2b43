#include "export/export.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "design/design_files.h"
#include "frame/module.h"
#include "generator/count_boxes.h"
#include "gui/graphics.h"
#include "jackknife/design.h"
#include "jackknife/driver.h"
#include "jackknife/input.h"
#include "jackknife/name_checks.h"
#include "jackknife/provenance.h"
#include "jackknife/pruned_folder.h"
#include "os/env.h"
#include "os/staged_folder.h"
#include "random/random.h"
#include "review/list_review.h"
#include "runtime/paths.h"
#include "runtime/text.h"

#ifndef DROPKIT_VERSION
#error "DROPKIT_VERSION must name the program's version"
#endif

namespace dk {

const LocalFunctionTable local_function_table_export = {0, nullptr};

namespace {

ModuleConstants constants("export");

struct Constants {
  Value outputs_message, inputs_message;
  Value tag, string, out_box, num_box, rep_box, init_box, kept_line;
  Value fasta_patterns, phylip_patterns, nexus_patterns, fasta_name, phylip_name, nexus_name;
  Value alignment_filter, alignment_title, folder_title, title;
  Value keep_filter, keep_title;
} k;

// The names Keep read, never left out by Export: the file and its names ("" and none
// until a Keep).
struct KeptNames {
  std::string file;
  std::vector<std::string> names;
} kept_names;

// How Export chooses its groups.
enum class Groups { kDrawn, kEachAlone };

// At most this many names are shown one by one in a message; the rest are counted.
constexpr std::size_t kNamesShown = 5;

// "1 group", "2 groups".
std::string Counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The "String" of the control tagged `tag`.
Value BoxText(const Value& tag) {
  return mlfNGet(1, mlfFindobj(k.tag, tag), k.string);
}

// Raises, calling the file `what`, unless `read` still holds the names `loaded` holds.
void RequireUnchanged(const TaxonList& read, const LoadedList& loaded, const char* what) {
  bool same = read.lines.size() == loaded.count;
  for (std::size_t i = 0; same && i < loaded.count; ++i) {
    same = read.lines[i] == loaded.names.cell(i).utf8();
  }
  if (!same) {
    Raise(std::string("The ") + what + " " + QuoteForMessage(loaded.path) +
          " has changed since it was loaded: load it again before exporting.");
  }
}

// The loaded list as the design is drawn over it: the file read again, which must still
// hold the names loaded, each once.
TaxonList CheckedList(const LoadedList& loaded) {
  TaxonList list = LoadTaxa(loaded.path, InputFormat::kList);
  RequireUnchanged(list, loaded, "name list");
  std::unordered_map<std::string, std::size_t> first_line;
  for (std::size_t i = 0; i < list.names.size(); ++i) {
    const auto [it, fresh] = first_line.emplace(list.names[i], i);
    if (!fresh) {
      Raise("The loaded list names " + QuoteForMessage(list.names[i], '"') + " twice (lines " +
            std::to_string(it->second + 1) + " and " + std::to_string(i + 1) +
            "); to export pruned alignments, each taxon must be listed once.");
    }
  }
  return list;
}

// The alignment the user chose; refuses a file that is not an alignment and names the
// design files cannot hold.
TaxonList ChosenAlignment(const std::string& path) {
  TaxonList alignment = LoadTaxa(path, std::nullopt);
  if (!alignment.alignment) {
    Raise(QuoteForMessage(path) +
          " is a name list, not an alignment: Export needs the FASTA, PHYLIP or NEXUS "
          "alignment whose taxa the loaded names are.");
  }
  for (std::size_t i = 0; i < alignment.names.size(); ++i) {
    if (!IsValidUtf8(alignment.names[i])) {
      Raise("Taxon " + std::to_string(i + 1) + " of " + QuoteForMessage(path) +
            ": the name is not valid UTF-8, which the design files need.");
    }
  }
  return alignment;
}

// The alignment Load read the list from, read again: it must still hold the taxa loaded.
TaxonList LoadedAlignment(const LoadedList& loaded) {
  TaxonList alignment = ChosenAlignment(loaded.path);
  RequireUnchanged(alignment, loaded, "alignment");
  return alignment;
}

// The row in the alignment of each name of the list; raises naming the first few names
// that are not among its taxa, and how many there are.
std::vector<std::size_t> RowsOfNames(const TaxonList& list, const TaxonList& alignment) {
  std::unordered_map<std::string, std::size_t> row;
  for (std::size_t i = 0; i < alignment.names.size(); ++i) row.emplace(alignment.names[i], i);
  std::vector<std::size_t> rows(list.names.size());
  std::vector<std::string> missing;
  std::size_t missing_count = 0;
  bool missing_blank = false;
  for (std::size_t i = 0; i < list.names.size(); ++i) {
    const auto it = row.find(list.names[i]);
    if (it != row.end()) {
      rows[i] = it->second;
      continue;
    }
    missing_blank = missing_blank || list.names[i].find(' ') != std::string::npos;
    if (++missing_count <= kNamesShown) {
      missing.push_back(QuoteForMessage(list.names[i], '"') + " (line " + std::to_string(i + 1) +
                        ")");
    }
  }
  if (missing_count == 0) return rows;
  std::string shown;
  for (std::size_t i = 0; i < missing.size(); ++i) {
    shown += (i == 0                                                       ? ""
              : i + 1 == missing.size() && missing_count == missing.size() ? " and "
                                                                           : ", ") +
             missing[i];
  }
  if (missing_count > missing.size()) {
    shown += " and " + std::to_string(missing_count - missing.size()) + " more";
  }
  Raise(std::to_string(missing_count) + " of the " +
        Counted(list.names.size(), "loaded name", "loaded names") +
        (missing_count == 1 ? " is not a taxon of " : " are not taxa of ") +
        QuoteForMessage(alignment.file) + ": " + shown +
        ". Names must match exactly, letter case and blanks included." +
        (missing_blank && alignment.format == InputFormat::kNexus
             ? " A NEXUS file's names are read with underscores for blanks: list 'Homo sapiens' "
               "as Homo_sapiens."
             : ""));
}

// Refuses a folder that holds anything: Export never replaces a file. A folder that does
// not exist yet counts as empty: it is made once every file is written, as the batch
// makes its output folder.
void RequireEmptyFolder(const std::string& folder) {
  std::vector<std::string> entries;
  const int r = Env::Current()->ListDir(folder, &entries);
  if (r == -ENOENT) return;
  if (r < 0) {
    Raise("Cannot use the folder " + QuoteForMessage(folder) + ": " + ErrnoText(r) + ".");
  }
  if (entries.empty()) return;
  std::sort(entries.begin(), entries.end());
  const std::size_t count = entries.size();
  const std::string& first = entries.front();
  Raise("The folder " + QuoteForMessage(folder) + " is not empty (it holds " +
        QuoteForMessage(first) +
        (count > 1 ? " and " + std::to_string(count - 1) + " more" : std::string()) +
        "). Export writes only into an empty folder, so that no file is replaced: choose or "
        "make an empty one. Nothing was written.");
}

// The groups of `chosen`, a design over the names of the list, as a design over the
// alignment's taxa: each name becomes its row; the taxa the list does not name and those
// `chosen` keeps are kept.
Design OverAlignment(const Design& chosen, const TaxonList& alignment,
                     const std::vector<std::size_t>& rows) {
  Design design;
  design.list_size = alignment.names.size();
  design.omit = chosen.omit;
  design.draw = chosen.draw;
  std::vector<bool> may_leave_out(design.list_size, false);
  for (const std::size_t row : rows) may_leave_out[row] = true;
  for (const std::size_t position : chosen.kept) may_leave_out[rows[position]] = false;
  for (std::size_t i = 0; i < design.list_size; ++i) {
    if (!may_leave_out[i]) design.kept.push_back(i);
  }
  for (const auto& positions : chosen.groups) {
    std::vector<std::size_t> group;
    for (const std::size_t position : positions) group.push_back(rows[position]);
    std::sort(group.begin(), group.end());
    design.groups.push_back(std::move(group));
  }
  return design;
}

// "Alpha, Beta, Gamma and 3 more": the first three of `names`, the rest counted, so that
// the line of kept names holds them in two lines.
std::string FewNames(const std::vector<std::string>& names) {
  constexpr std::size_t kShown = 3;
  std::string shown;
  for (std::size_t i = 0; i < names.size() && i < kShown; ++i) {
    shown += (i == 0 ? "" : ", ") + names[i];
  }
  if (names.size() > kShown) shown += " and " + std::to_string(names.size() - kShown) + " more";
  return shown;
}

// What the line under the buttons says of the kept names.
std::string KeptLine() {
  if (kept_names.names.empty())
    return "Never left out by Export: none (Keep... reads them from a file)";
  const std::string file = kept_names.file.substr(kept_names.file.rfind('/') + 1);
  return "Never left out by Export: " + FewNames(kept_names.names) + " (from " +
         QuoteForMessage(file) + ")";
}

// Keep: asks for a file of names, one per line, read as the batch's --keep-file reads
// one; from then on Export leaves none of them out. An empty file keeps none again; a
// cancelled dialog changes nothing.
void Keep() {
  Value folder_name;
  const Value file_name = mlfUigetfile(&folder_name, k.keep_filter, k.keep_title);
  if (DialogCancelled(file_name)) return;
  const std::string path = mlfFullfile(folder_name, file_name).utf8();
  kept_names = KeptNames{path, LoadNameFile(path)};
  mlfNSet(0, mlfFindobj(k.tag, k.kept_line), k.string, Value::Text(KeptLine()));
}

void RequireFewEnough(std::size_t groups) {
  if (groups > kMaxPrunedGroups) {
    Raise("Cannot export " + std::to_string(groups) + " groups: at most " +
          std::to_string(kMaxPrunedGroups) + " are allowed, one alignment file each.");
  }
}

void Export(Groups how) {
  const ListReview& review = LoadedListReview();
  std::optional<double> list_size;
  if (!review.list.path.empty()) list_size = static_cast<double>(review.list.count);
  const Value num_text = BoxText(k.num_box);
  const Value rep_text = BoxText(k.rep_box);
  Counts counts;
  if (how == Groups::kDrawn) {
    counts = ReadCounts(num_text, rep_text, list_size);
    RequireFewEnough(counts.groups);
    if (counts.names > 0 && counts.groups > kMaxOmittedEntries / counts.names) {
      Raise("Cannot export " + std::to_string(counts.groups) + " groups of " +
            std::to_string(counts.names) + ": at most " + std::to_string(kMaxOmittedEntries) +
            " names left out over all groups are allowed.");
    }
  } else if (!list_size) {
    Raise("No name list is loaded: use Load to read one before leaving one name out per group.");
  }
  // A list loaded from an alignment is that alignment's taxa: it is not asked for again.
  const TaxonList list =
      review.list.alignment ? LoadedAlignment(review.list) : CheckedList(review.list);
  std::optional<TaxonList> chosen;
  if (review.list.alignment) {
    chosen = list;
  } else {
    Value folder_name;
    const Value file_name = mlfUigetfile(&folder_name, k.alignment_filter, k.alignment_title);
    if (DialogCancelled(file_name)) return;
    chosen = ChosenAlignment(mlfFullfile(folder_name, file_name).utf8());
  }
  const TaxonList& alignment = *chosen;
  const std::vector<std::size_t> rows = RowsOfNames(list, alignment);
  std::vector<std::size_t> kept = KeptPositions(list.names, kept_names.names, list.file);
  if (how == Groups::kEachAlone) RequireFewEnough(list.names.size() - kept.size());

  const Value target = mlfUigetdir(k.folder_title);
  if (DialogCancelled(target)) return;
  RequireEmptyFolder(target.utf8());
  // Drawn groups start the generator, from a seed drawn now where the window does;
  // leave-one-out draws nothing, so no seed plays a part in it (as for dropkit-batch --each).
  const bool draws = how == Groups::kDrawn;
  if (draws) CurrentRandomState();
  const WindowContext window{{{"NumBox", num_text.utf8()},
                              {"RepBox", rep_text.utf8()},
                              {"InitBox", BoxText(k.init_box).utf8()}},
                             draws ? SeedInForce() : std::nullopt,
                             draws && SeedDrawnFromEntropy()};

  StagedFolder folder(target.utf8(), /*force=*/false);
  const std::uint64_t draws_before = draws ? DrawnSinceRestart() : 0;
  const Design design = OverAlignment(
      how == Groups::kDrawn
          ? DrawDesign(list.names.size(), std::move(kept), counts.names, counts.groups)
          : LeaveOneOut(list.names.size(), std::move(kept)),
      alignment, rows);
  const std::size_t groups = design.groups.size();
  ProgressScope progress(k.title.utf8(), static_cast<double>(groups));
  PrunedFolder what;
  what.alignment = &*alignment.alignment;
  what.input = alignment.file;
  what.design = &design;
  what.groups_tsv = GroupsTsv(alignment.names, design);
  Provenance provenance = WindowProvenance(window, DROPKIT_VERSION, alignment, draws_before);
  provenance.names_list = FileRecord{list.file, list.size, list.sha256};
  what.dropkit_json = DesignJson(alignment.names, design, provenance);
  what.progress = [&](std::size_t g) { progress.Step(static_cast<double>(g)); };
  WritePrunedFolder(folder, what);

  const std::string status = "Exported " + Counted(groups, "group", "groups") + " to " +
                             folder.target() + ": " + Counted(groups, "alignment", "alignments") +
                             ", groups.tsv, dropkit.json";
  mlfNSet(0, mlfFindobj(k.tag, k.out_box), k.string, Value::Text(status));
  // The copies are PHYLIP or NEXUS: say which names they cannot hold unquoted.
  if (alignment.format != InputFormat::kFasta) {
    const std::string findings =
        FindingsText(alignment.file, CheckNames(alignment.lines, "taxon", Quoting::kOnly));
    if (!findings.empty()) ShowWarningBox(findings);
  }
}

void Mexport(const Value& action) {
  LocalFunctionScope scope(&local_function_table_export);
  const std::string word = action.is_char() ? action.utf8() : std::string();
  if (action.absent()) {
    Export(Groups::kDrawn);
  } else if (word == "LeaveOneOut") {
    Export(Groups::kEachAlone);
  } else if (word == "Keep") {
    Keep();
  } else {
    Raise("export knows the commands \"Keep\" and \"LeaveOneOut\", or none; not " +
          (action.is_char() ? QuoteForMessage(word, '"')
                            : std::string("a value that is not a text")) +
          ".");
  }
}

}  // namespace

void InitializeModule_export() {
  ModuleConstants& c = constants;
  c.String(&k.outputs_message, CountMessage("export", 1, "outputs", 0));
  c.String(&k.inputs_message, CountMessage("export", 1, "inputs", 1));
  c.String(&k.tag, "Tag");
  c.String(&k.string, "String");
  c.String(&k.out_box, "OutBox");
  c.String(&k.num_box, "NumBox");
  c.String(&k.rep_box, "RepBox");
  c.String(&k.init_box, "InitBox");
  c.String(&k.kept_line, "KeptNames");
  c.String(&k.fasta_patterns, "*.fasta;*.fas;*.fa;*.fna;*.faa;*.aln");
  c.String(&k.phylip_patterns, "*.phy;*.phylip");
  c.String(&k.nexus_patterns, "*.nex;*.nexus;*.nxs");
  c.String(&k.fasta_name, "FASTA files");
  c.String(&k.phylip_name, "PHYLIP files");
  c.String(&k.nexus_name, "NEXUS files");
  c.CellVector(&k.alignment_filter, 3, 2,
               {&k.fasta_patterns, &k.phylip_patterns, &k.nexus_patterns, &k.fasta_name,
                &k.phylip_name, &k.nexus_name});
  c.String(&k.alignment_title, "Please Select the Alignment of the Loaded Names");
  c.String(&k.folder_title, "Please Select an Empty Folder to Export Into");
  c.String(&k.title, "Export");
  c.String(&k.keep_filter, "*.txt");
  c.String(&k.keep_title, "Please Select a File of Names to Keep, One per Line");
  kept_names = KeptNames{};
}

void TerminateModule_export() {
  kept_names = KeptNames{};
  constants.ReleaseAll();
}

void mlxExport(int nlhs, Value plhs[], int nrhs, Value prhs[]) {
  (void)plhs;
  CheckCounts(nlhs, nrhs, 0, 1, k.outputs_message, k.inputs_message);
  mlfExport(nrhs > 0 ? prhs[0] : Value());
}

void mlfExport(const Value& action) {
  Mexport(action);
}

}  // namespace dk
