#include "clades/support.h"

#include <algorithm>

#include "base/errors.h"
#include "clades/names.h"
#include "clades/parallel.h"
#include "os/parallel.h"

namespace dk::clades {
namespace {

// The taxon of each leaf of `tree` into *taxon. Returns "" or what is wrong: a name
// outside the design, or a name held twice.
std::string TaxaOf(const Tree& tree, const NameIndex& index, const std::vector<std::string>& names,
                   const std::string& role, std::vector<int>* taxon) {
  taxon->assign(tree.size(), -1);
  std::vector<bool> seen(names.size(), false);
  for (const int leaf : Leaves(tree)) {
    const std::string& label = tree.label[std::size_t(leaf)];
    const long t = index.Find(label);
    if (t < 0)
      return "The " + role + " " + tree.origin + " holds the taxon " + QuoteForMessage(label) +
             ", which is not in the design";
    if (seen[std::size_t(t)])
      return "The " + role + " " + tree.origin + " holds the taxon " +
             QuoteForMessage(names[std::size_t(t)]) + " twice";
    seen[std::size_t(t)] = true;
    (*taxon)[std::size_t(leaf)] = static_cast<int>(t);
  }
  return "";
}

std::vector<int> TaxaOrRaise(const Tree& tree, const NameIndex& index,
                             const std::vector<std::string>& names, const std::string& role) {
  std::vector<int> taxon;
  if (std::string problem = TaxaOf(tree, index, names, role, &taxon); !problem.empty())
    Raise(problem);
  return taxon;
}

// When the taxa `held` by group g's tree are exactly those another group kept: a note
// that the trees look out of group order; else "".
std::string OrderHint(const Design& design, const std::vector<bool>& held, std::size_t g) {
  for (std::size_t h = 0; h < design.groups.size(); ++h) {
    if (h == g) continue;
    std::vector<bool> kept(held.size(), true);
    for (const std::size_t t : design.groups[h]) kept[t] = false;
    if (kept == held) {
      return "; it holds exactly the taxa group " + std::to_string(h + 1) +
             " kept, so the trees look out of group order (give the design's folder, or each "
             "group's tree file, to match trees to groups by name)";
    }
  }
  return "";
}

}  // namespace

SupportResult ComputeSupport(const SupportInput& input) {
  const Design& design = input.design;
  const std::vector<std::string>& names = design.names;
  const std::size_t n = names.size();
  const NameIndex index(names);

  const std::vector<int> ref_taxa = TaxaOrRaise(input.reference, index, names, "reference tree");
  {
    std::vector<bool> held(n, false);
    for (const int t : ref_taxa)
      if (t >= 0) held[std::size_t(t)] = true;
    for (std::size_t t = 0; t < n; ++t) {
      if (!held[t])
        Raise("The reference tree " + input.reference.origin + " lacks the taxon " +
              QuoteForMessage(names[t]) + " of the design " + QuoteForMessage(design.source));
    }
  }
  if (n < 4)
    Raise("The design " + QuoteForMessage(design.source) +
          " has fewer than 4 taxa: no clade to test");

  CladeRules rules;
  rules.collapse_below = input.collapse_below;
  for (const std::string& name : input.outgroup) {
    const long o = index.Find(name);
    if (o < 0)
      Raise("The outgroup " + QuoteForMessage(name) + " is not a taxon of the design " +
            QuoteForMessage(design.source));
    rules.outgroup.push_back(static_cast<std::size_t>(o));
  }
  std::sort(rules.outgroup.begin(), rules.outgroup.end());
  rules.outgroup.erase(std::unique(rules.outgroup.begin(), rules.outgroup.end()),
                       rules.outgroup.end());
  const bool rooted = !rules.outgroup.empty();
  if (n - rules.outgroup.size() < 2)
    Raise("The outgroup leaves fewer than 2 taxa of the design " + QuoteForMessage(design.source) +
          " to form clades");

  const std::size_t groups = input.groups.size();
  const std::size_t designed = design.groups.size();
  if (design.group_count_exact ? groups != designed : groups < designed)
    Raise("The design " + QuoteForMessage(design.source) + " has " + std::to_string(designed) +
          " groups but " + std::to_string(groups) +
          " group trees were given; give the design's folder or each group's tree file to "
          "learn which are missing");
  const auto is_missing = [&](std::size_t g) {
    return g < input.missing.size() && input.missing[g];
  };

  SupportResult result;
  result.names = names;
  result.clades = FindClades(input.reference, ref_taxa, n, rules);
  // Several outgroup taxa must make one side of a branch: the rest is then a clade.
  long ingroup = -1;
  if (rules.outgroup.size() >= 2) {
    std::vector<Word> rest(result.clades.sets.words(), 0);
    for (std::size_t t = 0; t < n; ++t)
      if (!TestBit(result.clades.outgroup.data(), t)) SetBit(rest.data(), t);
    ingroup = result.clades.sets.Find(rest.data());
    if (ingroup < 0) {
      std::string taxa;
      for (const std::size_t t : rules.outgroup)
        taxa += (taxa.empty() ? "" : ", ") + QuoteForMessage(names[t]);
      Raise("The outgroup's taxa " + taxa + " do not stand together on one side of a branch of " +
            "the reference tree " + input.reference.origin +
            (rules.collapse_below >= 0 ? " (of more than the collapsed length)" : "") +
            ", so it cannot be rooted on them");
    }
  }
  const std::size_t count = result.clades.sets.size();
  result.testable.assign(count, 0);
  result.survived.assign(count, 0);

  // Groups are compared on a few threads, each with its own comparer and counts; the
  // error of the first group at fault (in group order) is raised afterwards.
  const unsigned workers = WorkerCount(groups);
  std::vector<CladeComparer> comparers(workers, CladeComparer(result.clades));
  std::vector<std::vector<std::size_t>> testable(workers, std::vector<std::size_t>(count, 0));
  std::vector<std::vector<std::size_t>> survived(workers, std::vector<std::size_t>(count, 0));
  std::vector<std::string> errors(groups);
  // The taxa held by each group's tree that holds a taxon its group left out.
  std::vector<std::vector<bool>> held_of_first_misfit(groups);
  if (input.keep_outcomes) {
    result.outcomes.resize(groups);
    result.absent.resize(groups);
  }
  for (std::size_t g = 0; g < groups; ++g)
    if (is_missing(g)) result.missing.push_back(g + 1);
  ParallelFor(groups, workers, [&](std::size_t g, unsigned w) {
    if (is_missing(g)) return;
    const Tree& tree = input.groups[g];
    const std::string role = "tree of group " + std::to_string(g + 1) + ",";
    std::vector<int> taxa;
    errors[g] = TaxaOf(tree, index, names, role, &taxa);
    if (!errors[g].empty()) return;
    std::vector<bool> held(n, false);
    for (const int t : taxa)
      if (t >= 0) held[std::size_t(t)] = true;
    if (g < designed) {
      for (const std::size_t t : design.groups[g]) {
        if (!held[t]) continue;
        errors[g] = "The " + role + " " + tree.origin + " holds the taxon " +
                    QuoteForMessage(names[t]) + ", which group " + std::to_string(g + 1) +
                    " leaves out";
        held_of_first_misfit[g] = held;  // kept only until the error is raised
        return;
      }
    }
    GroupOutcome outcome = comparers[w].Compare(tree, taxa);
    for (std::size_t c = 0; c < count; ++c) {
      testable[w][c] += TestBit(outcome.testable.data(), c);
      survived[w][c] += TestBit(outcome.survived.data(), c);
    }
    if (input.keep_outcomes) {
      for (std::size_t t = 0; t < n; ++t)
        if (!held[t]) result.absent[g].push_back(t);
      result.outcomes[g] = std::move(outcome);
    }
  });
  for (std::size_t g = 0; g < groups; ++g) {
    if (errors[g].empty()) continue;
    // Only the group whose error is raised is compared with the others' taxa.
    if (!held_of_first_misfit[g].empty())
      Raise(errors[g] + OrderHint(design, held_of_first_misfit[g], g));
    Raise(errors[g]);
  }
  for (unsigned w = 0; w < workers; ++w) {
    for (std::size_t c = 0; c < count; ++c) {
      result.testable[c] += testable[w][c];
      result.survived[c] += survived[w][c];
    }
  }

  const std::vector<long> ref_clade = CladeOfEachNode(result.clades, input.reference, ref_taxa);
  result.reference_support.assign(count, "");
  for (std::size_t v = 0; v < ref_clade.size(); ++v) {
    const long c = ref_clade[v];
    if (c >= 0 && result.reference_support[std::size_t(c)].empty())
      result.reference_support[std::size_t(c)] = input.reference.support[v];
  }

  if (rooted) {
    int outgroup_leaf = 0;
    for (std::size_t v = 0; v < ref_taxa.size(); ++v)
      if (ref_taxa[v] == static_cast<int>(result.clades.anchor))
        outgroup_leaf = static_cast<int>(v);
    int new_root = input.reference.parent[std::size_t(outgroup_leaf)];
    if (ingroup >= 0) {
      // Root next to the branch between the outgroup and the rest: at its lower end when
      // the outgroup lies below it, else at its upper end.
      std::size_t branch = 1;
      while (ref_clade[branch] != ingroup) ++branch;
      bool outgroup_below = false;
      for (int v = outgroup_leaf; v >= 0; v = input.reference.parent[std::size_t(v)])
        outgroup_below = outgroup_below || std::size_t(v) == branch;
      new_root = outgroup_below ? static_cast<int>(branch) : input.reference.parent[branch];
    }
    result.shown = Reroot(input.reference, new_root);
  } else {
    result.shown = input.reference;
  }
  const std::vector<int> shown_taxa = TaxaOrRaise(result.shown, index, names, "tree");
  for (std::size_t v = 0; v < shown_taxa.size(); ++v)
    if (shown_taxa[v] >= 0) result.shown.label[v] = names[std::size_t(shown_taxa[v])];
  result.shown_clade = CladeOfEachNode(result.clades, result.shown, shown_taxa);
  return result;
}

std::vector<ByTaxonRow> TaxonCladeCounts(const SupportResult& result) {
  const std::size_t n = result.names.size();
  const std::size_t count = result.clades.sets.size();
  // Groups whose tree lacks each taxon.
  std::vector<std::vector<std::size_t>> without(n);
  for (std::size_t g = 0; g < result.absent.size(); ++g)
    for (const std::size_t t : result.absent[g]) without[t].push_back(g);

  std::vector<std::size_t> fell_all(count, 0);
  for (const GroupOutcome& o : result.outcomes)
    for (std::size_t c = 0; c < count && !o.testable.empty(); ++c)
      fell_all[c] += TestBit(o.testable.data(), c) && !TestBit(o.survived.data(), c);

  std::vector<ByTaxonRow> rows;
  std::vector<std::size_t> tested(count), fell(count);
  for (std::size_t t = 0; t < n; ++t) {
    std::fill(tested.begin(), tested.end(), 0);
    std::fill(fell.begin(), fell.end(), 0);
    for (const std::size_t g : without[t]) {
      const GroupOutcome& o = result.outcomes[g];
      for (std::size_t c = 0; c < count; ++c) {
        const bool testable = TestBit(o.testable.data(), c);
        tested[c] += testable;
        fell[c] += testable && !TestBit(o.survived.data(), c);
      }
    }
    for (std::size_t c = 0; c < count; ++c) {
      const ByTaxonRow row{
          t, c, tested[c], fell[c], result.testable[c] - tested[c], fell_all[c] - fell[c]};
      if (row.testable_without > 0 && row.testable_with > 0) rows.push_back(row);
    }
  }
  return rows;
}

std::vector<ByTaxonRow> ByTaxon(const SupportResult& result) {
  std::vector<ByTaxonRow> rows = TaxonCladeCounts(result);
  // fell_without / testable_without > fell_with / testable_with, in whole numbers.
  std::erase_if(rows, [](const ByTaxonRow& r) {
    return r.fell_without * r.testable_with <= r.fell_with * r.testable_without;
  });
  return rows;
}

}  // namespace dk::clades
