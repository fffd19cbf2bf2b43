#include "generator/randlist.h"
#include "generator/randlist_internal.h"
#include "shell/box_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "frame/module.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "random/random.h"
#include "runtime/file_table.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ReadFile;
using test::WriteFile;
using Strings = std::vector<std::string>;

const char kHeading[] = "***  Repetition ";

// A window with the four boxes, the generator set up, a fixed clock and a captured console.
class RandlistTest : public ::testing::Test {
 protected:
  RandlistTest() {
    CreateBoxWindow();
    InitializeModule_randlist();
    ResetRandomToEntropy();
  }
  ~RandlistTest() override { TerminateModule_randlist(); }

  void Run(const Value& action) {
    Value in[1] = {action};
    mlxRandlist(0, nullptr, 1, in);
  }
  void Run(const char* word) { Run(Value::Text(word)); }
  std::string RunFails(const char* word) {
    try {
      Run(word);
    } catch (const RuntimeError& e) {
      return e.what();
    }
    return "(no error)";
  }

  void Set(const char* tag, const std::string& text) { SetBoxText(tag, text); }
  std::string Out() { return BoxText("OutBox"); }

  // Writes a name list and loads it through the open dialog.
  void Load(const std::string& bytes, const std::string& name = "names.txt") {
    WriteFile(dir.file(name), bytes);
    ui().QueueFileAnswer(dir.file(name));
    Run("Load");
  }
  Strings Names() {
    const Value set = RandlistPersistent("stringset");
    Strings names;
    const auto n = static_cast<std::size_t>(RandlistPersistent("fcount").num(0));
    for (std::size_t i = 0; i < n; ++i) names.push_back(set.cell(i).utf8());
    return names;
  }
  std::string Save(const std::string& omit, const std::string& groups,
                   const std::string& name = "out.txt") {
    Set("NumBox", omit);
    Set("RepBox", groups);
    ui().QueueFileAnswer(dir.file(name));
    Run("Save");
    return ReadFile(dir.file(name));
  }
  std::string Show(const std::string& omit, const std::string& groups) {
    Set("NumBox", omit);
    Set("RepBox", groups);
    Run("Show");
    return Out();
  }
  void Seed(const std::string& seed) {
    Set("InitBox", seed);
    Run("ManualInit");
  }

  HeadlessWindowSystem& ui() { return graphics.ui(); }

  test::TestEnv env;  // first: the console and clock of everything below
  test::TempDir dir;
  ScopedHeadlessGraphics graphics;
};

// ---- Dispatch and entries

TEST_F(RandlistTest, OtherWordsFallThroughWithAMessageBoxAndChangeNothing) {
  Load("a\n");
  Set("OutBox", "before");
  for (const char* word : {"load", "LOAD", "Load ", "show", "", "Save\n"}) Run(word);
  Run(Value::Scalar(1));
  Run(Value::Cell(1, 1));
  EXPECT_EQ(ui().record().MessageTexts(), Strings(8, "Fell through case"));
  EXPECT_EQ(Out(), "before");
  EXPECT_EQ(Names(), Strings{"a\n"});
  EXPECT_EQ(ui().record().dialogs.size(), 1u);  // only the first Load's
}

TEST_F(RandlistTest, EntryChecksOutputsFirstThenInputs) {
  Value slots[2];
  Value two[2] = {Value::Text("Load"), Value::Text("Load")};
  const std::string outputs =
      "Run-time Error: File: randlist Line: 1 Column: 1 The function \"randlist\" was called "
      "with more than the declared number of outputs (0).";
  const std::string inputs =
      "Run-time Error: File: randlist Line: 1 Column: 1 The function \"randlist\" was called "
      "with more than the declared number of inputs (1).";
  const auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const RuntimeError& e) {
      return std::string(e.what());
    }
    return std::string("(no error)");
  };
  EXPECT_EQ(message([&] { mlxRandlist(1, slots, 1, two); }), outputs);
  EXPECT_EQ(message([&] { mlxRandlist(0, slots, 2, two); }), inputs);
  EXPECT_EQ(message([&] { mlxRandlist(1, slots, 2, two); }), outputs);
  EXPECT_EQ(message([&] { mlxRandlist(0, slots, 0, nullptr); }),
            "Undefined variable \"action\": the input argument was not passed.");
  EXPECT_TRUE(ui().record().dialogs.empty());
  EXPECT_TRUE(RandlistPersistent("fcount").unassigned());
}

// ---- Load

TEST_F(RandlistTest, LoadKeepsEveryLineWholeAndReportsTheCount) {
  Load("Canis lupus\n  Ursus \n\n-1\n100% %s \\n\n");
  EXPECT_EQ(Names(), (Strings{"Canis lupus\n", "  Ursus \n", "\n", "-1\n", "100% %s \\n\n"}));
  EXPECT_EQ(Out(), "File names.txt loaded with 5 names");
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir.path()));
  ASSERT_EQ(ui().record().dialogs.size(), 1u);
  EXPECT_EQ(ui().record().dialogs[0].request.title, "Please Select File to Load");
  EXPECT_EQ(ui().record().dialogs[0].request.filter, "*.txt");
  EXPECT_EQ(env.out, "");  // the folder change gives no answer to display
}

TEST_F(RandlistTest, LoadEdgeFiles) {
  Load("");
  EXPECT_EQ(Out(), "File names.txt loaded with 0 names");
  EXPECT_EQ(RandlistPersistent("fcount").num(0), 0);
  Load("only");
  EXPECT_EQ(Out(), "File names.txt loaded with 1 names");
  EXPECT_EQ(Names(), Strings{"only"});
  Load("a\r\nb\rc\n", "mixed.txt");
  EXPECT_EQ(Names(), (Strings{"a\n", "b\n", "c\n"}));
  Load(
      "\xEF\xBB\xBF"
      "a\nb",
      "bom.txt");
  EXPECT_EQ(Names(), (Strings{"a\n", "b"}));
  Load(std::string("\xFF\xFE"
                   "a\0\r\0\n\0b\0",
                   10),
       "utf16.txt");
  EXPECT_EQ(Names(), (Strings{"a\n", "b"}));
}

TEST_F(RandlistTest, ShorterLoadReplacesTheCountAndKeepsStaleSlotsUnread) {
  Load("a\nb\nc\nd\n");
  Load("x\ny\n", "short.txt");
  EXPECT_EQ(Names(), (Strings{"x\n", "y\n"}));
  EXPECT_EQ(RandlistPersistent("stringset").numel(), 4u);
  EXPECT_EQ(Save("2", "3"),
            "Randomized listing of 3 groups to 2 taxa to omit\n2026-12-07 : 14:5\n"
            "\n***  Repetition 1  *****************************\nx\n\ny\n"
            "\n***  Repetition 2  *****************************\nx\n\ny\n"
            "\n***  Repetition 3  *****************************\nx\n\ny\n");
}

TEST_F(RandlistTest, CancelledLoadChangesNothing) {
  Load("a\nb\n");
  Set("OutBox", "kept");
  const auto cwd = std::filesystem::current_path();
  ui().QueueFileCancel();
  Run("Load");
  EXPECT_EQ(Names(), (Strings{"a\n", "b\n"}));
  EXPECT_EQ(Out(), "kept");
  EXPECT_EQ(std::filesystem::current_path(), cwd);
}

TEST_F(RandlistTest, FailedLoadNamesTheFileAndChangesNothing) {
  Load("a\nb\n");
  Set("OutBox", "kept");
  const auto expect_unchanged = [&] {
    EXPECT_EQ(Names(), (Strings{"a\n", "b\n"}));
    EXPECT_EQ(RandlistPersistent("fcount").num(0), 2);
    EXPECT_EQ(Out(), "kept");
    EXPECT_EQ(OpenFileCount(), 0u);
  };
  ui().QueueFileAnswer(dir.file("vanished.txt"));
  EXPECT_EQ(RunFails("Load"),
            "Cannot open file '" + dir.file("vanished.txt") + "': No such file or directory");
  expect_unchanged();

  std::filesystem::create_directory(dir.file("folder.txt"));
  ui().QueueFileAnswer(dir.file("folder.txt"));
  EXPECT_EQ(RunFails("Load"), "Cannot open file '" + dir.file("folder.txt") + "': Is a directory");
  expect_unchanged();

  WriteFile(dir.file("locked.txt"), "z\n");
  env.open_errors[dir.file("locked.txt")] = EACCES;
  ui().QueueFileAnswer(dir.file("locked.txt"));
  EXPECT_EQ(RunFails("Load"),
            "Cannot open file '" + dir.file("locked.txt") + "': Permission denied");
  expect_unchanged();

  std::string many;
  for (int i = 0; i < 20000; ++i) many += "name" + std::to_string(i) + "\n";
  WriteFile(dir.file("broken.txt"), many);
  env.read_limit = 100000;  // the disk fails part way through
  ui().QueueFileAnswer(dir.file("broken.txt"));
  EXPECT_EQ(RunFails("Load"),
            "Cannot read file '" + dir.file("broken.txt") + "': Input/output error");
  expect_unchanged();
}

// ---- Save

// A list read anew over another is kept compactly in the old one's place; its listings
// are those of the same list read first.
TEST_F(RandlistTest, AListReadOverAnotherListsAsWhenReadFirst) {
  static const char kUtf16[] =
      "\xFF\xFE"
      "a\0%\0s\0\n\0\xE9\0\n\0\x2D\x4E\n\0\0\xD8z\0\n\0b\0";  // a lone surrogate too
  const std::string utf16(kUtf16, sizeof kUtf16 - 1);
  const std::string longer = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n";
  for (const std::string& list : {std::string("x\ny\n\xFF odd\nz"), utf16}) {
    Load(list, "first.txt");
    Seed("7");
    const std::string saved = Save("3", "4");
    Seed("7");
    const std::string shown = Show("3", "4");
    Load(longer, "longer.txt");
    Load(list, "again.txt");
    Seed("7");
    EXPECT_EQ(Save("3", "4"), saved);
    Seed("7");
    EXPECT_EQ(Show("3", "4"), shown);
    EXPECT_EQ(RandlistPersistent("stringset").numel(), 12u);  // the old list's rest is kept
    Load(list, "third.txt");                                  // and over itself
    Seed("7");
    EXPECT_EQ(Save("3", "4"), saved);
  }
}

TEST_F(RandlistTest, SaveWritesTheListingLayout) {
  Load("P\nQ\nR\nS\n");
  env.now.hour = 9;
  EXPECT_EQ(Save("4", "2"),
            "Randomized listing of 2 groups to 4 taxa to omit\n"
            "2026-12-07 : 9:5\n"
            "\n***  Repetition 1  *****************************\nP\n\nQ\n\nR\n\nS\n"
            "\n***  Repetition 2  *****************************\nP\n\nQ\n\nR\n\nS\n");
  EXPECT_EQ(env.out, "numcount = 4\n");
  ASSERT_EQ(ui().record().dialogs.size(), 2u);
  EXPECT_EQ(ui().record().dialogs[1].request.title, "Please Select Filename to save as");
  EXPECT_EQ(ui().record().dialogs[1].request.filter, "*.txt");
}

TEST_F(RandlistTest, SaveEdgeCounts) {
  Load("P\nQ\nS");
  env.now.hour = 0;
  env.now.minute = 0;
  EXPECT_EQ(Save("1", "0"), "Randomized listing of 0 groups to 1 taxa to omit\n2026-12-07 : 0:0\n");
  EXPECT_EQ(Save("0", "2"),
            "Randomized listing of 2 groups to 0 taxa to omit\n2026-12-07 : 0:0\n"
            "\n***  Repetition 1  *****************************"
            "\n***  Repetition 2  *****************************");
  // The last name has no line break, so the file ends right after it.
  EXPECT_EQ(Save("3", "1"),
            "Randomized listing of 1 groups to 3 taxa to omit\n2026-12-07 : 0:0\n"
            "\n***  Repetition 1  *****************************\nP\n\nQ\n\nS");
}

TEST_F(RandlistTest, NamesAreWrittenByteForByte) {
  const std::string odd = std::string("x\0y", 3) + " %s %i \\n 100% \xC3\xA9 \xFF\xFE bad ";
  Load(odd + "\n");
  const std::string file = Save("1", "1");
  EXPECT_NE(file.find("\n" + odd + "\n"), std::string::npos);
  EXPECT_EQ(file.size(), file.find("\n" + odd + "\n") + odd.size() + 2);
}

TEST_F(RandlistTest, GroupsAreDistinctSortedSlotsAndEachGroupIsFresh) {
  std::string list;
  for (int i = 1; i <= 30; ++i) list += "n" + std::to_string(100 + i) + "\n";
  Load(list);
  const std::string file = Save("5", "40");
  std::vector<Strings> groups;
  std::size_t pos = file.find(kHeading);
  while (pos != std::string::npos) {
    const std::size_t next = file.find(kHeading, pos + 1);
    const std::string body =
        file.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
    Strings names;
    for (std::size_t at = body.find("\nn"); at != std::string::npos;
         at = body.find("\nn", at + 1)) {
      names.push_back(body.substr(at + 1, 4));
    }
    groups.push_back(names);
    pos = next;
  }
  ASSERT_EQ(groups.size(), 40u);
  std::size_t distinct_groups = 0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    ASSERT_EQ(groups[g].size(), 5u);
    for (std::size_t i = 1; i < 5; ++i) EXPECT_LT(groups[g][i - 1], groups[g][i]);
    if (g > 0 && groups[g] != groups[g - 1]) ++distinct_groups;
  }
  EXPECT_GT(distinct_groups, 30u);
}

TEST_F(RandlistTest, RepeatedNamesAreSeparateSlots) {
  Load("same\nsame\n");
  EXPECT_EQ(Save("2", "1"),
            "Randomized listing of 1 groups to 2 taxa to omit\n2026-12-07 : 14:5\n"
            "\n***  Repetition 1  *****************************\nsame\n\nsame\n");
}

TEST_F(RandlistTest, BadCountsAreRejectedBeforeAnyDialog) {
  Load("a\nb\nc\n");
  const std::size_t dialogs = ui().record().dialogs.size();
  for (const char* bad : {"", "abc", "2.5", "-1", "3 4", "NaN", "-Inf"}) {
    Set("NumBox", bad);
    Set("RepBox", "2");
    EXPECT_EQ(RunFails("Save"),
              std::string("The box \"Names to leave out per group\" must hold one "
                          "whole number of 0 or more; it holds \"") +
                  bad + "\".");
    Set("NumBox", "2");
    Set("RepBox", bad);
    EXPECT_EQ(RunFails("Show"), std::string("The box \"Number of groups\" must hold one whole "
                                            "number of 0 or more; it holds \"") +
                                    bad + "\".");
  }
  for (const char* large : {"4294967296", "1e10", "Inf"}) {
    Set("NumBox", "2");
    Set("RepBox", large);
    EXPECT_EQ(RunFails("Show"), std::string("The box \"Number of groups\" holds \"") + large +
                                    "\", more than the largest count allowed, 4294967295.");
  }
  Set("NumBox", "4");
  Set("RepBox", "2");
  EXPECT_EQ(RunFails("Save"), "Cannot omit 4 names per group: the list loaded has only 3 names.");
  EXPECT_EQ(ui().record().dialogs.size(), dialogs);
  EXPECT_EQ(test::CountEntries(dir.path()), 1u);  // the name list alone
}

TEST_F(RandlistTest, ListingBeforeAnyLoadSaysSo) {
  Set("NumBox", "2");
  Set("RepBox", "1");
  EXPECT_EQ(RunFails("Save"),
            "No name list is loaded: use Load to read one before listing 2 names per group.");
  EXPECT_EQ(RunFails("Show"),
            "No name list is loaded: use Load to read one before listing 2 names per group.");
  EXPECT_TRUE(ui().record().dialogs.empty());
}

TEST_F(RandlistTest, CancelledSaveWritesNothing) {
  Load("a\nb\n");
  Set("NumBox", "1");
  Set("RepBox", "1");
  ui().QueueFileCancel();
  Run("Save");
  EXPECT_EQ(test::CountEntries(dir.path()), 1u);
}

TEST_F(RandlistTest, SaveNeverReplacesTheLoadedList) {
  Load("a\nb\n");
  Set("NumBox", "1");
  Set("RepBox", "1");
  std::filesystem::create_symlink(dir.file("names.txt"), dir.file("link.txt"));
  for (const char* target : {"names.txt", "link.txt"}) {
    ui().QueueFileAnswer(dir.file(target));
    EXPECT_EQ(RunFails("Save"), "The listing would replace its own name list '" +
                                    dir.file("names.txt") + "': choose another output file");
  }
  EXPECT_EQ(ReadFile(dir.file("names.txt")), "a\nb\n");
}

TEST_F(RandlistTest, FailedSaveLeavesNoFileAndTheOldOneUntouched) {
  Load("a\nb\n");
  WriteFile(dir.file("out.txt"), "precious");
  env.write_limit = 0;
  Set("NumBox", "1");
  Set("RepBox", "100000");  // more than one buffer
  ui().QueueFileAnswer(dir.file("out.txt"));
  EXPECT_EQ(RunFails("Save"),
            "Cannot write '" + dir.file("out.txt") + "': No space left on device");
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "precious");
  EXPECT_EQ(test::CountEntries(dir.path()), 2u);
  EXPECT_EQ(OpenFileCount(), 0u);
  env.write_limit = -1;

  ui().QueueFileAnswer(dir.file("missing/out.txt"));
  EXPECT_EQ(RunFails("Save"), "Cannot change the current folder to '" + dir.path() +
                                  "/missing/': No such file or directory");
  std::filesystem::create_directory(dir.file("taken"));
  ui().QueueFileAnswer(dir.file("taken"));
  EXPECT_EQ(RunFails("Save"), "Cannot write to '" + dir.file("taken") + "': Is a directory");
  EXPECT_EQ(test::CountEntries(dir.path()), 3u);
}

// ---- ManualInit and Show

TEST_F(RandlistTest, ManualInitReportsTheSeed) {
  Seed("42");
  EXPECT_EQ(Out(), "Random number manually initialized with seed 42.000000");
  EXPECT_EQ(RandlistPersistent("initval").num(0), 42);
  Seed(" -7 ");
  EXPECT_EQ(Out(), "Random number manually initialized with seed -7.000000");
  Seed("3.25");
  EXPECT_EQ(Out(), "Random number manually initialized with seed 3.250000");
  EXPECT_EQ(env.out, "");
}

TEST_F(RandlistTest, BadSeedsAreRejectedAndChangeNothing) {
  Seed("42");
  const RandomState state = CurrentRandomState();
  for (const char* bad : {"", "abc", "1e400", "NaN", "1 2", "-Inf"}) {
    Set("InitBox", bad);
    EXPECT_EQ(
        RunFails("ManualInit"),
        std::string("The box \"Seed\" must hold one finite number; it holds \"") + bad + "\".");
  }
  EXPECT_EQ(Out(), "Random number manually initialized with seed 42.000000");
  EXPECT_EQ(RandlistPersistent("initval").num(0), 42);
  EXPECT_EQ(CurrentRandomState(), state);
}

TEST_F(RandlistTest, ShowJoinsPiecesWithoutTrailingBlanksOrLineBreaks) {
  Load("P\nQ\nR\n");
  EXPECT_EQ(Show("3", "2"),
            "Randomized listing of 2 groups to 3 taxa to omit\n2026-12-07 : 14:5"
            "\n***  Repetition 1  *****************************\nP\nQ\nR"
            "\n***  Repetition 2  *****************************\nP\nQ\nR");
  EXPECT_EQ(env.out, "numcount = 3\n");
  EXPECT_EQ(Show("1", "0"), "Randomized listing of 0 groups to 1 taxa to omit\n2026-12-07 : 14:5");
  EXPECT_EQ(Show("0", "1"),
            "Randomized listing of 1 groups to 0 taxa to omit\n2026-12-07 : 14:5"
            "\n***  Repetition 1  *****************************");
  // A failed Show keeps the earlier text.
  Set("NumBox", "9");
  EXPECT_EQ(RunFails("Show"), "Cannot omit 9 names per group: the list loaded has only 3 names.");
  EXPECT_EQ(Out(),
            "Randomized listing of 1 groups to 0 taxa to omit\n2026-12-07 : 14:5"
            "\n***  Repetition 1  *****************************");
}

TEST_F(RandlistTest, ShowGivesEveryDrawnNameALineBlankNamesIncluded) {
  // Blank lines are names; a name with blanks around it keeps those in front.
  Load("P\n\n  Q  \n\nR");
  EXPECT_EQ(Show("5", "1"),
            "Randomized listing of 1 groups to 5 taxa to omit\n2026-12-07 : 14:5"
            "\n***  Repetition 1  *****************************\nP\n\n  Q\n\nR");
  Load("\n\n");
  EXPECT_EQ(Show("2", "2"),
            "Randomized listing of 2 groups to 2 taxa to omit\n2026-12-07 : 14:5"
            "\n***  Repetition 1  *****************************\n\n"
            "\n***  Repetition 2  *****************************\n\n");
}

TEST_F(RandlistTest, CancelledWorkEndsLikeAnErrorAndChangesNothing) {
  std::string many;
  for (int i = 0; i < 10000; ++i) many += "n" + std::to_string(i) + "\n";
  Load("a\nb\nc\n");
  WriteFile(dir.file("out.txt"), "precious");
  Set("OutBox", "kept");
  Set("NumBox", "2");
  Set("RepBox", "5");
  ui().CancelProgressAfter(2);
  ui().QueueFileAnswer(dir.file("out.txt"));
  EXPECT_EQ(RunFails("Save"), "Save cancelled.");
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "precious");
  EXPECT_EQ(test::CountEntries(dir.path()), 2u);
  EXPECT_EQ(RunFails("Show"), "Show cancelled.");
  EXPECT_EQ(Out(), "kept");
  WriteFile(dir.file("many.txt"), many);
  // A long listing, cancelled once its first blocks are being written on their own
  // thread: still nothing is changed or left behind.
  ui().CancelProgressAfter(30);
  ui().QueueFileAnswer(dir.file("many.txt"));
  Run("Load");
  Set("NumBox", "9000");
  Set("RepBox", "40");
  ui().QueueFileAnswer(dir.file("out.txt"));
  EXPECT_EQ(RunFails("Save"), "Save cancelled.");
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "precious");
  EXPECT_EQ(test::CountEntries(dir.path()), 3u);
  Load("a\nb\nc\n");
  ui().CancelProgressAfter(2);
  ui().QueueFileAnswer(dir.file("many.txt"));
  EXPECT_EQ(RunFails("Load"), "Load cancelled.");
  EXPECT_EQ(Names(), (Strings{"a\n", "b\n", "c\n"}));
  EXPECT_EQ(OpenFileCount(), 0u);
  const auto& progress = ui().record().progress;
  // The first Load's, the cancelled Save and Show, the long list's Load, Save and the
  // Load after it, then the cancelled Load.
  ASSERT_EQ(progress.size(), 7u);
  EXPECT_EQ(progress[1].title, "Save");
  EXPECT_EQ(progress[1].total, 5);
  EXPECT_EQ(progress[1].steps, (std::vector<double>{0, 1}));
  EXPECT_EQ(progress[4].title, "Save");
  EXPECT_EQ(progress[4].steps.size(), 30u);
  EXPECT_TRUE(progress[6].ended);
  EXPECT_EQ(progress[6].steps, (std::vector<double>{4096, 8192}));
}

// The groups of a listing: each heading's names, as the numbers after "t".
std::vector<std::vector<int>> Groups(const std::string& listing) {
  std::vector<std::vector<int>> groups;
  std::size_t pos = 0;
  while ((pos = listing.find('\n', pos)) != std::string::npos) {
    ++pos;
    if (listing.compare(pos, 3, "***") == 0) {
      groups.emplace_back();
    } else if (listing.compare(pos, 1, "t") == 0 && !groups.empty()) {
      groups.back().push_back(std::stoi(listing.substr(pos + 1)));
    }
  }
  return groups;
}

TEST_F(RandlistTest, SeedsDrawTheSameGroupsOnEveryMachine) {
  Load("t1\nt2\nt3\nt4\nt5\nt6\nt7\nt8\nt9\nt10\n");
  using G = std::vector<std::vector<int>>;
  const std::vector<std::pair<const char*, G>> golden = {
      {"0", {{1, 9, 10}, {1, 3, 8}}},
      {"42", {{2, 3, 7}, {3, 6, 9}}},
      {"9007199254740992", {{2, 8, 9}, {1, 4, 8}}},
      {"-7", {{1, 4, 8}, {4, 6, 10}}},
      {"3.25", {{2, 6, 10}, {1, 4, 6}}},
  };
  for (const auto& [seed, groups] : golden) {
    Seed(seed);
    EXPECT_EQ(Groups(Show("3", "2")), groups) << "seed " << seed;
    Seed(seed);
    EXPECT_EQ(Groups(Save("3", "2")), groups) << "seed " << seed;
  }
}

TEST_F(RandlistTest, ShowAndSaveMoveTheGeneratorOn) {
  std::string list;
  for (int i = 1; i <= 50; ++i) list += "t" + std::to_string(i) + "\n";
  Load(list);
  Seed("7");
  const auto shown = Groups(Show("10", "3"));
  const auto saved = Groups(Save("10", "3"));
  EXPECT_NE(shown, saved);
  Seed("7");
  EXPECT_EQ(Groups(Save("10", "3", "again.txt")), shown);
  Seed("7");
  EXPECT_EQ(Groups(Show("10", "3")), shown);
}

}  // namespace
}  // namespace dk
