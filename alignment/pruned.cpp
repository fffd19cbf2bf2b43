#include "alignment/pruned.h"

#include <algorithm>

#include "alignment/taxon_names.h"
#include "platform/errors.h"

namespace dk {
namespace {

constexpr std::size_t kStrictNameWidth = 10;

std::size_t KeptCount(const std::vector<bool>& omitted) {
  return static_cast<std::size_t>(std::count(omitted.begin(), omitted.end(), false));
}

std::string Fasta(const Alignment& a, const std::vector<bool>& omitted) {
  std::string out;
  for (std::size_t i = 0; i < a.rows.size(); ++i) {
    if (omitted[i]) continue;
    // A record that ended the input without a line break gets one when others follow.
    if (!out.empty() && out.back() != '\n') out += '\n';
    out += a.rows[i];
  }
  return out;
}

std::string Phylip(const Alignment& a, const std::vector<bool>& omitted) {
  std::size_t width = kStrictNameWidth;
  if (a.format == InputFormat::kPhylipRelaxed) {
    width = 0;
    for (const auto& name : a.names) width = std::max(width, name.size());
    ++width;
  }
  std::string out = std::to_string(KeptCount(omitted)) + " " + std::to_string(a.characters) + "\n";
  for (std::size_t i = 0; i < a.rows.size(); ++i) {
    if (omitted[i]) continue;
    const std::string& name = a.names[i];
    if (name.size() > width) {
      Raise("Cannot write taxon " + std::to_string(i + 1) + " (" + QuoteForMessage(name) +
            ") to strict PHYLIP: its name is longer than 10 characters");
    }
    out += name;
    out.append(width - name.size(), ' ');
    out += a.rows[i];
    out += '\n';
  }
  return out;
}

std::string Nexus(const Alignment& a, const std::vector<bool>& omitted) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < a.names.size(); ++i) {
    if (!omitted[i]) width = std::max(width, NexusQuoted(a.names[i]).size());
  }
  std::string out =
      "#NEXUS\n\nBEGIN TAXA;\n  DIMENSIONS NTAX=" + std::to_string(KeptCount(omitted)) +
      ";\n  TAXLABELS\n";
  for (std::size_t i = 0; i < a.names.size(); ++i) {
    if (!omitted[i]) out += "    " + NexusQuoted(a.names[i]) + "\n";
  }
  out += "  ;\nEND;\n\nBEGIN CHARACTERS;\n  DIMENSIONS NCHAR=" + std::to_string(a.characters) +
         ";\n" + a.nexus_characters + "  MATRIX\n";
  for (std::size_t i = 0; i < a.names.size(); ++i) {
    if (omitted[i]) continue;
    const std::string name = NexusQuoted(a.names[i]);
    out += "    " + name;
    out.append(width - name.size() + 2, ' ');
    out += a.rows[i] + "\n";
  }
  out += "  ;\nEND;\n";
  if (!a.nexus_sets.empty()) out += "\nBEGIN SETS;\n" + a.nexus_sets + "END;\n";
  return out;
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

std::string PrunedAlignment(const Alignment& alignment, const std::vector<bool>& omitted) {
  if (omitted.size() != alignment.names.size()) {
    Raise("PrunedAlignment: " + std::to_string(omitted.size()) + " flags for " +
          std::to_string(alignment.names.size()) + " taxa");
  }
  switch (alignment.format) {
    case InputFormat::kFasta:
      return Fasta(alignment, omitted);
    case InputFormat::kNexus:
      return Nexus(alignment, omitted);
    default:
      return Phylip(alignment, omitted);
  }
}

}  // namespace dk
