#include "figsupport/openfig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "figsupport/movegui.h"
#include "frame/module.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::TempDir;
using test::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Figure files in a temporary folder, a fresh graphics root and the modules set up.
class OpenfigTest : public ::testing::Test {
 protected:
  OpenfigTest() {
    InitializeModule_movegui();
    InitializeModule_openfig();
  }
  ~OpenfigTest() override {
    TerminateModule_openfig();
    TerminateModule_movegui();
  }

  // Writes a figure file without controls; returns its name without the extension.
  std::string Fig(const std::string& name, const std::string& props = R"({"Name": "F"})") {
    std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
    WriteFile(
        dir.file(name + ".fig"),
        R"({"format": "dropkit-figure", "version": 1, "figure": {"properties": )" + props + "}}");
    return dir.file(name);
  }

  static double Open(const std::string& file, const char* policy = nullptr) {
    const Value fig = mlfOpenfig(Value::Text(file), policy ? Value::Text(policy) : Value());
    EXPECT_EQ(fig.numel(), 1u);
    return fig.num(0);
  }
  static std::string OpenFails(const std::string& file, const Value& policy) {
    try {
      mlfOpenfig(Value::Text(file), policy);
    } catch (const RuntimeError& e) {
      return e.what();
    }
    return "(no error)";
  }

  // The list of open copies recorded under `token`.
  static std::vector<double> List(const std::string& token) {
    const Value figs = mlfGetappdata(Value::Scalar(0), Value::Text(token));
    std::vector<double> out;
    for (std::size_t i = 0; i < figs.numel(); ++i) out.push_back(figs.num(i));
    return out;
  }

  // Figures loaded so far (figures have whole-number handles, controls do not).
  int Loads() const {
    const std::vector<double>& created = g.ui().record().created;
    return static_cast<int>(
        std::count_if(created.begin(), created.end(), [](double h) { return h == std::floor(h); }));
  }
  bool Raised(double fig) const {
    const std::vector<double>& raised = g.ui().record().raised;
    return std::find(raised.begin(), raised.end(), fig) != raised.end();
  }

  ScopedHeadlessGraphics g;
  TempDir dir;
};

const char kBadExtension[] = "Argument must be a .fig file";
const char kBadPolicy[] = "Second input argument must be 'new' or 'reuse'.";

// ---- Policies ---------------------------------------------------------------------

TEST_F(OpenfigTest, OneInputLoadsANewCopyEachTime) {
  const std::string f = Fig("Probe");
  const double a = Open(f);
  const double b = Open(f);
  EXPECT_NE(a, b);
  EXPECT_EQ(Loads(), 2);
  EXPECT_THAT(List("Probe_SINGLETON_handle"), ElementsAre(a, b));
}

TEST_F(OpenfigTest, ReuseTwiceLoadsOnce) {
  const std::string f = Fig("Probe");
  const double a = Open(f, "reuse");
  EXPECT_EQ(Open(f, "reuse"), a);
  EXPECT_EQ(Loads(), 1);
  EXPECT_THAT(List("Probe_SINGLETON_handle"), ElementsAre(a));
}

TEST_F(OpenfigTest, ReuseAfterTheUserClosedTheWindowLoadsAgain) {
  const std::string f = Fig("Probe");
  const double a = Open(f, "reuse");
  g.ui().Close(a);
  const double b = Open(f, "reuse");
  EXPECT_NE(b, a);
  EXPECT_EQ(Loads(), 2);
  EXPECT_THAT(List("Probe_SINGLETON_handle"), ElementsAre(b));
}

TEST_F(OpenfigTest, ReuseReturnsTheLastCopyStillOpen) {
  const std::string f = Fig("Probe");
  const double a = Open(f, "new");
  const double b = Open(f, "new");
  EXPECT_EQ(Open(f, "reuse"), b);
  EXPECT_EQ(Loads(), 2);

  g.ui().Close(b);
  EXPECT_EQ(Open(f, "reuse"), a);
  EXPECT_EQ(Loads(), 2);
  EXPECT_THAT(List("Probe_SINGLETON_handle"), ElementsAre(a));
}

TEST_F(OpenfigTest, NewDropsClosedCopiesFromTheList) {
  const std::string f = Fig("Probe");
  const double a = Open(f, "new");
  const double b = Open(f, "new");
  g.ui().Close(a);
  const double c = Open(f, "new");
  EXPECT_THAT(List("Probe_SINGLETON_handle"), ElementsAre(b, c));
}

TEST_F(OpenfigTest, OtherPoliciesFailWithoutPruningOrLoading) {
  const std::string f = Fig("Probe");
  const double a = Open(f, "new");
  g.ui().Close(a);
  EXPECT_EQ(OpenFails(f, Value::Text("Reuse")), kBadPolicy);
  EXPECT_EQ(OpenFails(f, Value::Text("NEW")), kBadPolicy);
  EXPECT_EQ(OpenFails(f, Value::Text("reuse ")), kBadPolicy);
  EXPECT_EQ(OpenFails(f, Value::Scalar(1)), kBadPolicy);
  EXPECT_THAT(List("Probe_SINGLETON_handle"), ElementsAre(a));  // the closed copy stays listed
  EXPECT_EQ(Loads(), 1);
}

// ---- File names -------------------------------------------------------------------

TEST_F(OpenfigTest, OnlyTheExactFigExtensionIsAccepted) {
  Fig("Probe");
  EXPECT_EQ(OpenFails(dir.file("Probe.FIG"), Value()), kBadExtension);
  EXPECT_EQ(OpenFails(dir.file("Probe.txt"), Value::Text("reuse")), kBadExtension);
  EXPECT_EQ(OpenFails(dir.file("Probe."), Value()), kBadExtension);
  EXPECT_EQ(Loads(), 0);
  EXPECT_TRUE(List("Probe_SINGLETON_handle").empty());

  const double a = Open(dir.file("Probe.fig"));
  EXPECT_EQ(Open(dir.file("Probe"), "reuse"), a) << "no extension means .fig";
}

TEST_F(OpenfigTest, TheCurrentFolderServesOnlyANameThatSaysSo) {
  Fig("Probe", R"({"Name": "Found"})");
  std::filesystem::current_path(dir.path());
  EXPECT_THAT(OpenFails("Probe", Value::Text("new")),
              HasSubstr("Cannot find figure file 'Probe.fig'"));
  const double a = Open("./Probe");
  EXPECT_EQ(mlfNGet(1, Value::Scalar(a), Value::Text("Name")).utf8(), "Found");
}

TEST_F(OpenfigTest, MissingFileFailsAndLeavesTheListAlone) {
  const std::string f = Fig("Probe");
  const double a = Open(f, "new");
  std::filesystem::remove(f + ".fig");
  EXPECT_THAT(OpenFails(f, Value::Text("new")),
              HasSubstr("Cannot read the figure file '" + f + ".fig': No such file or directory"));
  EXPECT_THAT(List("Probe_SINGLETON_handle"), ElementsAre(a));
}

TEST_F(OpenfigTest, SameBaseNameInTwoFoldersSharesOneList) {
  const std::string first = Fig("one/Probe", R"({"Name": "One"})");
  const std::string second = Fig("two/Probe", R"({"Name": "Two"})");
  const double a = Open(first, "reuse");
  EXPECT_EQ(Open(second, "reuse"), a);
  EXPECT_EQ(mlfNGet(1, Value::Scalar(a), Value::Text("Name")).utf8(), "One");
  EXPECT_EQ(Loads(), 1);
}

TEST_F(OpenfigTest, TokenIsCutToThirtyOneCharacters) {
  const double a = Open(Fig("Fourteen_chars"), "reuse");  // 14 + 17 = 31: nothing cut
  EXPECT_THAT(List("Fourteen_chars_SINGLETON_handle"), ElementsAre(a));

  const double b = Open(Fig("Fifteen_chars_x"), "reuse");
  EXPECT_THAT(List("Fifteen_chars_x_SINGLETON_handl"), ElementsAre(b));
  EXPECT_TRUE(List("Fifteen_chars_x_SINGLETON_handle").empty());

  // Base names that agree in their first 31 characters share one list.
  const std::string stem = "A_base_name_of_thirty_one_chars";
  ASSERT_EQ(stem.size(), 31u);
  const double c = Open(Fig(stem + "_first"), "reuse");
  EXPECT_EQ(Open(Fig(stem + "_second"), "reuse"), c);
  EXPECT_THAT(List(stem), ElementsAre(c));
}

// ---- Showing ----------------------------------------------------------------------

TEST_F(OpenfigTest, VisibleFigureIsRaisedAndMadeCurrent) {
  const std::string f = Fig("Probe");
  const double a = Open(f, "new");
  const double b = Open(f, "new");
  EXPECT_TRUE(Raised(b));
  g.ui().Close(b);
  g.ui().ClearRecord();
  EXPECT_EQ(Open(f, "reuse"), a);
  EXPECT_TRUE(Raised(a));
  EXPECT_EQ(mlfGcf().num(0), a);
}

TEST_F(OpenfigTest, InvisibleFigureStaysInvisibleAndIsNotRaised) {
  const double a = Open(Fig("Hidden", R"({"Visible": "off"})"), "reuse");
  EXPECT_EQ(Open(dir.file("Hidden"), "reuse"), a);
  EXPECT_EQ(mlfNGet(1, Value::Scalar(a), Value::Text("Visible")).utf8(), "off");
  EXPECT_FALSE(Raised(a));
}

TEST_F(OpenfigTest, FigureOffTheScreenIsMovedOntoIt) {
  const double a = Open(Fig("Away", R"({"Position": [5000, 4000, 300, 200]})"));
  const Value outer = mlfNGet(1, Value::Scalar(a), Value::Text("OuterPosition"));
  const Value screen = mlfNGet(1, Value::Scalar(0), Value::Text("ScreenSize"));
  EXPECT_LE(outer.num(0) + outer.num(2), screen.num(0) + screen.num(2));
  EXPECT_LE(outer.num(1) + outer.num(3), screen.num(1) + screen.num(3));
}

// ---- Entry and module -------------------------------------------------------------

TEST_F(OpenfigTest, EntryEnforcesTheDeclaredCounts) {
  const std::string f = Fig("Probe");
  const auto call = [](int nlhs, std::vector<Value> in) -> std::string {
    Value out[2];
    try {
      mlxOpenfig(nlhs, out, static_cast<int>(in.size()), in.data());
    } catch (const RuntimeError& e) {
      return e.what();
    }
    return out[0].absent() ? "(no output)" : "(handle)";
  };
  EXPECT_EQ(call(2, {Value::Text(f)}),
            "Run-time Error: File: openfig Line: 1 Column: 1 The function \"openfig\" was called "
            "with more than the declared number of outputs (1).");
  EXPECT_EQ(call(1, {Value::Text(f), Value::Text("new"), Value::Text("x")}),
            "Run-time Error: File: openfig Line: 1 Column: 1 The function \"openfig\" was called "
            "with more than the declared number of inputs (2).");
  EXPECT_THAT(call(1, {}), HasSubstr("openfig: not enough input arguments"));
  EXPECT_EQ(Loads(), 0);
  // One output is delivered even when none is asked for.
  EXPECT_EQ(call(0, {Value::Text(f), Value::Text("reuse")}), "(handle)");
}

}  // namespace
}  // namespace dk
