#include "jackknife/design_outputs.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "alignment/taxon_names.h"
#include "base/errors.h"
#include "runtime/ops.h"
#include "runtime/text.h"

namespace dk {
namespace {

// The generator's own formats (generator/randlist.cpp): "\\n" is the two characters
// that the run-time's formatting turns into a line break.
constexpr char kHeaderFormat[] = "Randomized listing of %i groups to %i taxa to omit";
constexpr char kLineBreak[] = "\\n";
constexpr char kFileDateFormat[] = "%s : %i:%i\\n";
constexpr char kHeadingFormat[] = "\\n***  Repetition %i  *****************************";
constexpr char kShowDateFormat[] = "\\n%s : %i:%i";
constexpr char kShowNameFormat[] = "\\n%s ";

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
  FormatUtf8(Value::Text(kHeaderFormat), {Count(design.groups.size()), Count(design.omit)}, out);
  FormatUtf8(Value::Text(kLineBreak), {}, out);
  const Value clock = mlfClock();
  FormatUtf8(
      Value::Text(kFileDateFormat),
      {mlfDate(), mlfScalar(mclIntArrayRef1(clock, 4)), mlfScalar(mclIntArrayRef1(clock, 5))}, out);
  const Value heading = Value::Text(kHeadingFormat);
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    FormatUtf8(heading, {Count(g + 1)}, out);
    for (const std::size_t i : design.groups[g]) {
      out += '\n';
      out += lines[i];
    }
  }
  return out;
}

std::string ShowText(const std::vector<std::string>& lines, const Design& design) {
  Value text =
      mlfSprintf(Value::Text(kHeaderFormat), {Count(design.groups.size()), Count(design.omit)});
  const Value clock = mlfClock();
  text = mlfStrcat(std::move(text), mlfSprintf(Value::Text(kShowDateFormat),
                                               {mlfDate(), mlfScalar(mclIntArrayRef1(clock, 4)),
                                                mlfScalar(mclIntArrayRef1(clock, 5))}));
  const Value heading = Value::Text(kHeadingFormat);
  const Value name_format = Value::Text(kShowNameFormat);
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    text = mlfStrcat(std::move(text), mlfSprintf(heading, {Count(g + 1)}));
    for (const std::size_t i : design.groups[g]) {
      text = mlfStrcat(std::move(text), mlfSprintf(name_format, {Value::Text(lines[i])}));
    }
  }
  return text.utf8() + "\n";
}

std::string GroupsTsv(const std::vector<std::string>& names, const Design& design) {
  std::string out = "group\tposition\tname\tline\n";
  const auto number = [&out](std::size_t n, char after) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, end);
    out += after;
  };
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    for (std::size_t j = 0; j < design.groups[g].size(); ++j) {
      const std::size_t i = design.groups[g][j];
      number(g + 1, '\t');
      number(j + 1, '\t');
      out += names[i];
      out += '\t';
      number(i + 1, '\n');
    }
  }
  return out;
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

std::string DesignJson(const std::vector<std::string>& names, const Design& design,
                       const Provenance& provenance) {
  using Json = nlohmann::ordered_json;
  Json json;
  json["format"] = "dropkit-design";
  json["format_version"] = 1;
  json["program"] = provenance.program;
  json["version"] = provenance.version;
  if (provenance.window) {
    Json boxes = Json::object();
    for (const auto& [box, value] : *provenance.window) boxes[box] = value;
    json["window"] = boxes;
  } else {
    json["command"] = provenance.command;
  }
  json["input"] = {{"file", provenance.input_file},
                   {"size", provenance.input_size},
                   {"sha256", provenance.input_sha256},
                   {"format", provenance.input_format}};
  if (const std::optional<FileRecord>& list = provenance.names_list) {
    json["list"] = {{"file", list->file}, {"size", list->size}, {"sha256", list->sha256}};
  }
  json["list_size"] = design.list_size;
  json["names"] = names;
  Json kept = Json::array();
  for (const std::size_t i : design.kept) kept.push_back(names[i]);
  json["kept"] = kept;
  json["omit"] = design.omit;
  json["group_count"] = design.groups.size();
  json["each"] = design.draw == DrawMode::kLeaveOneOut;
  json["draw"] = DrawModeName(design.draw);
  const DesignSummary summary = Summarize(design);
  json["distinct_groups"] = summary.distinct;
  json["omitted_least"] = summary.omitted_least;
  json["omitted_most"] = summary.omitted_most;
  if (!provenance.seed) {
    json["seed"] = nullptr;
  } else if (const double s = *provenance.seed; s == std::floor(s) && std::fabs(s) < 9.2e18) {
    json["seed"] = static_cast<long long>(s);
  } else {
    json["seed"] = s;
  }
  json["seed_source"] = SeedSourceName(provenance.seed_source);
  json["draws_before"] = provenance.draws_before;
  json["generator"] = "Philox4x64-10; see docs/random.md";
  json["created"] = provenance.created;
  json["listing_sha256"] = Sha256Hex(GroupsTsv(names, design));
  if (const std::optional<JobsRecord>& jobs = provenance.jobs) {
    json["jobs"] = {{"template", jobs->command_template},
                    {"reference", jobs->reference},
                    {"tree_name", jobs->tree_name.empty() ? Json(nullptr) : Json(jobs->tree_name)}};
  }
  Json groups = Json::array();
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    Json omitted = Json::array(), lines = Json::array();
    for (const std::size_t i : design.groups[g]) {
      omitted.push_back(names[i]);
      lines.push_back(i + 1);
    }
    groups.push_back({{"group", g + 1},
                      {"label", GroupLabel(g + 1, design.groups.size())},
                      {"omitted", omitted},
                      {"lines", lines}});
  }
  json["groups"] = groups;
  try {
    return json.dump(2) + "\n";
  } catch (const nlohmann::json::exception& e) {
    Raise(std::string("Cannot write the design as JSON: a name or argument is not valid UTF-8 (") +
          e.what() + ")");
  }
}

}  // namespace dk
