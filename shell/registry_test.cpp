#include "shell/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jackknife/list_review.h"
#include "platform/headless/headless_window_system.h"
#include "platform/mainhg.h"
#include "platform/random.h"
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

TEST_F(ProgramTest, RegistryListsNineFunctionsAndElevenPairsInOrder) {
  const std::vector<std::string> names = {"Dropkit",    "randlist",  "guidata",
                                          "guihandles", "openfig",   "isvarname",
                                          "movegui",    "iskeyword", "export"};
  const std::vector<std::pair<int, int>> counts = {{-1, -1}, {1, 0},  {2, 1}, {1, 1}, {2, 1},
                                                   {1, 1},   {-1, 0}, {1, 1}, {0, 0}};
  const std::vector<int> locals = {4, 0, 1, 2, 0, 0, 1, 0, 0};
  ASSERT_EQ(main_info.version, 1);
  ASSERT_EQ(main_info.function_count, 9);
  ASSERT_EQ(main_info.init_term_count, 11);
  EXPECT_EQ(main_info.reserved1_count + main_info.reserved2_count, 0);
  for (int i = 0; i < 9; ++i) {
    const FunctionTableRow& row = function_table[i];
    EXPECT_EQ(row.name, names[static_cast<std::size_t>(i)]);
    EXPECT_EQ(std::make_pair(row.inputs, row.outputs), counts[static_cast<std::size_t>(i)]);
    EXPECT_EQ(row.local_table->count, locals[static_cast<std::size_t>(i)]) << row.name;
  }
  EXPECT_EQ(std::string(function_table[0].local_table->rows[3].name), "InitBox_Callback");
  EXPECT_EQ(function_table[0].local_table->rows[3].inputs, -4);
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
      "openfig",      "isvarname",        "movegui", "iskeyword", "export"};
  EXPECT_EQ(built_order, table);
  EXPECT_EQ(released_order, std::vector<std::string>(table.rbegin(), table.rend()));
  const std::map<std::string, int> constants = {
      {"Dropkit", 15},  {"randlist", 30}, {"guidata", 13},   {"guihandles", 12}, {"openfig", 15},
      {"isvarname", 6}, {"movegui", 37},  {"iskeyword", 20}, {"export", 18}};
  EXPECT_EQ(built, constants);
  EXPECT_EQ(released, constants);
  ASSERT_EQ(record->created.size(), 14u);  // the window and its thirteen controls
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
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0], "File names.txt loaded with 10 names");
  EXPECT_EQ(shown[1], "Random number manually initialized with seed 42.000000");
  EXPECT_EQ(shown[2],
            "Randomized listing of 2 groups to 3 taxa to omit\n2026-12-07 : 14:5"
            "\n***  Repetition 1  *****************************\nt2\nt3\nt7"
            "\n***  Repetition 2  *****************************\nt3\nt6\nt9");
  EXPECT_EQ(test::ReadFile(dir.file("listing.txt")),
            "Randomized listing of 2 groups to 3 taxa to omit\n2026-12-07 : 14:5\n"
            "\n***  Repetition 1  *****************************\nt2\n\nt3\n\nt7\n"
            "\n***  Repetition 2  *****************************\nt3\n\nt6\n\nt9\n");
  // The label by the Seed box said "none" until the first Set seed, then the seed.
  EXPECT_EQ(StringsSet(/*seed_label=*/true),
            (std::vector<std::string>{"Seed in force: none (a fresh draw each time)",
                                      "Seed in force: 42", "Seed in force: 42"}));
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
      "The NumBox box (names to omit per group) must hold one whole number of 0 or more; it "
      "holds \"abc\".";
  const std::string no_list =
      "No name list is loaded: use Load to read one before listing 1 names per group.";
  const std::string no_seed = "The InitBox box (seed) must hold one finite number; it holds \"\".";
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
  EXPECT_EQ(StringsSet(/*seed_label=*/true),
            (std::vector<std::string>{"Seed in force: none (a fresh draw each time)",
                                      "Seed in force: 7"}));
}

}  // namespace
}  // namespace dk
