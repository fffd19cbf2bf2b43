#include "shell/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/headless/headless_window_system.h"
#include "gui/mainhg.h"
#include "random/random.h"
#include "review/list_review.h"
#include "testing/test_support.h"
#include "window/dropkit.h"

namespace dk {
namespace {

using Action = UserAction::Kind;

// Runs the whole program, from the graphics main to its exit status, on a scripted
// headless window system; keeps what the window system and the modules reported.
class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    ui = std::make_unique<HeadlessWindowSystem>();
    ResetRandomToEntropy();          // no seed in force,
    ReviewLoadedList(LoadedList{});  // and no list loaded, whatever ran before
  }

  void Type(const char* tag, const char* text) { ui->QueueAction({Action::kType, tag, text}); }
  void Press(const char* tag) { ui->QueueAction({Action::kPress, tag, ""}); }
  void CloseWindow() { ui->QueueAction({Action::kClose, "", ""}); }

  int RunProgram() {
    record = ui->shared_record();
    const ModuleObserver previous =
        SetModuleObserver([this](const std::string& module, long index, bool built) {
          events.push_back({module, index, built});
        });
    const int status = mclMainhgOn(std::move(ui), mlxDropkit, 1, main_info);
    SetModuleObserver(previous);
    return status;
  }

  // The texts the program put into controls, in order; those of the label of the seed
  // in force apart.
  std::vector<std::string> StringsSet(bool seed_label = false) const {
    std::vector<std::string> out;
    for (const PropertySet& p : record->properties) {
      if (p.property != "String") continue;
      const std::string text = p.value.utf8();
      if ((text.rfind("Seed in force: ", 0) == 0) == seed_label) out.push_back(text);
    }
    return out;
  }

  struct Event {
    std::string module;
    long index;
    bool built;
  };

  test::TestEnv env;
  test::TempDir dir;
  std::unique_ptr<HeadlessWindowSystem> ui;
  std::shared_ptr<const HeadlessRecord> record;
  std::vector<Event> events;
};

// Every module set up alone: its constants are built one by one and released in the
// reverse order (randlist's persistent variables after them).
TEST(Registry, EachModuleBuildsItsConstantsAndReleasesThemInReverse) {
  const std::map<std::string, long> constants = {
      {"Dropkit", 15},  {"randlist", 30}, {"guidata", 13},   {"guihandles", 12}, {"openfig", 15},
      {"isvarname", 6}, {"movegui", 37},  {"iskeyword", 20}, {"export", 21},     {"survival", 13}};
  const std::map<std::string, int> persistents = {{"randlist", 3}};
  for (int pair = 2; pair < main_info.init_term_count; ++pair) {
    std::vector<std::pair<long, bool>> events;
    std::string module;
    const ModuleObserver previous =
        SetModuleObserver([&](const std::string& name, long index, bool built) {
          module = name;
          events.emplace_back(index, built);
        });
    init_term_table[pair].initialize();
    init_term_table[pair].terminate();
    SetModuleObserver(previous);
    ASSERT_TRUE(constants.contains(module)) << "pair " << pair;
    const long n = constants.at(module);
    const int extra = persistents.contains(module) ? persistents.at(module) : 0;
    ASSERT_EQ(events.size(), static_cast<std::size_t>(2 * n + extra)) << module;
    for (long i = 0; i < n; ++i) {
      EXPECT_EQ(events[static_cast<std::size_t>(i)], std::make_pair(i, true)) << module;
      EXPECT_EQ(events[static_cast<std::size_t>(n + i)], std::make_pair(n - 1 - i, false))
          << module;
    }
    for (int j = 0; j < extra; ++j) {
      EXPECT_EQ(events[static_cast<std::size_t>(2 * n + j)], std::make_pair(-1L, false)) << module;
    }
  }
}

// Each function of the registry, and each local function, reached by its name: asked for
// more outputs or given more inputs than it declares, it answers with the fixed message.
TEST(Registry, AboutNamesTheVersionAndWhereTheDocumentationIs) {
  const std::string about = AboutDropkit();
  EXPECT_EQ(about.rfind("Dropkit ", 0), 0u);
  EXPECT_TRUE(about.size() > 8 && about[8] >= '0' && about[8] <= '9') << about;
  // A program run from its build tree has no installed copy of the docs.
  EXPECT_NE(about.find("README.md and the docs folder of Dropkit's sources."), std::string::npos);
}

TEST(Registry, EveryFunctionIsReachedByNameAndEnforcesItsDeclaredCounts) {
  test::TestEnv env;
  ScopedRegistry registry(&main_info);
  for (const InitTermPair& pair : init_term_table) pair.initialize();
  const auto error = [](const std::string& name, int nargout, int nargin) {
    return test::ErrorOf([&] {
      mlfFeval(nargout, Value::Text(name),
               std::vector<Value>(static_cast<std::size_t>(nargin), Value::Scalar(0)));
    });
  };
  int checked = 0;
  for (int i = 0; i < main_info.function_count; ++i) {
    const FunctionTableRow& row = function_table[i];
    if (row.outputs >= 0) {
      EXPECT_EQ(error(row.name, row.outputs + 1, 0),
                test::CountCheckMessage(row.name, 1, "outputs", row.outputs));
      ++checked;
    }
    if (row.inputs >= 0) {
      EXPECT_EQ(error(row.name, 0, row.inputs + 1),
                test::CountCheckMessage(row.name, 1, "inputs", row.inputs));
      ++checked;
    }
  }
  EXPECT_EQ(checked, 17);  // Dropkit has no limits; movegui limits its outputs only
  for (int i = main_info.init_term_count; i-- > 0;) init_term_table[i].terminate();
}

TEST_F(ProgramTest, SetsUpEveryModuleRunsTheWindowAndReleasesInReverse) {
  CloseWindow();
  EXPECT_EQ(RunProgram(), 0);
  // Set-up in table order, release in reverse with the two libraries last.
  std::vector<std::string> built_order, released_order;
  std::map<std::string, int> built, released;
  for (const Event& e : events) {
    std::vector<std::string>& order = e.built ? built_order : released_order;
    if (order.empty() || order.back() != e.module) order.push_back(e.module);
    if (e.index >= 0) ++(e.built ? built : released)[e.module];
  }
  const std::vector<std::string> table = {
      "file library", "graphics library", "Dropkit", "randlist",  "guidata", "guihandles",
      "openfig",      "isvarname",        "movegui", "iskeyword", "export",  "survival"};
  EXPECT_EQ(built_order, table);
  EXPECT_EQ(released_order, std::vector<std::string>(table.rbegin(), table.rend()));
  const std::map<std::string, int> constants = {
      {"Dropkit", 15},  {"randlist", 30}, {"guidata", 13},   {"guihandles", 12}, {"openfig", 15},
      {"isvarname", 6}, {"movegui", 37},  {"iskeyword", 20}, {"export", 21},     {"survival", 13}};
  EXPECT_EQ(built, constants);
  EXPECT_EQ(released, constants);
  ASSERT_EQ(record->created.size(), 18u);  // the window and its seventeen controls
  EXPECT_EQ(record->raised.size(), 1u);
}

TEST_F(ProgramTest, AUserSessionFromLoadToSave) {
  std::string names;
  for (int i = 1; i <= 10; ++i) names += "t" + std::to_string(i) + "\n";
  test::WriteFile(dir.file("names.txt"), names);
  ui->QueueFileAnswer(dir.file("names.txt"));
  ui->QueueFileAnswer(dir.file("listing.txt"));
  Type("NumBox", "3");
  Type("RepBox", "2");
  Type("InitBox", "42");
  Press("LoadButton");
  Press("ManualInitButton");
  Press("ShowButton");
  Press("ManualInitButton");
  Press("SaveButton");
  Press("NoSuchTag");  // an action the script cannot play ends the loop with an error
  EXPECT_EQ(RunProgram(), 1);
  const std::vector<std::string> shown = StringsSet();
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0], "File names.txt loaded with 10 names");
  EXPECT_EQ(shown[1], "Random number manually initialized with seed 42.000000");
  EXPECT_EQ(shown[2],
            "Randomized listing of 2 groups to 3 taxa to omit\n2026-12-07 : 14:5"
            "\n***  Repetition 1  *****************************\nt2\nt3\nt7"
            "\n***  Repetition 2  *****************************\nt3\nt6\nt9");
  EXPECT_EQ(shown[4], "Saved 2 groups to " + dir.file("listing.txt"));  // Save confirms
  EXPECT_EQ(test::ReadFile(dir.file("listing.txt")),
            "Randomized listing of 2 groups to 3 taxa to omit\n2026-12-07 : 14:5\n"
            "\n***  Repetition 1  *****************************\nt2\n\nt3\n\nt7\n"
            "\n***  Repetition 2  *****************************\nt3\n\nt6\n\nt9\n");
  // The label by the Seed box said "none", as the figure file has it, until the first
  // Set seed, then the seed and, after each command that drew, the groups drawn since.
  EXPECT_EQ(
      StringsSet(/*seed_label=*/true),
      (std::vector<std::string>{"Seed in force: 42", "Seed in force: 42, 2 groups drawn since",
                                "Seed in force: 42", "Seed in force: 42, 2 groups drawn since"}));
  // Typing into the boxes ran their callbacks through the switchyard.
  EXPECT_EQ(env.out,
            "NumBox Callback not implemented yet.\nRepBox Callback not implemented yet.\n"
            "InitBox Callback not implemented yet.\nnumcount = 3\nnumcount = 3\n");
  EXPECT_NE(env.err.find("NoSuchTag"), std::string::npos);
}

TEST_F(ProgramTest, AUserSessionFromLoadToExport) {
  test::WriteFile(dir.file("names.txt"), "t1\nt2\nt3\nt4\n");
  test::WriteFile(dir.file("aln.fasta"), ">t1\nAC\n>t2\nAG\n>t3\nAT\n>t4\nCC\n>out\nGG\n");
  std::filesystem::create_directory(dir.file("run"));
  ui->QueueFileAnswer(dir.file("names.txt"));
  ui->QueueFileAnswer(dir.file("aln.fasta"));
  ui->QueueFileAnswer(dir.file("run"));
  Press("LoadButton");
  Type("NumBox", "1");
  Type("RepBox", "4");
  Type("InitBox", "42");
  Press("ManualInitButton");
  Press("ExportButton");
  CloseWindow();
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_EQ(StringsSet().back(),
            "Exported 4 groups to " + dir.file("run") + ": 4 alignments, groups.tsv, dropkit.json");
  EXPECT_TRUE(record->messages.empty());
  EXPECT_EQ(test::CountEntries(dir.file("run")), 6u);
  // Each copy lacks one of the listed taxa and keeps the one the list leaves out.
  for (const char* file :
       {"group001.fasta", "group002.fasta", "group003.fasta", "group004.fasta"}) {
    const std::string copy = test::ReadFile(dir.file(std::string("run/") + file));
    EXPECT_EQ(std::count(copy.begin(), copy.end(), '>'), 4) << file;
    EXPECT_NE(copy.find(">out\nGG\n"), std::string::npos) << file;
  }
  EXPECT_NE(test::ReadFile(dir.file("run/dropkit.json")).find("\"seed_source\": \"window\""),
            std::string::npos);
}

TEST_F(ProgramTest, ACallbackErrorIsReportedAndTheWindowStaysUsable) {
  Type("NumBox", "abc");
  Press("ShowButton");
  Type("NumBox", "1");
  Press("ShowButton");        // no list loaded yet
  Press("ManualInitButton");  // the Seed box starts empty
  Type("InitBox", "7");
  Press("ManualInitButton");
  CloseWindow();
  EXPECT_EQ(RunProgram(), 0);
  const std::string bad_count =
      "The box \"Names to leave out per group\" must hold one whole number of 0 or more; it "
      "holds \"abc\".";
  const std::string no_list =
      "No name list is loaded: use Load to read one before listing 1 names per group.";
  const std::string no_seed = "The box \"Seed\" must hold one finite number; it holds \"\".";
  ASSERT_EQ(record->messages.size(), 3u);
  EXPECT_EQ(record->messages[0], (MessageShown{MessageKind::kError, bad_count}));
  EXPECT_EQ(record->messages[1], (MessageShown{MessageKind::kError, no_list}));
  EXPECT_EQ(record->messages[2], (MessageShown{MessageKind::kError, no_seed}));
  EXPECT_EQ(env.err, "Error in the callback of ShowButton: " + bad_count + "\n" +
                         "Error in the callback of ShowButton: " + no_list + "\n" +
                         "Error in the callback of ManualInitButton: " + no_seed + "\n");
  EXPECT_EQ(StringsSet(),
            std::vector<std::string>{"Random number manually initialized with seed 7.000000"});
  // A refused seed leaves the label as it was.
  EXPECT_EQ(StringsSet(/*seed_label=*/true), (std::vector<std::string>{"Seed in force: 7"}));
}

}  // namespace
}  // namespace dk
