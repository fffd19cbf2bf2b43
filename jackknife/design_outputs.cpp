#include "jackknife/design_outputs.h"

#include "alignment/taxon_names.h"
#include "base/errors.h"
#include "base/utf8.h"
#include "design/listing_format.h"
#include "os/env.h"

namespace dk {

std::optional<OutputFormat> ParseOutputFormat(std::string_view name) {
  for (const OutputFormat f : kOutputFormats) {
    if (name == OutputFormatName(f)) return f;
  }
  return std::nullopt;
}

const char* OutputFormatName(OutputFormat format) {
  switch (format) {
    case OutputFormat::kListing:
      return "listing";
    case OutputFormat::kTsv:
      return "tsv";
    case OutputFormat::kJson:
      return "json";
    case OutputFormat::kNexus:
      return "nexus";
    case OutputFormat::kTnt:
      return "tnt";
  }
  return "listing";
}

namespace {

void AppendDate(std::string& out, const char* format) {
  const LocalTime now = Env::Current()->Now();
  listing::Append(out, format,
                  {DateText(now), static_cast<std::uint64_t>(now.hour),
                   static_cast<std::uint64_t>(now.minute)});
}

// Appends `piece` as Show joins it to what it shows: without its end of line.
void AppendShown(std::string& out, std::string_view piece) {
  out.append(piece.substr(
      0, LengthWithoutEndOfLine(piece.size(), [&](std::size_t i) { return piece[i]; })));
}

}  // namespace

std::string ListingText(const std::vector<std::string>& lines, const Design& design) {
  std::string out;
  listing::Append(out, listing::kHeader, {design.groups.size(), design.omit});
  listing::Append(out, listing::kLineBreak, {});
  AppendDate(out, listing::kFileDate);
  // A name goes in as it stands, between the pieces its format puts around it.
  const std::string_view format(listing::kFileName);
  const std::size_t at = format.find("%s");
  std::string before, after;
  listing::Append(before, format.substr(0, at), {});
  listing::Append(after, format.substr(at + 2), {});
  // The listing's size, but for the headings' numbers, so that it is built in one piece.
  std::size_t size = out.size() + design.groups.size() * (sizeof listing::kHeading + 8);
  for (const auto& group : design.groups) {
    for (const std::size_t i : group) size += before.size() + lines[i].size() + after.size();
  }
  out.reserve(size);
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    listing::Append(out, listing::kHeading, {g + 1});
    for (const std::size_t i : design.groups[g]) {
      out += before;
      out += lines[i];
      out += after;
    }
  }
  return out;
}

std::string ShowText(const std::vector<std::string>& lines, const Design& design) {
  std::string out, piece;
  listing::Append(out, listing::kHeader, {design.groups.size(), design.omit});
  AppendDate(piece, listing::kShowDate);
  AppendShown(out, piece);
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    piece.clear();
    listing::Append(piece, listing::kHeading, {g + 1});
    AppendShown(out, piece);
    for (const std::size_t i : design.groups[g]) {
      piece.clear();
      listing::Append(piece, listing::kShowName, {lines[i]});
      AppendShown(out, piece);
    }
  }
  return out + "\n";
}

std::string NexusCommands(const std::vector<std::string>& names, const Design& design) {
  std::string out = "#NEXUS\n[Taxon-jackknife design: " + std::to_string(design.groups.size()) +
                    " groups, each leaving out " + std::to_string(design.omit) + " of " +
                    std::to_string(design.list_size) +
                    " taxa. Execute the data file first, then this file.]\n\nBEGIN SETS;\n";
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    if (design.groups[g].empty()) continue;  // NEXUS has no empty TAXSET
    out += "  TAXSET " + GroupLabel(g + 1, design.groups.size()) + " =";
    for (const std::size_t i : design.groups[g]) out += " " + NexusQuoted(names[i]);
    out += ";\n";
  }
  out += "END;\n\nBEGIN PAUP;\n";
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    const std::string label = GroupLabel(g + 1, design.groups.size());
    const bool deletes = !design.groups[g].empty();
    out += "  [" + label + "]\n";
    if (deletes) out += "  DELETE " + label + ";\n";
    out += "  HSEARCH;\n  SAVETREES FILE=" + label + ".tre REPLACE=YES;\n";
    if (deletes) out += "  RESTORE ALL;\n";
  }
  return out + "END;\n";
}

std::string TntScript(const Design& design) {
  std::string out = "macro=;\ntaxname=;\n";
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    std::string taxa;
    for (const std::size_t i : design.groups[g]) taxa += " " + std::to_string(i);
    const std::string label = GroupLabel(g + 1, design.groups.size());
    if (!taxa.empty()) out += "taxcode -" + taxa + " ;\n";
    out += "keep 0 ;\nmult ;\ntsave *" + label + ".tre ;\nsave ;\ntsave / ;\n";
    if (!taxa.empty()) out += "taxcode +" + taxa + " ;\n";
  }
  return out + "proc / ;\n";
}

}  // namespace dk
