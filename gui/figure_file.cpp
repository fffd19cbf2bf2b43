#include "gui/figure_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "base/json_nesting.h"
#include "gui/graphics.h"
#include "os/env.h"
#include "os/files.h"
#include "runtime/callable.h"
#include "runtime/ops.h"
#include "runtime/paths.h"

namespace dk {
namespace {

// Keys keep the order of the file, so properties are set in the order they are written.
using Json = nlohmann::ordered_json;

constexpr std::string_view kFormat = "dropkit-figure";
constexpr int kVersion = 1;
// A figure file is a few kilobytes; anything far larger is not one (or is a device).
constexpr std::size_t kMaxBytes = std::size_t{4} << 20;
// A figure file nests seven levels deep (a callback argument in a control's properties).
constexpr int kMaxNesting = 32;
constexpr std::array<std::string_view, 1> kChildTypes = {"uicontrol"};
constexpr std::array<std::string_view, 3> kCallbackArguments = {"object", "empty", "handles"};

// "line L, column C" (both from 1) of the byte at `index` of `text`.
std::string LineColumn(std::string_view text, std::size_t index) {
  index = std::min(index, text.size());
  const std::string_view before = text.substr(0, index);
  const std::size_t line =
      1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t line_start = before.rfind('\n');
  const std::size_t column = line_start == std::string_view::npos ? index + 1 : index - line_start;
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The parser's own account of the problem, without its prefix and position.
std::string ParseProblem(const std::string& what) {
  const std::size_t at = what.find("parse error");
  const std::size_t colon = what.find(": ", at == std::string::npos ? 0 : at);
  return colon == std::string::npos ? what : what.substr(colon + 2);
}

// Refuses lists and objects nested deeper than a figure file can use, before the parser
// sees them.
void CheckNesting(std::string_view text, const std::string& source) {
  const std::size_t at = JsonTooDeepAt(text, kMaxNesting);
  if (at == std::string_view::npos) return;
  Raise("Figure file " + QuoteForMessage(source) +
        " is not a figure file: " + LineColumn(text, at) + ": lists and objects nest more than " +
        std::to_string(kMaxNesting) + " levels deep, deeper than a figure file ever needs");
}

Json Parse(std::string_view text, const std::string& source) {
  CheckNesting(text, source);
  try {
    return Json::parse(text);
  } catch (const Json::parse_error& e) {
    // e.byte counts the bytes read, the offending one included.
    const std::size_t index = e.byte > 0 ? e.byte - 1 : 0;
    Raise("Figure file " + QuoteForMessage(source) +
          " is not valid JSON: " + LineColumn(text, index) + ": " + ParseProblem(e.what()));
  } catch (const Json::exception& e) {  // a number too large for a double, and the like
    const std::string what = e.what();
    const std::size_t end = what.find("] ");
    Raise("Figure file " + QuoteForMessage(source) +
          " is not valid JSON: " + (end == std::string::npos ? what : what.substr(end + 2)));
  }
}

// A JSON Pointer one step below `where`.
std::string Below(const std::string& where, std::string_view key) {
  std::string out = where + "/";
  for (char c : EscapeForMessage(key)) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out += c;
    }
  }
  return out;
}
std::string Below(const std::string& where, std::size_t index) {
  return where + "/" + std::to_string(index);
}

template <typename Choices>
bool OneOf(std::string_view s, const Choices& choices) {
  return std::find(choices.begin(), choices.end(), s) != choices.end();
}

template <typename Choices>
std::string Listed(const Choices& choices) {
  std::string out;
  for (std::string_view c : choices) out += (out.empty() ? "\"" : ", \"") + std::string(c) + "\"";
  return std::size(choices) > 1 ? "one of " + out : out;
}

// An object to create, with the place in the document that describes it.
struct Planned {
  std::string type;
  PropertyList props;
  std::string where;
};

// What a document describes, checked whole before anything is created.
struct Plan {
  Planned figure;
  std::vector<Planned> children;
};

class DocumentReader {
 public:
  explicit DocumentReader(const std::string& source) : source_(source) {}

  Plan Read(const Json& doc) const {
    ObjectAt(doc, "", "the figure file");
    OnlyKeys(doc, "", {"format", "version", "figure"});
    CheckHeader(doc);
    if (!doc.contains("figure")) Fail("", "missing the \"figure\" object");
    const Json& figure = ObjectAt(doc["figure"], "/figure", "the figure");
    OnlyKeys(figure, "/figure", {"properties", "children"});
    Plan plan;
    plan.figure = {"figure", PropertiesOf(figure, "/figure"), "/figure/properties"};
    if (figure.contains("children")) {
      const Json& children = figure["children"];
      if (!children.is_array()) {
        Fail("/figure/children",
             std::string("expected a list of objects, not ") + children.type_name());
      }
      for (std::size_t i = 0; i < children.size(); ++i) {
        plan.children.push_back(Child(children[i], Below("/figure/children", i)));
      }
    }
    return plan;
  }

 private:
  [[noreturn]] void Fail(const std::string& where, const std::string& problem) const {
    Raise("Figure file " + QuoteForMessage(source_) + ": at " +
          (where.empty() ? "the top level" : where) + ": " + problem);
  }

  const Json& ObjectAt(const Json& j, const std::string& where, const char* what) const {
    if (!j.is_object()) {
      Fail(where, std::string("expected ") + what + " as a JSON object, not " + j.type_name());
    }
    return j;
  }

  void OnlyKeys(const Json& j, const std::string& where,
                std::initializer_list<std::string_view> keys) const {
    for (const auto& [key, value] : j.items()) {
      if (!OneOf(key, keys)) {
        Fail(Below(where, key),
             "unknown key \"" + EscapeForMessage(key) + "\"; expected " + Listed(keys));
      }
    }
  }

  void CheckHeader(const Json& doc) const {
    if (!doc.contains("format")) {
      Fail("", "missing \"format\": \"" + std::string(kFormat) + "\"");
    }
    const Json& format = doc["format"];
    if (!format.is_string() || format.get<std::string>() != kFormat) {
      Fail("/format", "expected \"" + std::string(kFormat) + "\", not " + format.dump());
    }
    if (!doc.contains("version")) Fail("", "missing \"version\"");
    const Json& version = doc["version"];
    if (!version.is_number_integer() || version.get<long long>() != kVersion) {
      Fail("/version", "version " + version.dump() +
                           " is not supported; this program reads version " +
                           std::to_string(kVersion));
    }
  }

  Planned Child(const Json& j, const std::string& where) const {
    ObjectAt(j, where, "a control");
    OnlyKeys(j, where, {"type", "properties"});
    if (!j.contains("type")) Fail(where, "missing \"type\"; expected " + Listed(kChildTypes));
    const Json& type = j["type"];
    if (!type.is_string() || !OneOf(type.get<std::string>(), kChildTypes)) {
      Fail(Below(where, "type"),
           "unknown type " + type.dump() + "; expected " + Listed(kChildTypes));
    }
    return {type.get<std::string>(), PropertiesOf(j, where), Below(where, "properties")};
  }

  PropertyList PropertiesOf(const Json& owner, const std::string& owner_where) const {
    PropertyList props;
    if (!owner.contains("properties")) return props;
    const std::string where = Below(owner_where, "properties");
    const Json& j = ObjectAt(owner["properties"], where, "the properties");
    for (const auto& [name, value] : j.items()) {
      const std::string at = Below(where, name);
      if (name.empty()) Fail(at, "a property name must not be empty");
      props.emplace_back(name, SamePropertyName(name, "Callback") ? CallbackOf(value, at)
                                                                  : PropertyValue(value, at));
    }
    return props;
  }

  // Texts, numbers, rows of numbers, lists of texts (a cell row) and true/false.
  Value PropertyValue(const Json& j, const std::string& where) const {
    if (j.is_string()) return Value::Text(j.get<std::string>());
    if (j.is_boolean()) return Value::Bool(j.get<bool>());
    if (j.is_number()) return Value::Scalar(j.get<double>());
    if (j.is_array()) {
      if (j.empty()) return Value::Empty();
      if (std::all_of(j.begin(), j.end(), [](const Json& e) { return e.is_number(); })) {
        std::vector<double> row;
        for (const Json& e : j) row.push_back(e.get<double>());
        return Value::Row(row);
      }
      if (std::all_of(j.begin(), j.end(), [](const Json& e) { return e.is_string(); })) {
        Value cell = Value::Cell(1, j.size());
        for (std::size_t i = 0; i < j.size(); ++i) {
          cell.mutable_cell(i) = Value::Text(j[i].get<std::string>());
        }
        return cell;
      }
      Fail(where, "a list must hold only numbers or only texts");
    }
    Fail(where, std::string("expected a text, a number, a list of numbers or of texts, or "
                            "true/false, not ") +
                    j.type_name());
  }

  // ["function", arguments...] as the 1-by-n cell {name, arguments...}; [] for none.
  Value CallbackOf(const Json& j, const std::string& where) const {
    if (!j.is_array()) {
      Fail(where,
           std::string("expected a callback [\"function\", arguments...], not ") + j.type_name());
    }
    if (j.empty()) return Value::EmptyText();
    if (!j[0].is_string() || j[0].get<std::string>().empty()) {
      Fail(Below(where, 0), "a callback starts with the name of the function it calls");
    }
    Value cell = Value::Cell(1, j.size());
    cell.mutable_cell(0) = Value::Text(j[0].get<std::string>());
    for (std::size_t i = 1; i < j.size(); ++i) {
      const std::string at = Below(where, i);
      cell.mutable_cell(i) =
          j[i].is_object() ? CallbackArgumentOf(j[i], at) : PropertyValue(j[i], at);
    }
    return cell;
  }

  // {"arg": "object" | "empty" | "handles"}.
  Value CallbackArgumentOf(const Json& j, const std::string& where) const {
    OnlyKeys(j, where, {"arg"});
    if (!j.contains("arg")) Fail(where, "missing \"arg\"; expected " + Listed(kCallbackArguments));
    const Json& arg = j["arg"];
    if (!arg.is_string() || !OneOf(arg.get<std::string>(), kCallbackArguments)) {
      Fail(Below(where, "arg"),
           "unknown callback argument " + arg.dump() + "; expected " + Listed(kCallbackArguments));
    }
    return CallbackArgument(arg.get<std::string>());
  }

  const std::string& source_;
};

// Deletes a figure being built unless the build completes.
class PartialFigure {
 public:
  PartialFigure() = default;
  PartialFigure(const PartialFigure&) = delete;
  PartialFigure& operator=(const PartialFigure&) = delete;
  ~PartialFigure() {
    if (fig_.absent()) return;
    try {
      if (mlfTobool(mlfIshandle(fig_))) DeleteObject(fig_);
    } catch (const RuntimeError&) {
      // Nothing more can be undone; the error being raised matters more.
    }
  }
  void Hold(Value fig) { fig_ = std::move(fig); }
  Value Release() { return std::exchange(fig_, Value()); }

 private:
  Value fig_;
};

Value Create(const Planned& p, const Value& parent, const std::string& source) {
  try {
    return CreateObject(p.type, parent, p.props);
  } catch (const RuntimeError& e) {
    Raise("Figure file " + QuoteForMessage(source) + ": at " + p.where + ": " + e.what());
  }
}

Value Build(const Plan& plan, const std::string& source) {
  PartialFigure partial;
  const Value fig = Create(plan.figure, Value::Scalar(0), source);
  partial.Hold(fig);
  for (const Planned& child : plan.children) Create(child, fig, source);
  return partial.Release();
}

}  // namespace

Value LoadFigureText(std::string_view text, const std::string& source) {
  const Plan plan = DocumentReader(source).Read(Parse(text, source));
  return Build(plan, source);
}

Value mlfNHgload(int /*nargout*/, const Value& filename) {
  if (!filename.is_char() || filename.rows() != 1 || filename.empty()) {
    Raise("hgload: the figure file name must be a non-empty text");
  }
  const std::string path = LocateFigureFile(filename.utf8());
  return LoadFigureText(ReadBoundedFile(path, kMaxBytes, "the figure file"), path);
}

}  // namespace dk
