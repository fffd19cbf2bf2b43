#include "design/design_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "base/errors.h"
#include "base/json_nesting.h"

namespace dk {
namespace {

using Json = nlohmann::json;
// dropkit.json keeps its keys in the documented order.
using OrderedJson = nlohmann::ordered_json;

// groups.tsv's header row, and the name and version dropkit.json states of itself.
constexpr char kTsvHeader[] = "group\tposition\tname\tline";
constexpr char kJsonFormat[] = "dropkit-design";
constexpr int kJsonFormatVersion = 1;

// Raises an error about the design file `source`.
[[noreturn]] void Refuse(const std::string& source, const std::string& what) {
  Raise("The design file " + QuoteForMessage(source) + " " + what);
}

const Json& Member(const Json& obj, const char* key, const std::string& source) {
  const auto it = obj.find(key);
  if (it == obj.end()) Refuse(source, std::string("has no \"") + key + "\"");
  return *it;
}

// A value of the design for a message: a number, a truth value or a text (shortened),
// or what kind of value it is; never a dump of a nested value.
std::string Shown(const Json& value) {
  if (value.is_array()) return "a list";
  if (value.is_object()) return "an object";
  std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() > 80) text = text.substr(0, 76) + "...";
  return EscapeForMessage(text);
}

// Lists and objects nest four levels in a design; far deeper is no design.
constexpr std::size_t kMaxDesignNesting = 16;

Design ParseJson(const std::string& bytes, const std::string& source, const DesignLimits& limits) {
  if (const std::size_t at = JsonTooDeepAt(bytes, kMaxDesignNesting); at != std::string::npos) {
    Refuse(source, "nests lists and objects more than " + std::to_string(kMaxDesignNesting) +
                       " levels deep (at byte " + std::to_string(at + 1) + "); it is no design");
  }
  Json doc;
  try {
    doc = Json::parse(bytes);
  } catch (const Json::exception& e) {
    Refuse(source, std::string("is not valid JSON: ") + e.what());
  }
  if (!doc.is_object()) Refuse(source, "is not a JSON object");
  const Json& format = Member(doc, "format", source);
  if (format != kJsonFormat)
    Refuse(source, "has \"format\" " + Shown(format) + ", not \"dropkit-design\"");
  const Json& version = Member(doc, "format_version", source);
  if (version != kJsonFormatVersion)
    Refuse(source, "has \"format_version\" " + Shown(version) +
                       ", which this program does not "
                       "know (it reads version 1)");

  Design design;
  design.source = source;
  design.names_complete = true;
  design.group_count_exact = true;
  const Json& names = Member(doc, "names", source);
  if (!names.is_array()) Refuse(source, "has \"names\" that is not a list");
  if (names.size() > limits.taxa)
    Refuse(source, "names " + std::to_string(names.size()) + " taxa, more than the limit of " +
                       std::to_string(limits.taxa));
  std::unordered_map<std::string, std::size_t> index;
  for (const Json& n : names) {
    if (!n.is_string()) Refuse(source, "has an entry of \"names\" that is not a text: " + Shown(n));
    const std::string& name = n.get_ref<const std::string&>();
    if (!index.emplace(name, design.names.size()).second)
      Refuse(source, "names " + QuoteForMessage(name) + " twice in \"names\"");
    design.names.push_back(name);
  }

  if (const auto jobs = doc.find("jobs"); jobs != doc.end()) {
    if (!jobs->is_object()) Refuse(source, "has \"jobs\" that is not an object");
    if (const auto name = jobs->find("tree_name"); name != jobs->end() && !name->is_null()) {
      if (!name->is_string())
        Refuse(source, "has a \"tree_name\" of the jobs that is not a text: " + Shown(*name));
      design.tree_name = name->get<std::string>();
    }
  }

  const Json& groups = Member(doc, "groups", source);
  if (!groups.is_array()) Refuse(source, "has \"groups\" that is not a list");
  const Json& count = Member(doc, "group_count", source);
  if (!count.is_number_unsigned() || count.get<std::uint64_t>() != groups.size())
    Refuse(source, "has \"group_count\" " + Shown(count) + " but " + std::to_string(groups.size()) +
                       " entries in \"groups\"");
  if (groups.size() > limits.groups)
    Refuse(source, "has " + std::to_string(groups.size()) + " groups, more than the limit of " +
                       std::to_string(limits.groups));
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const std::string which = "group " + std::to_string(g + 1);
    const Json& group = groups[g];
    if (!group.is_object()) Refuse(source, "has " + which + " that is not an object");
    const Json& number = Member(group, "group", source);
    if (number != g + 1)
      Refuse(source, "has group number " + Shown(number) + " in place " + std::to_string(g + 1));
    const Json& omitted = Member(group, "omitted", source);
    if (!omitted.is_array()) Refuse(source, "has " + which + " whose \"omitted\" is not a list");
    std::vector<std::size_t> taken;
    for (const Json& n : omitted) {
      if (!n.is_string()) Refuse(source, "has " + which + " omitting a non-text " + Shown(n));
      const auto it = index.find(n.get_ref<const std::string&>());
      if (it == index.end())
        Refuse(source, "has " + which + " omitting " + QuoteForMessage(n.get<std::string>()) +
                           ", which is not in \"names\"");
      taken.push_back(it->second);
    }
    std::sort(taken.begin(), taken.end());
    if (std::adjacent_find(taken.begin(), taken.end()) != taken.end())
      Refuse(source, "has " + which + " omitting a taxon twice");
    design.groups.push_back(std::move(taken));
  }
  design.list_size = design.names.size();
  return design;
}

// Parses a whole positive number written without sign or leading zeros.
bool ParseCount(std::string_view text, std::size_t* out) {
  if (text.empty() || text[0] == '0') return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && end == text.data() + text.size();
}

Design ParseTsv(const std::string& bytes, const std::string& source, const DesignLimits& limits) {
  Design design;
  design.source = source;
  std::unordered_map<std::string, std::size_t> place_of;  // name -> index into names
  std::size_t line_no = 0;
  std::size_t pos = 0;
  bool header_seen = false;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string_view line(bytes.data() + pos, end - pos);
    pos = end + 1;
    ++line_no;
    const std::string at = "line " + std::to_string(line_no);
    if (!header_seen) {
      if (line != kTsvHeader)
        Refuse(source, "does not start with the header \"group<TAB>position<TAB>name<TAB>line\"");
      header_seen = true;
      continue;
    }
    std::string_view field[4];
    std::size_t n = 0;
    for (std::size_t start = 0;; ++n) {
      const std::size_t tab = line.find('\t', start);
      if (n < 4) field[n] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    if (n + 1 != 4)
      Refuse(source, "has " + std::to_string(n + 1) + " fields on " + at + " (4 needed)");
    std::size_t group = 0, position = 0, place = 0;
    if (!ParseCount(field[0], &group)) Refuse(source, "has a bad group number on " + at);
    if (!ParseCount(field[1], &position)) Refuse(source, "has a bad position on " + at);
    if (!ParseCount(field[3], &place)) Refuse(source, "has a bad line number on " + at);
    const std::string name(field[2]);
    if (name.empty()) Refuse(source, "has an empty name on " + at);
    if (group > limits.groups)
      Refuse(source, "has group " + std::to_string(group) + " on " + at + " beyond the limit of " +
                         std::to_string(limits.groups) + " groups");
    if (place > limits.taxa)
      Refuse(source, "has line number " + std::to_string(place) + " on " + at +
                         " beyond the limit of " + std::to_string(limits.taxa) + " taxa");
    const std::size_t index = place - 1;
    if (const auto it = place_of.find(name); it != place_of.end() && it->second != index)
      Refuse(source, "gives " + QuoteForMessage(name) + " the list line " + std::to_string(place) +
                         " on " + at + ", but " + std::to_string(it->second + 1) + " before");
    if (design.names.size() <= index) design.names.resize(index + 1);
    if (!design.names[index].empty() && design.names[index] != name)
      Refuse(source, "gives " + QuoteForMessage(name) + " the list line " + std::to_string(place) +
                         " on " + at + ", which " + QuoteForMessage(design.names[index]) +
                         " had before");
    design.names[index] = name;
    place_of.emplace(name, index);
    if (design.groups.size() < group) design.groups.resize(group);
    auto& taken = design.groups[group - 1];
    if (std::find(taken.begin(), taken.end(), index) != taken.end())
      Refuse(source, "has group " + std::to_string(group) + " omitting " + QuoteForMessage(name) +
                         " twice (" + at + ")");
    taken.push_back(index);
  }
  if (!header_seen) Refuse(source, "is empty");
  for (auto& taken : design.groups) std::sort(taken.begin(), taken.end());
  design.list_size = design.names.size();
  return design;
}

}  // namespace

std::string GroupsTsv(const std::vector<std::string>& names, const Design& design) {
  std::string out = std::string(kTsvHeader) + "\n";
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

std::string DesignJson(const std::vector<std::string>& names, const Design& design,
                       const Provenance& provenance) {
  OrderedJson json;
  json["format"] = kJsonFormat;
  json["format_version"] = kJsonFormatVersion;
  json["program"] = provenance.program;
  json["version"] = provenance.version;
  if (provenance.window) {
    OrderedJson boxes = OrderedJson::object();
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
  OrderedJson kept = OrderedJson::array();
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
                    {"tree_name", jobs->tree_name.empty() ? OrderedJson(nullptr)
                                                          : OrderedJson(jobs->tree_name)}};
  }
  OrderedJson groups = OrderedJson::array();
  for (std::size_t g = 0; g < design.groups.size(); ++g) {
    OrderedJson omitted = OrderedJson::array(), lines = OrderedJson::array();
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

Design ParseDesign(const std::string& bytes, const std::string& source,
                   const DesignLimits& limits) {
  const std::size_t first = bytes.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && bytes[first] == '{') return ParseJson(bytes, source, limits);
  return ParseTsv(bytes, source, limits);
}

}  // namespace dk
