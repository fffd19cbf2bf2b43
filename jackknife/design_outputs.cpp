#include "jackknife/design_outputs.h"

#include "alignment/taxon_names.h"
#include "base/errors.h"
#include "design/listing_format.h"
#include "runtime/ops.h"
#include "runtime/text.h"

namespace dk {
namespace {

Value Count(std::size_t n) {
  return Value::Scalar(static_cast<double>(n));
}

}  // namespace

std::optional<OutputFormat> ParseOutputFormat(std::string_view name) {
  for (const OutputFormat f : {OutputFormat::kListing, OutputFormat::kTsv, OutputFormat::kJson,
                               OutputFormat::kNexus, OutputFormat::kTnt}) {
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

std::string ListingText(const std::vector<std::string>& lines, const Design& design) {
  std::string out;
  FormatUtf8(Value::Text(listing::kHeader), {Count(design.groups.size()), Count(design.omit)}, out);
  FormatUtf8(Value::Text(listing::kLineBreak), {}, out);
  const Value clock = mlfClock();
  FormatUtf8(
      Value::Text(listing::kFileDate),
      {mlfDate(), mlfScalar(mclIntArrayRef1(clock, 4)), mlfScalar(mclIntArrayRef1(clock, 5))}, out);
  const Value heading = Value::Text(listing::kHeading);
  // A name goes in as it stands, between the pieces its format puts around it.
  std::string_view before, after;
  if (!OneItemPieces(Value::Text(listing::kFileName), &before, &after)) {
    Raise("The listing's name format takes more than one name");
  }
  const std::string name_before(before), name_after(after);
  // The listing's size, but for the headings' numbers, so that it is built in one piece.
  std::size_t size = out.size() + design.groups.size() * (sizeof listing::kHeading + 8);
  for (const auto& group : design.groups) {
    for (const std::size_t i : group)
      size += name_before.size() + lines[i].size() + name_after.size();
  }
  out.reserve(size);
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    FormatUtf8(heading, {Count(g + 1)}, out);
    for (const std::size_t i : design.groups[g]) {
      out += name_before;
      out += lines[i];
      out += name_after;
    }
  }
  return out;
}

std::string ShowText(const std::vector<std::string>& lines, const Design& design) {
  Value text =
      mlfSprintf(Value::Text(listing::kHeader), {Count(design.groups.size()), Count(design.omit)});
  const Value clock = mlfClock();
  text = mlfStrcat(std::move(text), mlfSprintf(Value::Text(listing::kShowDate),
                                               {mlfDate(), mlfScalar(mclIntArrayRef1(clock, 4)),
                                                mlfScalar(mclIntArrayRef1(clock, 5))}));
  const Value heading = Value::Text(listing::kHeading);
  const Value name_format = Value::Text(listing::kShowName);
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    text = mlfStrcat(std::move(text), mlfSprintf(heading, {Count(g + 1)}));
    for (const std::size_t i : design.groups[g]) {
      text = mlfStrcat(std::move(text), mlfSprintf(name_format, {Value::Text(lines[i])}));
    }
  }
  return text.utf8() + "\n";
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
