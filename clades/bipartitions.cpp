#include "clades/bipartitions.h"

#include <algorithm>
#include <bit>
#include <numeric>

namespace dk::clades {
namespace {

// Fills `below` (one row per node) with the taxa below each node, leaves upward.
void TaxaBelow(const Tree& tree, const std::vector<int>& leaf_taxon, std::size_t words,
               std::vector<Word>* below) {
  below->assign(tree.size() * words, 0);
  Word* rows = below->data();
  for (std::size_t v = tree.size(); v-- > 0;) {
    Word* row = rows + v * words;
    if (leaf_taxon[v] >= 0) SetBit(row, std::size_t(leaf_taxon[v]));
    if (v == 0) break;
    Word* up = rows + std::size_t(tree.parent[v]) * words;
    for (std::size_t i = 0; i < words; ++i) up[i] |= row[i];
  }
}

// side = all - side
void Complement(const Word* all, Word* side, std::size_t words) {
  for (std::size_t i = 0; i < words; ++i) side[i] = all[i] & ~side[i];
}

// True when `a` comes before `b` in row order among sets of one size.
bool ListOrderLess(const Word* a, const Word* b, std::size_t words) {
  for (std::size_t i = 0; i < words; ++i) {
    const Word diff = a[i] ^ b[i];
    if (diff != 0) return (a[i] & (diff & -diff)) != 0;
  }
  return false;
}

bool Collapsed(double length, double collapse_below) {
  return collapse_below >= 0 && length <= collapse_below;  // false for NaN
}

// True when `side` and `set` share a taxon; false for an empty set.
bool Meets(const Word* side, const std::vector<Word>& set) {
  for (std::size_t i = 0; i < set.size(); ++i)
    if ((side[i] & set[i]) != 0) return true;
  return false;
}

}  // namespace

CladeTable FindClades(const Tree& tree, const std::vector<int>& leaf_taxon, std::size_t taxa,
                      const CladeRules& rules) {
  const std::size_t words = std::max<std::size_t>(1, WordsFor(taxa));
  const std::size_t anchor = rules.outgroup.empty() ? 0 : rules.outgroup.front();
  std::vector<Word> outgroup;
  if (!rules.outgroup.empty()) {
    outgroup.assign(words, 0);
    for (const std::size_t t : rules.outgroup) SetBit(outgroup.data(), t);
  }
  std::vector<Word> below;
  TaxaBelow(tree, leaf_taxon, words, &below);
  std::vector<Word> all(words, 0);
  for (std::size_t t = 0; t < taxa; ++t) SetBit(all.data(), t);
  const std::vector<double> edge = EdgeLengths(tree);

  SplitSet found(taxa);
  std::vector<double> found_length;
  std::vector<Word> side(words);
  for (std::size_t v = 1; v < tree.size(); ++v) {
    if (Collapsed(edge[v], rules.collapse_below)) continue;
    std::copy_n(below.data() + v * words, words, side.data());
    if (TestBit(side.data(), anchor)) Complement(all.data(), side.data(), words);
    const std::size_t n = CountBits(side.data(), words);
    if (n < 2 || taxa - n < 2 || Meets(side.data(), outgroup)) continue;
    if (found.Insert(side.data()) == found_length.size()) found_length.push_back(edge[v]);
  }

  std::vector<std::size_t> order(found.size());
  std::iota(order.begin(), order.end(), 0);
  std::vector<std::size_t> size(found.size());
  for (std::size_t i = 0; i < found.size(); ++i) size[i] = CountBits(found.row(i), words);
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (size[a] != size[b]) return size[a] < size[b];
    return ListOrderLess(found.row(a), found.row(b), words);
  });
  CladeTable table;
  table.taxa = taxa;
  table.anchor = anchor;
  table.rooted = !outgroup.empty();
  table.outgroup = std::move(outgroup);
  table.collapse_below = rules.collapse_below;
  table.sets = SplitSet(taxa);
  for (const std::size_t i : order) {
    table.sets.Insert(found.row(i));
    table.members.push_back(size[i]);
    table.length.push_back(found_length[i]);
  }
  return table;
}

std::vector<long> CladeOfEachNode(const CladeTable& clades, const Tree& tree,
                                  const std::vector<int>& leaf_taxon) {
  const std::size_t words = clades.sets.words();
  std::vector<Word> below;
  TaxaBelow(tree, leaf_taxon, words, &below);
  std::vector<Word> all(words, 0);
  for (std::size_t t = 0; t < clades.taxa; ++t) SetBit(all.data(), t);
  std::vector<long> out(tree.size(), -1);
  std::vector<Word> side(words);
  const std::vector<double> edge = EdgeLengths(tree);
  for (std::size_t v = 1; v < tree.size(); ++v) {
    if (leaf_taxon[v] >= 0 || Collapsed(edge[v], clades.collapse_below)) continue;
    std::copy_n(below.data() + v * words, words, side.data());
    if (TestBit(side.data(), clades.anchor)) Complement(all.data(), side.data(), words);
    out[v] = clades.sets.Find(side.data());
  }
  return out;
}

CladeComparer::CladeComparer(const CladeTable& clades)
    : clades_(clades),
      splits_(clades.taxa),
      present_(clades.sets.words()),
      side_(clades.sets.words()) {}

GroupOutcome CladeComparer::Compare(const Tree& tree, const std::vector<int>& leaf_taxon) {
  const std::size_t words = clades_.sets.words();
  const std::size_t count = clades_.sets.size();
  GroupOutcome out;
  out.testable.assign(WordsFor(count), 0);
  out.survived.assign(WordsFor(count), 0);

  TaxaBelow(tree, leaf_taxon, words, &below_);
  std::copy_n(below_.data(), words, present_.data());
  const std::size_t present = CountBits(present_.data(), words);
  // The anchor of this tree: the first taxon in list order of the outgroup, or of all,
  // that it holds.
  std::size_t anchor = 0;
  while (anchor < clades_.taxa && !(TestBit(present_.data(), anchor) &&
                                    (!clades_.rooted || TestBit(clades_.outgroup.data(), anchor))))
    ++anchor;
  if (anchor == clades_.taxa || present < 4) return out;  // nothing is testable

  splits_.Clear();
  const std::vector<double> edge = EdgeLengths(tree);
  for (std::size_t v = 1; v < tree.size(); ++v) {
    if (Collapsed(edge[v], clades_.collapse_below)) continue;
    std::copy_n(below_.data() + v * words, words, side_.data());
    if (TestBit(side_.data(), anchor)) Complement(present_.data(), side_.data(), words);
    const std::size_t n = CountBits(side_.data(), words);
    if (n >= 2 && present - n >= 2) splits_.Insert(side_.data());
  }
  // Rooted: the taxa of the tree outside the outgroup.
  std::size_t rest = present;
  if (clades_.rooted) {
    // The outgroup's taxa this tree holds must stand on one side of a branch: the rest
    // of its taxa then form a split (or are too few to test anything).
    rest = 0;
    for (std::size_t i = 0; i < words; ++i) {
      side_[i] = present_[i] & ~clades_.outgroup[i];
      rest += static_cast<std::size_t>(std::popcount(side_[i]));
    }
    const std::size_t held = present - rest;
    if (held >= 2 && rest >= 2 && splits_.Find(side_.data()) < 0) return out;
  }

  for (std::size_t c = 0; c < count; ++c) {
    const Word* clade = clades_.sets.row(c);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < words; ++i) {
      side_[i] = clade[i] & present_[i];
      kept += static_cast<std::size_t>(std::popcount(side_[i]));
    }
    // Rooted, a taxon outside the outgroup must stand beside the clade too: a clade that
    // holds all of them is the ingroup, which rooting on the outgroup makes by itself.
    if (kept < 2 || present - kept < 2 || rest - kept < 1) continue;
    SetBit(out.testable.data(), c);
    if (TestBit(side_.data(), anchor)) Complement(present_.data(), side_.data(), words);
    if (splits_.Find(side_.data()) >= 0) SetBit(out.survived.data(), c);
  }
  return out;
}

}  // namespace dk::clades
