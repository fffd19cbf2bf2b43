#include "clades/tree_reader.h"

#include <ncl/nxsmultiformat.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <sstream>

#include "base/errors.h"
#include "clades/parallel.h"
#include "clades/tree_text.h"
#include "os/parallel.h"

namespace dk::clades {
namespace {

// Trees handed to one NCL reader at a time: large enough that a reader's set-up cost
// is shared, small enough to spread the work over the threads.
constexpr std::size_t kBatchTrees = 64;

// What NCL made of one text: its trees, or the first error and its line in the text.
struct NclOutcome {
  std::vector<Tree> trees;
  std::string error;
  long line = 0;         // the line NCL names, 0 when none
  std::size_t tree = 0;  // the tree (1-based) found wrong after NCL read it, 0 when none
};

// Deletes the blocks a reader made, which NCL leaves to its caller.
class BlockOwner {
 public:
  explicit BlockOwner(MultiFormatReader& reader) : reader_(reader) {}
  ~BlockOwner() { reader_.DeleteBlocksFromFactories(); }
  BlockOwner(const BlockOwner&) = delete;
  BlockOwner& operator=(const BlockOwner&) = delete;

 private:
  MultiFormatReader& reader_;
};

// Converts NCL's tree to ours without recursion. Returns "" or what was wrong.
std::string Convert(const NxsSimpleTree& tree, const NxsTaxaBlockAPI& taxa, std::size_t max_leaves,
                    Tree* out) {
  struct Item {
    const NxsSimpleNode* node;
    int parent;
  };
  std::vector<Item> stack;
  if (tree.GetRootConst() != nullptr) stack.push_back({tree.GetRootConst(), -1});
  std::vector<const NxsSimpleNode*> kids;
  std::size_t leaves = 0;
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    const NxsSimpleEdge& edge = item.node->GetEdgeToParentRef();
    const double length = edge.EdgeLenIsDefaultValue() ? NAN : edge.GetDblEdgeLen();
    if (std::isinf(length)) return "a branch length is too large to hold as a number";
    std::string name;
    if (item.node->IsTip()) {
      const unsigned taxon = item.node->GetTaxonIndex();
      if (taxon >= taxa.GetNTax()) return "a leaf has no name";
      if (++leaves > max_leaves)
        return "it has more than the limit of " + std::to_string(max_leaves) + " leaves";
      name = taxa.GetTaxonLabel(taxon);
    }
    const int id = out->Add(item.parent, std::move(name), length);
    if (!item.node->IsTip()) out->support[std::size_t(id)] = item.node->GetName();
    kids.clear();
    for (const NxsSimpleNode* c = item.node->GetFirstChild(); c != nullptr; c = c->GetNextSib())
      kids.push_back(c);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, id});
  }
  if (out->size() == 0) return "the tree is empty";
  return "";
}

void ReadWithNcl(const std::string& text, bool nexus, std::size_t max_leaves, NclOutcome* out) {
  try {
    MultiFormatReader reader(-1, NxsReader::IGNORE_WARNINGS);
    const BlockOwner owner(reader);
    reader.SetWarningOutputLevel(NxsReader::SUPPRESS_WARNINGS_LEVEL);
    NxsTreesBlock* trees_template = reader.GetTreesBlockTemplate();
    trees_template->SetAllowImplicitNames(true);
    if (!nexus) trees_template->SetTreatIntegerLabelsAsNumbers(false);
    std::istringstream in(text);
    reader.ReadStream(in, nexus ? MultiFormatReader::NEXUS_FORMAT
                                : MultiFormatReader::RELAXED_PHYLIP_TREE_FORMAT);
    for (NxsBlock* block : reader.GetUsedBlocksInOrder()) {
      auto* trees = dynamic_cast<NxsTreesBlock*>(block);
      if (trees == nullptr) continue;
      const NxsTaxaBlockAPI* taxa = trees->GetTaxaBlockPtr(nullptr);
      for (unsigned i = 0; i < trees->GetNumTrees(); ++i) {
        const NxsSimpleTree simple(trees->GetFullTreeDescription(i), -1, -1.0, true);
        Tree tree;
        std::string problem =
            taxa == nullptr ? "a tree has no taxa" : Convert(simple, *taxa, max_leaves, &tree);
        if (!problem.empty()) {
          out->error = problem;
          out->tree = out->trees.size() + 1;
          return;
        }
        out->trees.push_back(std::move(tree));
      }
    }
  } catch (const NxsException& e) {
    out->error = e.msg;
    out->line = e.line;
  } catch (const std::exception& e) {
    out->error = e.what();
  } catch (const NxsString::NxsX_NotANumber&) {
    out->error = "a number NCL cannot read";
  } catch (...) {
    out->error = "NCL could not read it";
  }
}

// One piece of work: a NEXUS file, a batch of a NEXUS file's trees, or a batch of Newick
// trees from one or more files.
struct Task {
  bool nexus = false;
  std::size_t file = 0;          // NEXUS: the file
  std::size_t first_tree = 0;    // NEXUS: the number of the file's trees before the batch's
  std::size_t batch_trees = 0;   // NEXUS: the trees of the batch, 0 for the whole file
  std::string text;              // NEXUS batch: the file cut down to the batch's trees
  std::vector<std::size_t> ids;  // Newick: indices into the list of all Newick trees
  bool superseded = false;       // its trees were read again with the whole file's
  NclOutcome outcome;
};

// The tasks of one NEXUS file: the whole file when it has one batch of trees or cannot be
// cut, else one task per batch, each the file with only that batch's tree commands.
void AddNexusTasks(const TreeFile& file, std::size_t f, const InputLimits& limits,
                   std::vector<Task>* tasks) {
  const std::optional<NexusTrees> cut = SplitNexusTrees(file.text, file.path, limits.depth);
  if (!cut || cut->trees.size() <= kBatchTrees) {
    Task task;
    task.nexus = true;
    task.file = f;
    tasks->push_back(std::move(task));
    return;
  }
  const std::string_view text = file.text;
  const std::string_view head = text.substr(0, cut->head_end);
  const std::string_view tail = text.substr(cut->tail_begin);
  for (std::size_t i = 0; i < cut->trees.size(); i += kBatchTrees) {
    Task task;
    task.nexus = true;
    task.file = f;
    task.first_tree = i;
    task.batch_trees = std::min(kBatchTrees, cut->trees.size() - i);
    task.text.append(head);
    for (std::size_t k = i; k < i + task.batch_trees; ++k) {
      const TreeSpan& t = cut->trees[k];
      task.text.append(text.substr(t.begin, t.end - t.begin));
      task.text += '\n';
    }
    task.text.append(tail);
    tasks->push_back(std::move(task));
  }
}

// When a batch of a cut NEXUS file failed or NCL read another number of trees from it than
// the cut found, reads the whole file again in its first task (and empties the others), so
// that what is reported is what the file itself holds, with NCL's own lines.
void ReadCutFilesWholeWhereABatchFailed(const std::vector<TreeFile>& files,
                                        const InputLimits& limits, std::vector<Task>* tasks) {
  for (std::size_t t = 0; t < tasks->size(); ++t) {
    Task& first = (*tasks)[t];
    if (!first.nexus || first.batch_trees == 0) continue;
    std::size_t end = t;
    bool failed = false;
    while (end < tasks->size() && (*tasks)[end].nexus && (*tasks)[end].file == first.file &&
           (*tasks)[end].batch_trees > 0) {
      const Task& batch = (*tasks)[end];
      failed = failed || !batch.outcome.error.empty() || batch.outcome.tree > 0 ||
               batch.outcome.trees.size() != batch.batch_trees;
      ++end;
    }
    if (failed) {
      for (std::size_t k = t; k < end; ++k) (*tasks)[k].outcome = NclOutcome{};
      first.first_tree = 0;
      first.batch_trees = 0;
      first.text.clear();
      ReadWithNcl(files[first.file].text, true, limits.taxa, &first.outcome);
      for (std::size_t k = t + 1; k < end; ++k) (*tasks)[k].superseded = true;
    }
    t = end - 1;
  }
}

// A Newick tree located in its file.
struct NewickTree {
  std::size_t file;
  std::size_t number;  // 1-based, within its file
  TreeSpan span;
};

std::string Where(const std::string& path, std::size_t number) {
  return QuoteForMessage(path) + ", tree " + std::to_string(number);
}

}  // namespace

std::vector<std::vector<Tree>> ReadTreeFiles(const std::vector<TreeFile>& files,
                                             const InputLimits& limits) {
  std::vector<NewickTree> newick;
  std::vector<Task> tasks;
  for (std::size_t f = 0; f < files.size(); ++f) {
    if (IsNexus(files[f].text)) {
      AddNexusTasks(files[f], f, limits, &tasks);
      continue;
    }
    const std::size_t room = limits.trees - std::min(limits.trees, newick.size());
    const std::vector<TreeSpan> spans =
        SplitNewick(files[f].text, files[f].path, limits.depth, room);
    if (spans.empty())
      Raise("Cannot read " + QuoteForMessage(files[f].path) + ": it holds no tree");
    for (std::size_t i = 0; i < spans.size(); ++i) newick.push_back({f, i + 1, spans[i]});
  }
  for (std::size_t i = 0; i < newick.size(); i += kBatchTrees) {
    Task task;
    for (std::size_t k = i; k < std::min(newick.size(), i + kBatchTrees); ++k)
      task.ids.push_back(k);
    tasks.push_back(std::move(task));
  }

  auto text_of = [&](const std::vector<std::size_t>& ids) {
    std::string text;
    for (const std::size_t k : ids) {
      const NewickTree& t = newick[k];
      text.append(files[t.file].text, t.span.begin, t.span.end - t.span.begin);
      if (text.back() != ';') text += ';';
      text += '\n';
    }
    return text;
  };
  auto run = [&](Task& task) {
    if (task.nexus) {
      ReadWithNcl(task.batch_trees > 0 ? task.text : files[task.file].text, true, limits.taxa,
                  &task.outcome);
    } else {
      ReadWithNcl(text_of(task.ids), false, limits.taxa, &task.outcome);
    }
  };

  // NCL readers share no state, so each thread runs its own. Errors are only collected
  // here and raised below, on the calling thread.
  ParallelFor(tasks.size(), WorkerCount(tasks.size()),
              [&](std::size_t t, unsigned) { run(tasks[t]); });
  ReadCutFilesWholeWhereABatchFailed(files, limits, &tasks);

  std::vector<std::vector<Tree>> out(files.size());
  std::size_t total = 0;
  for (Task& task : tasks) {
    if (task.superseded) continue;
    if (task.nexus) {
      const std::string& path = files[task.file].path;
      if (task.outcome.tree > 0)
        Raise("Cannot read " + Where(path, task.outcome.tree) + ": " +
              EscapeForMessage(task.outcome.error));
      if (!task.outcome.error.empty()) {
        Raise("Cannot read " + QuoteForMessage(path) +
              (task.outcome.line > 0 ? " (line " + std::to_string(task.outcome.line) + ")" : "") +
              ": " + EscapeForMessage(task.outcome.error));
      }
      if (task.outcome.trees.empty())
        Raise("Cannot read " + QuoteForMessage(path) + ": it holds no tree");
      for (std::size_t i = 0; i < task.outcome.trees.size(); ++i)
        task.outcome.trees[i].origin = Where(path, task.first_tree + i + 1);
      total += task.outcome.trees.size();
      if (total > limits.trees)
        Raise("Cannot read " + QuoteForMessage(path) +
              ": the tree files hold more than the limit of " + std::to_string(limits.trees) +
              " trees");
      for (Tree& t : task.outcome.trees) out[task.file].push_back(std::move(t));
      continue;
    }
    bool failed = !task.outcome.error.empty() || task.outcome.trees.size() != task.ids.size();
    if (failed) {
      // Read the batch's trees one at a time to find the one at fault.
      for (const std::size_t k : task.ids) {
        NclOutcome alone;
        ReadWithNcl(text_of({k}), false, limits.taxa, &alone);
        if (alone.error.empty() && alone.trees.size() == 1) continue;
        const NewickTree& t = newick[k];
        const std::size_t line = t.span.line + std::size_t(std::max(1L, alone.line)) - 1;
        Raise("Cannot read " + Where(files[t.file].path, t.number) + " (line " +
              std::to_string(line) + "): " +
              (alone.error.empty() ? std::string("NCL found no tree in it")
                                   : EscapeForMessage(alone.error)));
      }
      Raise("Cannot read the trees of " + QuoteForMessage(files[newick[task.ids[0]].file].path) +
            ": " + EscapeForMessage(task.outcome.error));
    }
    for (std::size_t i = 0; i < task.ids.size(); ++i) {
      const NewickTree& t = newick[task.ids[i]];
      task.outcome.trees[i].origin = Where(files[t.file].path, t.number);
      out[t.file].push_back(std::move(task.outcome.trees[i]));
    }
  }
  return out;
}

}  // namespace dk::clades
