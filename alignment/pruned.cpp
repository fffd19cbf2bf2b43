#include "alignment/pruned.h"

#include <algorithm>

#include "alignment/taxon_names.h"
#include "base/errors.h"

namespace dk {
namespace {

constexpr std::size_t kStrictNameWidth = 10;

std::size_t KeptCount(const std::vector<bool>& omitted) {
  return static_cast<std::size_t>(std::count(omitted.begin(), omitted.end(), false));
}

void Fasta(const Alignment& a, const std::vector<bool>& omitted, PrunedText* out) {
  bool any = false, ends_line = true;
  for (std::size_t i = 0; i < a.rows.size(); ++i) {
    if (omitted[i]) continue;
    // A record that ended the input without a line break gets one when others follow.
    if (any && !ends_line) out->Add("\n");
    const std::string_view row = a.rows[i];
    out->Add(row);
    any = true;
    ends_line = !row.empty() && row.back() == '\n';
  }
}

void Phylip(const Alignment& a, const std::vector<bool>& omitted, PrunedText* out) {
  std::size_t width = kStrictNameWidth;
  if (a.format == InputFormat::kPhylipRelaxed) {
    width = 0;
    for (const auto& name : a.names) width = std::max(width, name.size());
    ++width;
  }
  out->Add(std::to_string(KeptCount(omitted)) + " " + std::to_string(a.characters) + "\n");
  for (std::size_t i = 0; i < a.rows.size(); ++i) {
    if (omitted[i]) continue;
    const std::string& name = a.names[i];
    if (name.size() > width) {
      Raise("Cannot write taxon " + std::to_string(i + 1) + " (" + QuoteForMessage(name) +
            ") to strict PHYLIP: its name is longer than 10 characters");
    }
    out->Add(name + std::string(width - name.size(), ' '));
    out->Add(a.rows[i]);
    out->Add("\n");
  }
}

void Nexus(const Alignment& a, const std::vector<bool>& omitted, PrunedText* out) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < a.names.size(); ++i) {
    if (!omitted[i]) width = std::max(width, NexusQuoted(a.names[i]).size());
  }
  std::string head =
      "#NEXUS\n\nBEGIN TAXA;\n  DIMENSIONS NTAX=" + std::to_string(KeptCount(omitted)) +
      ";\n  TAXLABELS\n";
  for (std::size_t i = 0; i < a.names.size(); ++i) {
    if (!omitted[i]) head += "    " + NexusQuoted(a.names[i]) + "\n";
  }
  head += "  ;\nEND;\n\nBEGIN CHARACTERS;\n  DIMENSIONS NCHAR=" + std::to_string(a.characters) +
          ";\n" + a.nexus_characters + "  MATRIX\n";
  out->Add(std::move(head));
  for (std::size_t i = 0; i < a.names.size(); ++i) {
    if (omitted[i]) continue;
    const std::string name = NexusQuoted(a.names[i]);
    out->Add("    " + name + std::string(width - name.size() + 2, ' '));
    out->Add(a.rows[i]);
    out->Add("\n");
  }
  out->Add("  ;\nEND;\n");
  if (!a.nexus_sets.empty()) out->Add("\nBEGIN SETS;\n" + a.nexus_sets + "END;\n");
}

}  // namespace

const char* PrunedExtension(InputFormat format) {
  switch (format) {
    case InputFormat::kFasta:
      return ".fasta";
    case InputFormat::kNexus:
      return ".nex";
    default:
      return ".phy";
  }
}

void PrunedText::Add(std::string text) {
  own_.push_back(std::move(text));
  pieces_.push_back(own_.back());
}

std::string PrunedText::Joined() const {
  std::string out;
  for (const std::string_view piece : pieces_) out.append(piece);
  return out;
}

PrunedText PrunedPieces(const Alignment& alignment, const std::vector<bool>& omitted) {
  if (omitted.size() != alignment.names.size()) {
    Raise("PrunedAlignment: " + std::to_string(omitted.size()) + " flags for " +
          std::to_string(alignment.names.size()) + " taxa");
  }
  PrunedText out;
  switch (alignment.format) {
    case InputFormat::kFasta:
      Fasta(alignment, omitted, &out);
      break;
    case InputFormat::kNexus:
      Nexus(alignment, omitted, &out);
      break;
    default:
      Phylip(alignment, omitted, &out);
      break;
  }
  return out;
}

std::string PrunedAlignment(const Alignment& alignment, const std::vector<bool>& omitted) {
  return PrunedPieces(alignment, omitted).Joined();
}

}  // namespace dk
