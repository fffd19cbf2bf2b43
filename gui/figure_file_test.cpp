#include "gui/figure_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/errors.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "runtime/callable.h"
#include "runtime/last_error.h"
#include "runtime/paths.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::Numbers;

using test::TempDir;
using test::TestEnv;
using test::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

Value Get(const Value& h, const char* name) {
  return mlfNGet(1, h, Value::Text(name));
}

// The controls of a figure, in creation order.
std::vector<Value> ControlsOf(const Value& fig) {
  const Value all = mlfFindall(fig);
  std::vector<Value> out;
  for (std::size_t i = 1; i < all.numel(); ++i) out.push_back(Value::Scalar(all.num(i)));
  return out;
}

// The number of figures open.
std::size_t OpenFigures() {
  return mlfFindobj(Value::Text("Type"), Value::Text("figure")).numel();
}

// A figure document with `children` (JSON text of the list's elements).
std::string Document(const std::string& children, const std::string& figure_props = "{}") {
  return R"({"format": "dropkit-figure", "version": 1, "figure": {"properties": )" + figure_props +
         R"(, "children": [)" + children + "]}}";
}

// ---- Building -------------------------------------------------------------------

TEST(FigureFileLoad, BuildsFigureAndControlsInOrder) {
  ScopedHeadlessGraphics g;
  const Value fig = LoadFigureText(
      Document(R"({"type": "uicontrol", "properties": {"Style": "edit", "Tag": "A"}},
                  {"type": "uicontrol", "properties": {"Style": "text", "Tag": "B"}})",
               R"({"Name": "Probe", "Position": [10, 20, 300, 200], "Visible": "off"})"),
      "probe.fig");
  EXPECT_EQ(Get(fig, "Type").utf8(), "figure");
  EXPECT_EQ(Get(fig, "Name").utf8(), "Probe");
  EXPECT_EQ(Get(fig, "Visible").utf8(), "off");
  EXPECT_THAT(Numbers(Get(fig, "Position")), ElementsAre(10, 20, 300, 200));
  const std::vector<Value> controls = ControlsOf(fig);
  ASSERT_EQ(controls.size(), 2u);
  EXPECT_EQ(Get(controls[0], "Tag").utf8(), "A");
  EXPECT_EQ(Get(controls[0], "Style").utf8(), "edit");
  EXPECT_EQ(Get(controls[1], "Tag").utf8(), "B");
  EXPECT_EQ(Get(controls[1], "Parent").num(0), fig.num(0));
}

TEST(FigureFileLoad, ConvertsEachKindOfPropertyValue) {
  ScopedHeadlessGraphics g;
  const Value fig = LoadFigureText(Document(R"({"type": "uicontrol", "properties": {
                     "Style": "popupmenu", "String": ["one", "two"], "Max": 2,
                     "Position": [1, 2, 3, 4], "Value": [], "Flag": true, "Note": "hé"}})"),
                                   "probe.fig");
  const Value c = ControlsOf(fig).at(0);
  const Value list = Get(c, "String");
  ASSERT_TRUE(list.is_cell());
  EXPECT_EQ(list.rows(), 1u);
  ASSERT_EQ(list.cols(), 2u);
  EXPECT_EQ(list.cell(1).utf8(), "two");
  EXPECT_TRUE(Get(c, "Max").is_numeric());
  EXPECT_EQ(Get(c, "Max").num(0), 2);
  EXPECT_THAT(Numbers(Get(c, "Position")), ElementsAre(1, 2, 3, 4));
  EXPECT_TRUE(Get(c, "Value").empty());
  // Names the model does not know are kept as written.
  EXPECT_TRUE(Get(c, "Flag").is_logical());
  EXPECT_EQ(Get(c, "Flag").num(0), 1);
  EXPECT_EQ(Get(c, "Note").utf8(), "hé");
}

TEST(FigureFileLoad, CallbackBecomesCellWithRunTimeArguments) {
  ScopedHeadlessGraphics g;
  const Value fig = LoadFigureText(Document(R"({"type": "uicontrol", "properties": {"callback":
                     ["Dropkit", "X_Callback", {"arg": "object"}, {"arg": "empty"},
                      {"arg": "handles"}, 7, "word"]}},
                  {"type": "uicontrol", "properties": {"Callback": []}})"),
                                   "probe.fig");
  const std::vector<Value> controls = ControlsOf(fig);
  const Value cb = Get(controls[0], "Callback");
  ASSERT_TRUE(cb.is_cell());
  EXPECT_EQ(cb.rows(), 1u);
  ASSERT_EQ(cb.cols(), 7u);
  EXPECT_EQ(cb.cell(0).utf8(), "Dropkit");
  EXPECT_EQ(cb.cell(1).utf8(), "X_Callback");
  EXPECT_EQ(CallbackArgumentKind(cb.cell(2)), "object");
  EXPECT_EQ(CallbackArgumentKind(cb.cell(3)), "empty");
  EXPECT_EQ(CallbackArgumentKind(cb.cell(4)), "handles");
  EXPECT_EQ(cb.cell(5).num(0), 7);
  EXPECT_EQ(cb.cell(6).utf8(), "word");
  // An empty list means no callback.
  EXPECT_TRUE(Get(controls[1], "Callback").empty());
}

TEST(FigureFileLoad, TheCurrentFolderIsReadOnlyWhenTheNameSaysSo) {
  ScopedHeadlessGraphics g;
  TempDir dir;
  WriteFile(dir.file("Probe.fig"), Document("", R"({"Name": "Here"})"));
  std::filesystem::current_path(dir.path());
  // A bare name never comes from the current folder: an untrusted folder cannot change
  // the program's window.
  EXPECT_THAT(ErrorOf([] { mlfNHgload(1, Value::Text("Probe.fig")); }),
              HasSubstr("Cannot find figure file 'Probe.fig'"));
  const Value fig = mlfNHgload(1, Value::Text("./Probe.fig"));
  EXPECT_EQ(Get(fig, "Name").utf8(), "Here");
  EXPECT_EQ(Get(fig, "Children").numel(), 0u);
}

// ---- Errors -----------------------------------------------------------------------

TEST(FigureFileErrors, UnreadableFileNamesFileAndReason) {
  ScopedHeadlessGraphics g;
  TempDir dir;
  EXPECT_EQ(
      ErrorOf([&] { mlfNHgload(1, Value::Text(dir.file("none.fig"))); }),
      "Cannot read the figure file '" + dir.file("none.fig") + "': No such file or directory");
  std::filesystem::create_directory(dir.file("folder.fig"));
  EXPECT_THAT(ErrorOf([&] { mlfNHgload(1, Value::Text(dir.file("folder.fig"))); }),
              HasSubstr("folder.fig': it is a folder"));
  TestEnv env;
  WriteFile(dir.file("locked.fig"), Document(""));
  env.open_errors[dir.file("locked.fig")] = EACCES;
  EXPECT_THAT(ErrorOf([&] { mlfNHgload(1, Value::Text(dir.file("locked.fig"))); }),
              HasSubstr("locked.fig': Permission denied"));
  env.open_errors.clear();
  env.read_limit = 10;
  EXPECT_THAT(ErrorOf([&] { mlfNHgload(1, Value::Text(dir.file("locked.fig"))); }),
              HasSubstr("locked.fig': Input/output error"));
  EXPECT_EQ(OpenFigures(), 0u);
}

TEST(FigureFileErrors, FileNameMustBeText) {
  ScopedHeadlessGraphics g;
  EXPECT_THAT(ErrorOf([] { mlfNHgload(1, Value::Scalar(1)); }),
              HasSubstr("figure file name must be a non-empty text"));
}

TEST(FigureFileErrors, MalformedJsonGivesLineAndColumn) {
  ScopedHeadlessGraphics g;
  const std::string text =
      "{\n  \"format\": \"dropkit-figure\",\n  \"version\": 1,\n  \"figure\": {,}\n}\n";
  const std::string error = ErrorOf([&] { LoadFigureText(text, "/x/bad.fig"); });
  EXPECT_THAT(error, HasSubstr("Figure file '/x/bad.fig' is not valid JSON: line 4, column 14: "));
  EXPECT_THAT(error, HasSubstr("unexpected ','"));
  EXPECT_THAT(error, ::testing::Not(HasSubstr("json.exception")));

  EXPECT_THAT(ErrorOf([] { LoadFigureText("", "e.fig"); }), HasSubstr("line 1, column 1: "));
  EXPECT_THAT(ErrorOf([] { LoadFigureText("{\"format\":\n", "t.fig"); }), HasSubstr("line 2, "));
}

TEST(FigureFileErrors, DeepNestingAndHugeNumbersAreRefusedWithThePlace) {
  ScopedHeadlessGraphics g;
  // Nesting far beyond what the format uses is refused before anything parses it, however
  // deep (a recursive parse of this would overflow the stack).
  for (const std::size_t depth : {33u, 70000u}) {
    const std::string text = "{\"format\": \"dropkit-figure\",\n\"x\": " + std::string(depth, '[') +
                             "1" + std::string(depth, ']') + "}";
    EXPECT_EQ(ErrorOf([&] { LoadFigureText(text, "/x/deep.fig"); }),
              "Figure file '/x/deep.fig' is not a figure file: line 2, column 37: lists and "
              "objects nest more than 32 levels deep, deeper than a figure file ever needs");
  }
  const std::string brackets_in_text =
      Document(R"({"type": "uicontrol", "properties": {"Tag": "A", "String": ")" +
               std::string(100, '[') + R"(\""}})");
  EXPECT_EQ(ErrorOf([&] { LoadFigureText(brackets_in_text, "ok.fig"); }), "(no error)");
  EXPECT_EQ(ErrorOf([] { LoadFigureText(Document("", R"({"Width": 1e400})"), "/x/big.fig"); }),
            "Figure file '/x/big.fig' is not valid JSON: number overflow parsing '1e400'");
  EXPECT_EQ(OpenFigures(), 1u);  // only the one that loaded
}

TEST(FigureFileErrors, WrongShapeNamesThePlace) {
  ScopedHeadlessGraphics g;
  const auto error = [](const std::string& text) {
    return ErrorOf([&] { LoadFigureText(text, "s.fig"); });
  };
  EXPECT_EQ(error("[]"),
            "Figure file 's.fig': at the top level: expected the figure file as a "
            "JSON object, not array");
  EXPECT_THAT(error(R"({"format": "dropkit-figure", "version": 1})"),
              HasSubstr("at the top level: missing the \"figure\" object"));
  EXPECT_THAT(error(R"({"format": "other", "version": 1, "figure": {}})"),
              HasSubstr("at /format: expected \"dropkit-figure\""));
  EXPECT_THAT(error(R"({"format": "dropkit-figure", "version": 2, "figure": {}})"),
              HasSubstr("at /version: version 2 is not supported"));
  EXPECT_THAT(error(R"({"version": 1, "figure": {}})"), HasSubstr("missing \"format\""));
  EXPECT_THAT(error(R"({"format": "dropkit-figure", "version": 1, "figure": {}, "extra": 1})"),
              HasSubstr("at /extra: unknown key \"extra\""));
  // A key of the file stands in the message escaped, never as a raw control character.
  EXPECT_THAT(
      error(R"({"format": "dropkit-figure", "version": 1, "figure": {}, "e\u001b[31m": 1})"),
      HasSubstr("at /e\\x1b[31m: unknown key \"e\\x1b[31m\""));
  EXPECT_THAT(error(Document(R"({"type": "axes"})")),
              HasSubstr("at /figure/children/0/type: unknown type \"axes\""));
  EXPECT_THAT(error(Document(R"({"properties": {}})")),
              HasSubstr("at /figure/children/0: missing \"type\""));
  EXPECT_THAT(error(Document(R"({"type": "uicontrol"}, {"type": "uicontrol", "properties":
                                 {"Position": {"x": 1}}})")),
              HasSubstr("at /figure/children/1/properties/Position: expected a text, a number"));
  EXPECT_THAT(error(Document("", R"({"Name": null})")),
              HasSubstr("at /figure/properties/Name: expected a text"));
  EXPECT_THAT(error(Document(R"({"type": "uicontrol", "properties": {"String": [1, "a"]}})")),
              HasSubstr("/properties/String: a list must hold only numbers or only texts"));
  EXPECT_THAT(error(Document(R"({"type": "uicontrol", "properties": {"a/b": null}})")),
              HasSubstr("at /figure/children/0/properties/a~1b: "));
}

TEST(FigureFileErrors, BadCallbacksNameThePlace) {
  ScopedHeadlessGraphics g;
  const auto error = [](const std::string& callback) {
    return ErrorOf([&] {
      LoadFigureText(
          Document(R"({"type": "uicontrol", "properties": {"Callback": )" + callback + "}}"),
          "c.fig");
    });
  };
  EXPECT_THAT(error(R"("randlist Load")"),
              HasSubstr("/properties/Callback: expected a callback [\"function\", arguments...], "
                        "not string"));
  EXPECT_THAT(error(R"([3, "Load"])"),
              HasSubstr("/properties/Callback/0: a callback starts with the name"));
  EXPECT_THAT(error(R"(["f", {"arg": "figure"}])"),
              HasSubstr("/properties/Callback/1/arg: unknown callback argument \"figure\"; "
                        "expected one of \"object\", \"empty\", \"handles\""));
  EXPECT_THAT(error(R"(["f", {"what": "object"}])"),
              HasSubstr("/properties/Callback/1/what: unknown key \"what\""));
}

TEST(FigureFileErrors, RejectedPropertyLeavesNothingBehind) {
  ScopedHeadlessGraphics g;
  const std::string text = Document(R"({"type": "uicontrol", "properties": {"Tag": "A"}},
                                       {"type": "uicontrol", "properties": {"Tag": "B"}},
                                       {"type": "uicontrol", "properties": {"Position": [1, 2, 3]}})");
  const std::string error = ErrorOf([&] { LoadFigureText(text, "p.fig"); });
  EXPECT_THAT(error, HasSubstr("Figure file 'p.fig': at /figure/children/2/properties: "));
  EXPECT_THAT(error, HasSubstr("\"Position\""));
  EXPECT_EQ(OpenFigures(), 0u);
  const HeadlessRecord& r = g.ui().record();
  EXPECT_EQ(r.created.size(), 3u);  // the figure and two controls, all deleted again
  EXPECT_THAT(r.deleted, UnorderedElementsAre(r.created[0], r.created[1], r.created[2]));
  EXPECT_EQ(mlfLasterr().utf8(), error);

  EXPECT_THAT(ErrorOf([] { LoadFigureText(Document("", R"({"Type": "axes"})"), "t.fig"); }),
              HasSubstr("at /figure/properties: Property \"Type\""));
  EXPECT_EQ(OpenFigures(), 0u);
}

TEST(FigureFileErrors, ShapeErrorsCreateNothing) {
  ScopedHeadlessGraphics g;
  ErrorOf([] { LoadFigureText(Document(R"({"type": "uicontrol"}, {"type": "nope"})"), "n.fig"); });
  EXPECT_TRUE(g.ui().record().created.empty());
}

// ---- The program's own window -----------------------------------------------------

struct Control {
  std::string style, string;
  std::vector<std::string> callback;  // name, then arguments ("{object}" for run-time ones)
};

std::vector<std::string> CallbackWords(const Value& cb) {
  std::vector<std::string> out;
  if (!cb.is_cell()) return out;
  for (std::size_t i = 0; i < cb.numel(); ++i) {
    const std::string kind = CallbackArgumentKind(cb.cell(i));
    out.push_back(kind.empty() ? cb.cell(i).utf8() : "{" + kind + "}");
  }
  return out;
}

TEST(FigureFileDropkit, HasTheBoxesTheButtonsAndTheirLabels) {
  ScopedHeadlessGraphics g;
  const Value fig =
      mlfNHgload(1, Value::Text(std::string(DROPKIT_SOURCE_DIR) + "/window/Dropkit.fig"));
  EXPECT_EQ(Get(fig, "Name").utf8(), "Dropkit");
  EXPECT_EQ(Get(fig, "Visible").utf8(), "on");
  EXPECT_EQ(Get(fig, "Resize").utf8(), "on");
  const std::vector<double> frame = Numbers(Get(fig, "Position"));

  std::map<std::string, Control> tagged;
  std::map<std::string, std::vector<std::string>> buttons;  // caption -> callback
  std::vector<std::string> labels;
  std::vector<std::string> button_tags;
  std::map<std::string, std::string> mnemonics;  // letter -> caption
  for (const Value& c : ControlsOf(fig)) {
    const Control control{Get(c, "Style").utf8(), Get(c, "String").utf8(),
                          CallbackWords(Get(c, "Callback"))};
    // Every control lies inside the window.
    const std::vector<double> p = Numbers(Get(c, "Position"));
    EXPECT_GE(p[0], 0);
    EXPECT_GE(p[1], 0);
    EXPECT_LE(p[0] + p[2], frame[2]) << control.string;
    EXPECT_LE(p[1] + p[3], frame[3]) << control.string;
    // Each mnemonic is a letter of its caption, and no two controls share one.
    if (const std::string key = Get(c, "Mnemonic").utf8(); !key.empty()) {
      EXPECT_TRUE(mnemonics.emplace(key, control.string).second) << "mnemonic used twice: " << key;
      std::string upper = control.string;
      for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      EXPECT_NE(upper.find(key), std::string::npos) << control.string;
    }
    const std::string tag = Get(c, "Tag").utf8();
    if (control.style == "pushbutton") {
      buttons[control.string] = control.callback;
      button_tags.push_back(tag);
      EXPECT_FALSE(Get(c, "Mnemonic").utf8().empty()) << "no mnemonic: " << control.string;
    } else if (control.style == "edit") {
      EXPECT_TRUE(tagged.emplace(tag, control).second) << "tag used twice: " << tag;
    } else {
      EXPECT_EQ(control.style, "text");
      EXPECT_TRUE(control.callback.empty());
      labels.push_back(control.string);
    }
    // The listing box takes the room a larger window gives; the rest keep their place
    // from the lower-left corner.
    EXPECT_EQ(Get(c, "Anchor").utf8(), tag == "OutBox" ? "left right bottom top" : "left bottom")
        << control.string;
  }

  ASSERT_EQ(tagged.size(), 4u);
  for (const char* tag : {"OutBox", "NumBox", "RepBox", "InitBox"}) {
    ASSERT_EQ(tagged.count(tag), 1u) << tag;
    EXPECT_THAT(tagged[tag].callback, ElementsAre("Dropkit", std::string(tag) + "_Callback",
                                                  "{object}", "{empty}", "{handles}"));
  }
  EXPECT_EQ(tagged["NumBox"].string, "3");
  EXPECT_EQ(tagged["RepBox"].string, "10");
  // The seed box starts empty and says what it wants.
  const Value init = mlfFindobj(Value::Text("Tag"), Value::Text("InitBox"));
  EXPECT_EQ(tagged["InitBox"].string, "");
  EXPECT_EQ(Get(init, "PlaceholderString").utf8(), "a number, then Set seed");

  const Value out = mlfFindobj(Value::Text("Tag"), Value::Text("OutBox"));
  EXPECT_GT(Get(out, "Max").num(0) - Get(out, "Min").num(0), 1) << "OutBox is multi-line";
  EXPECT_EQ(Get(out, "Enable").utf8(), "inactive") << "OutBox is read-only";
  for (const char* tag : {"NumBox", "RepBox", "InitBox"}) {
    const Value box = mlfFindobj(Value::Text("Tag"), Value::Text(tag));
    EXPECT_LE(Get(box, "Max").num(0) - Get(box, "Min").num(0), 1) << tag << " is single-line";
  }

  EXPECT_THAT(buttons,
              UnorderedElementsAre(Pair("Load", ElementsAre("randlist", "Load")),
                                   Pair("Save", ElementsAre("randlist", "Save")),
                                   Pair("Export", ElementsAre("export")),
                                   Pair("Keep...", ElementsAre("export", "Keep")),
                                   Pair("Leave one out", ElementsAre("export", "LeaveOneOut")),
                                   Pair("Survival...", ElementsAre("survival")),
                                   Pair("Set seed", ElementsAre("randlist", "ManualInit")),
                                   Pair("Show", ElementsAre("randlist", "Show"))));
  EXPECT_THAT(button_tags, UnorderedElementsAre("LoadButton", "SaveButton", "ExportButton",
                                                "ManualInitButton", "ShowButton", "KeepButton",
                                                "LeaveOneOutButton", "SurvivalButton"));
  EXPECT_THAT(labels, UnorderedElementsAre(
                          "Names to leave out per group", "Number of groups", "Seed",
                          "Seed in force: none (a fresh draw each time)",
                          "Never left out by Export: none (Keep... reads them from a file)"));
  const Value seed_label = mlfFindobj(Value::Text("Tag"), Value::Text("SeedInForce"));
  ASSERT_EQ(seed_label.numel(), 1u);
  EXPECT_EQ(Get(seed_label, "Style").utf8(), "text");
  // The window never gets smaller than the figure file lays it out.
  const Size least = g.ui().host().MinimumArea(fig.num(0));
  EXPECT_EQ(least.width, 560);
  EXPECT_EQ(least.height, 480);
}

TEST(FigureFileDropkit, CopyBesideTheProgramMatchesTheSource) {
  const std::string beside = ProgramFolder() + "/Dropkit.fig";
  ASSERT_TRUE(std::filesystem::is_regular_file(beside)) << beside;
  EXPECT_EQ(test::ReadFile(beside),
            test::ReadFile(std::string(DROPKIT_SOURCE_DIR) + "/window/Dropkit.fig"));
}

}  // namespace
}  // namespace dk
