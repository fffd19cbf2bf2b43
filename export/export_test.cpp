#include "export/export.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "frame/module.h"
#include "gui/graphics.h"
#include "gui/headless/headless_window_system.h"
#include "gui/mainhg.h"
#include "jackknife/provenance.h"
#include "random/random.h"
#include "review/list_review.h"
#include "shell/registry.h"
#include "testing/programs.h"
#include "testing/test_support.h"
#include "window/dropkit.h"

namespace dk {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Strings = std::vector<std::string>;
using Groups = std::vector<std::set<std::string>>;

// A FASTA record of `name` with a short sequence.
std::string Record(const std::string& name) {
  return ">" + name + "\nACGTACGTAC\nGGCC\n";
}

// The program's window opened from its figure file, every module set up and the registry
// current, on a headless window system whose dialogs the test answers; a fixed clock and
// a captured console. No list is loaded and no seed is in force at the start.
class ExportTest : public ::testing::Test {
 protected:
  ExportTest() : registry(&main_info) {
    for (const InitTermPair& pair : init_term_table) pair.initialize();
    ResetRandomToEntropy();
    ReviewLoadedList(LoadedList{});  // forget any list an earlier test loaded
    Value out[1];
    mlxDropkit(0, out, 0, nullptr);
    std::filesystem::create_directory(dir.file("out"));
  }
  ~ExportTest() override {
    for (std::size_t i = std::size(init_term_table); i-- > 0;) init_term_table[i].terminate();
    ResetRandomToEntropy();
  }

  static Value Tagged(const char* tag) { return mlfFindobj(Value::Text("Tag"), Value::Text(tag)); }
  static void Set(const char* tag, const std::string& text) {
    mlfNSet(0, Tagged(tag), Value::Text("String"), Value::Text(text));
  }
  static std::string Text(const char* tag) {
    return mlfNGet(1, Tagged(tag), Value::Text("String")).utf8();
  }
  // Presses the button tagged `tag`: its callback runs as the figure file says.
  static void Press(const char* tag) { RunObjectCallback(Tagged(tag).num(0)); }
  static std::string PressFails(const char* tag) {
    return test::ErrorOf([tag] { Press(tag); });
  }

  void LoadList(const std::string& bytes) {
    test::WriteFile(dir.file("names.txt"), bytes);
    ui().QueueFileAnswer(dir.file("names.txt"));
    Press("LoadButton");
  }
  void WriteAlignment(const Strings& taxa, const std::string& name = "aln.fasta") {
    std::string text;
    for (const std::string& taxon : taxa) text += Record(taxon);
    test::WriteFile(dir.file(name), text);
  }
  void SetSeed(const std::string& seed) {
    Set("InitBox", seed);
    Press("ManualInitButton");
  }
  void SetCounts(const std::string& omit, const std::string& groups) {
    Set("NumBox", omit);
    Set("RepBox", groups);
  }
  // Presses Export, answering the alignment dialog with `alignment` and the folder dialog
  // with `folder` (both in the test's folder).
  void Export(const std::string& alignment = "aln.fasta", const std::string& folder = "out") {
    ui().QueueFileAnswer(dir.file(alignment));
    ui().QueueFileAnswer(dir.file(folder));
    Press("ExportButton");
  }
  std::string ExportFails(const std::string& alignment = "aln.fasta",
                          const std::string& folder = "out") {
    return test::ErrorOf([&] { Export(alignment, folder); });
  }

  Strings FilesIn(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.file(folder))) {
      names.insert(e.path().filename().string());
    }
    return Strings(names.begin(), names.end());
  }
  // The groups of groups.tsv, each as a set of names.
  Groups TsvGroups() const {
    std::istringstream in(test::ReadFile(dir.file("out/groups.tsv")));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "group\tposition\tname\tline");
    Groups groups;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string group, position, name;
      std::getline(fields, group, '\t');
      std::getline(fields, position, '\t');
      std::getline(fields, name, '\t');
      const std::size_t g = std::stoul(group);
      if (groups.size() < g) groups.resize(g);
      groups[g - 1].insert(name);
    }
    return groups;
  }
  nlohmann::ordered_json Json() const {
    return nlohmann::ordered_json::parse(test::ReadFile(dir.file("out/dropkit.json")));
  }
  // The taxa of a pruned FASTA copy, in order.
  Strings TaxaOf(const std::string& file) const {
    Strings taxa;
    std::istringstream in(test::ReadFile(dir.file(file)));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line[0] == '>') taxa.push_back(line.substr(1));
    }
    return taxa;
  }

  HeadlessWindowSystem& ui() { return graphics.ui(); }

  test::TestEnv env;
  test::TempDir dir;
  ScopedRegistry registry;
  ScopedHeadlessGraphics graphics;
};

const Strings kTaxa = {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta", "Outgroup"};
const char kSixNames[] = "Alpha\nBeta\nGamma\nDelta\nEpsilon\nZeta\n";

TEST_F(ExportTest, WritesAPrunedCopyPerGroupAndTheDesignFilesAndSaysSo) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetSeed("42");
  SetCounts("2", "3");
  Export();

  EXPECT_THAT(FilesIn("out"), ElementsAre("dropkit.json", "group001.fasta", "group002.fasta",
                                          "group003.fasta", "groups.tsv"));
  const std::string folder = dir.file("out");
  EXPECT_EQ(Text("OutBox"),
            "Exported 3 groups to " + folder + ": 3 alignments, groups.tsv, dropkit.json");
  // Each copy lacks its group's two taxa and keeps the taxon the list does not name.
  const Groups groups = TsvGroups();
  ASSERT_EQ(groups.size(), 3u);
  for (std::size_t g = 0; g < 3; ++g) {
    ASSERT_EQ(groups[g].size(), 2u);
    Strings kept;
    std::string bytes;
    for (const std::string& taxon : kTaxa) {
      if (groups[g].count(taxon) == 0) {
        kept.push_back(taxon);
        bytes += Record(taxon);
      }
    }
    const std::string file = "out/group00" + std::to_string(g + 1) + ".fasta";
    EXPECT_EQ(TaxaOf(file), kept);
    EXPECT_EQ(test::ReadFile(dir.file(file)), bytes);  // records as they stand
  }

  // The dialogs: the alignment (its formats, then any file), then a folder.
  const std::vector<DialogShown>& dialogs = ui().record().dialogs;
  ASSERT_EQ(dialogs.size(), 3u);  // the Load's, then Export's two
  EXPECT_EQ(dialogs[1].request.kind, FileDialogKind::kOpen);
  EXPECT_EQ(dialogs[1].request.title, "Please Select the Alignment of the Loaded Names");
  std::vector<std::string> choices;
  for (const FileFilter& f : dialogs[1].request.filters) choices.push_back(f.name);
  EXPECT_THAT(choices, ElementsAre("FASTA files", "PHYLIP files", "NEXUS files", "All files"));
  EXPECT_EQ(dialogs[2].request.kind, FileDialogKind::kFolder);
  EXPECT_EQ(dialogs[2].request.title, "Please Select an Empty Folder to Export Into");
  // One progress step per group, as Save reports.
  ASSERT_FALSE(ui().record().progress.empty());
  const HeadlessRecord::Progress& progress = ui().record().progress.back();
  EXPECT_EQ(progress.title, "Export");
  EXPECT_EQ(progress.total, 3);
  EXPECT_THAT(progress.steps, ElementsAre(0, 1, 2));
  EXPECT_TRUE(progress.ended);
  EXPECT_TRUE(ui().record().messages.empty());
}

TEST_F(ExportTest, TheDesignFileRecordsTheAlignmentTheListTheBoxesAndTheSeed) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetSeed("42");
  SetCounts("2", "3");
  Export();
  const nlohmann::ordered_json json = Json();
  EXPECT_EQ(json["format"], "dropkit-design");
  EXPECT_EQ(json["program"], "dropkit");
  EXPECT_FALSE(json.contains("command"));
  EXPECT_EQ(json["window"].dump(), R"({"NumBox":"2","RepBox":"3","InitBox":"42"})");
  EXPECT_EQ(json["input"]["file"], dir.file("aln.fasta"));
  EXPECT_EQ(json["input"]["format"], "fasta");
  EXPECT_EQ(json["input"]["sha256"], Sha256Hex(test::ReadFile(dir.file("aln.fasta"))));
  EXPECT_EQ(json["list"]["file"], dir.file("names.txt"));
  EXPECT_EQ(json["list"]["size"], std::string(kSixNames).size());
  EXPECT_EQ(json["list"]["sha256"], Sha256Hex(kSixNames));
  EXPECT_EQ(json["names"], nlohmann::json(kTaxa));
  EXPECT_EQ(json["kept"], nlohmann::json(Strings{"Outgroup"}));
  EXPECT_EQ(json["omit"], 2);
  EXPECT_EQ(json["group_count"], 3);
  EXPECT_EQ(json["seed"], 42);
  EXPECT_EQ(json["seed_source"], "window");
  EXPECT_EQ(json["created"].get<std::string>().substr(0, 19), "2026-12-07T14:05:30");
  EXPECT_EQ(json["listing_sha256"], Sha256Hex(test::ReadFile(dir.file("out/groups.tsv"))));
  // The groups of both files agree.
  const Groups groups = TsvGroups();
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const auto& omitted = json["groups"][g]["omitted"];
    EXPECT_EQ(std::set<std::string>(omitted.begin(), omitted.end()), groups[g]);
  }
}

TEST_F(ExportTest, WithTheSameSeedAndCountsTheGroupsAreSaves) {
  // The list in another order than the alignment: groups are drawn in the list's order.
  const std::string names = "Zeta\nGamma\nAlpha\nEpsilon\nBeta\nDelta\n";
  WriteAlignment(kTaxa);
  LoadList(names);
  SetCounts("3", "4");
  SetSeed("7");
  ui().QueueFileAnswer(dir.file("listing.txt"));
  Press("SaveButton");
  SetSeed("7");
  Export();

  Groups saved;
  std::istringstream in(test::ReadFile(dir.file("listing.txt")));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("***  Repetition", 0) == 0) {
      saved.emplace_back();
    } else if (!saved.empty() && !line.empty()) {
      saved.back().insert(line);
    }
  }
  ASSERT_EQ(saved.size(), 4u);
  EXPECT_EQ(TsvGroups(), saved);
}

TEST_F(ExportTest, TheDesignSaysHowManyGroupsWereDrawnSinceTheSeedSoItCanBeDrawnAgain) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetCounts("2", "3");
  SetSeed("11");
  Press("ShowButton");  // three groups drawn before the export's
  Export();
  EXPECT_EQ(Json()["draws_before"], 3);
  const Groups exported = TsvGroups();
  // Set seed, draw that many groups, and the next draw is the design again.
  SetSeed("11");
  SetCounts("2", "3");
  Press("ShowButton");
  std::filesystem::remove_all(dir.file("out"));
  std::filesystem::create_directory(dir.file("out"));
  Export();
  EXPECT_EQ(TsvGroups(), exported);
}

TEST_F(ExportTest, WithoutASeedTheDesignSaysSoAndTheGeneratorGoesOn) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetCounts("1", "2");
  Export();
  const nlohmann::ordered_json json = Json();
  EXPECT_TRUE(json["seed"].is_null());
  EXPECT_EQ(json["seed_source"], "none");
  EXPECT_EQ(json["window"]["InitBox"], "");
  EXPECT_EQ(CurrentRandomState().drawn, 2u);  // one permutation a group, nothing restarted
}

// As the window program runs: the first draw starts the generator from a whole-number
// seed drawn from entropy, which the seed line shows and the design records.
TEST_F(ExportTest, TheWindowDrawsASeedAtItsFirstDrawSoEveryExportCanBeDrawnAgain) {
  const struct Scope {  // as the window program starts, until the test ends
    EntropyStart before = SetEntropyStart(EntropyStart::kSeed);
    ~Scope() { SetEntropyStart(before); }
  } seeded_start;
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetCounts("2", "3");
  EXPECT_EQ(Text("SeedInForce"), "Seed in force: none (a fresh draw each time)");
  Export();
  const nlohmann::ordered_json json = Json();
  ASSERT_TRUE(json["seed"].is_number_integer());
  EXPECT_EQ(json["seed_source"], "entropy");
  const std::string seed = std::to_string(json["seed"].get<std::uint64_t>());
  EXPECT_EQ(Text("SeedInForce"), "Seed in force: " + seed + ", 3 groups drawn since");
  const Groups exported = TsvGroups();
  SetSeed(seed);
  std::filesystem::remove_all(dir.file("out"));
  std::filesystem::create_directory(dir.file("out"));
  Export();
  EXPECT_EQ(TsvGroups(), exported);
  EXPECT_EQ(Json()["seed_source"], "window");
}

// As the window program runs: Load takes an alignment, whose taxa are then the list,
// and Export prunes it without asking for it again; a file that is not text is refused.
TEST_F(ExportTest, AnAlignmentLoadedAsTheListIsExportedWithoutAskingForItAgain) {
  const ScopedListSourceReader reader(ReadAlignmentAsList);  // as the window program reads
  WriteAlignment(kTaxa);
  ui().QueueFileAnswer(dir.file("aln.fasta"));
  Press("LoadButton");
  EXPECT_EQ(Text("OutBox"), "Loaded 7 taxa from the FASTA alignment aln.fasta");
  test::WriteFile(dir.file("picture.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  ui().QueueFileAnswer(dir.file("picture.png"));
  EXPECT_EQ(PressFails("LoadButton"), "Cannot load '" + dir.file("picture.png") +
                                          "': it is not text (a NUL byte at byte 9); load a "
                                          "name list, one name per line, or an alignment");
  SetSeed("42");
  SetCounts("2", "3");
  ui().QueueFileAnswer(dir.file("out"));  // the folder only
  Press("ExportButton");
  EXPECT_THAT(FilesIn("out"), ElementsAre("dropkit.json", "group001.fasta", "group002.fasta",
                                          "group003.fasta", "groups.tsv"));
  EXPECT_EQ(Json()["names"].size(), 7u);
}

TEST_F(ExportTest, NoGroupsStillWriteTheDesignFiles) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetCounts("2", "0");
  Export();
  EXPECT_THAT(FilesIn("out"), ElementsAre("dropkit.json", "groups.tsv"));
  EXPECT_EQ(Text("OutBox"),
            "Exported 0 groups to " + dir.file("out") + ": 0 alignments, groups.tsv, dropkit.json");
  SetCounts("2", "1");
  std::filesystem::create_directory(dir.file("one"));
  Export("aln.fasta", "one");
  EXPECT_EQ(Text("OutBox"),
            "Exported 1 group to " + dir.file("one") + ": 1 alignment, groups.tsv, dropkit.json");
}

TEST_F(ExportTest, PhylipAndNexusAlignmentsArePrunedInTheirOwnFormat) {
  test::WriteFile(dir.file("aln.phy"), "3 4\nAlpha     ACGT\nBeta      ACGA\nGamma     ACGG\n");
  test::WriteFile(dir.file("aln.nex"),
                  "#NEXUS\nBEGIN DATA;\nDIMENSIONS NTAX=3 NCHAR=4;\nFORMAT DATATYPE=DNA;\n"
                  "MATRIX\nAlpha ACGT\nBeta ACGA\nGamma ACGG\n;\nEND;\n");
  LoadList("Alpha\nBeta\nGamma\n");
  SetCounts("1", "2");
  Export("aln.phy", "out");
  EXPECT_THAT(FilesIn("out"),
              ElementsAre("dropkit.json", "group001.phy", "group002.phy", "groups.tsv"));
  EXPECT_EQ(test::ReadFile(dir.file("out/group001.phy")).substr(0, 4), "2 4\n");  // 2 taxa left
  std::filesystem::create_directory(dir.file("nexus"));
  Export("aln.nex", "nexus");
  EXPECT_THAT(FilesIn("nexus"),
              ElementsAre("dropkit.json", "group001.nex", "group002.nex", "groups.tsv"));
  EXPECT_THAT(test::ReadFile(dir.file("nexus/group001.nex")), HasSubstr("NTAX=2"));
}

TEST_F(ExportTest, NamesThatNeedQuotesAreFoundWhenPhylipIsWrittenNotOnLoad) {
  // Strict PHYLIP: a name of ten columns may hold a blank.
  test::WriteFile(dir.file("aln.phy"), "3 4\nHomo sapi ACGT\nPan       ACGA\nGorilla   ACGG\n");
  LoadList("Homo sapi\nPan\nGorilla\n");
  EXPECT_EQ(ui().record().messages.size(), 0u);  // a Load writes no PHYLIP
  SetCounts("1", "1");
  Export("aln.phy", "out");
  EXPECT_THAT(ui().record().MessageTexts(),
              ElementsAre("The names of aln.phy may hold mistakes:\naln.phy: taxon 1: \"Homo "
                          "sapi\" cannot stand unquoted in PHYLIP or NEXUS: a blank (PHYLIP "
                          "ends a name at a blank; NEXUS needs quotes)"));
}

// ---- Refusals: each says what was wrong and writes nothing

TEST_F(ExportTest, CountsAndTheListAreCheckedBeforeAnyDialogAsSaveChecksThem) {
  WriteAlignment(kTaxa);
  SetCounts("1", "2");
  EXPECT_EQ(PressFails("ExportButton"),
            "No name list is loaded: use Load to read one before listing 1 names per group.");
  LoadList(kSixNames);
  SetCounts("abc", "2");
  EXPECT_EQ(PressFails("ExportButton"),
            "The box \"Names to leave out per group\" must hold one whole number of 0 or more; "
            "it holds \"abc\".");
  SetCounts("7", "2");
  EXPECT_EQ(PressFails("ExportButton"),
            "Cannot omit 7 names per group: the list loaded has only 6 names.");
  SetCounts("1", "-2");
  EXPECT_EQ(PressFails("ExportButton"),
            "The box \"Number of groups\" must hold one whole number of 0 or more; it "
            "holds \"-2\".");
  SetCounts("1", "10001");
  EXPECT_EQ(PressFails("ExportButton"),
            "Cannot export 10001 groups: at most 10000 are allowed, one alignment file each.");
  // Save says the same of the same boxes.
  SetCounts("7", "2");
  EXPECT_EQ(PressFails("SaveButton"),
            "Cannot omit 7 names per group: the list loaded has only 6 names.");
  EXPECT_EQ(ui().record().dialogs.size(), 1u);  // the Load's only
  EXPECT_TRUE(FilesIn("out").empty());
}

TEST_F(ExportTest, AListThatNamesATaxonTwiceOrChangedSinceItsLoadIsRefused) {
  WriteAlignment(kTaxa);
  LoadList("Alpha\nBeta\nAlpha\n");
  SetCounts("1", "2");
  EXPECT_EQ(PressFails("ExportButton"),
            "The loaded list names \"Alpha\" twice (lines 1 and 3); to export pruned alignments, "
            "each taxon must be listed once.");
  LoadList("Alpha\nBeta\n");
  test::WriteFile(dir.file("names.txt"), "Alpha\nGamma\n");
  EXPECT_EQ(PressFails("ExportButton"),
            "The name list '" + dir.file("names.txt") +
                "' has changed since it was loaded: load it again before exporting.");
  EXPECT_EQ(ui().record().dialogs.size(), 2u);  // the two Loads'
}

TEST_F(ExportTest, NamesThatAreNotTaxaOfTheAlignmentAreNamedAndCounted) {
  WriteAlignment({"Alpha", "Beta"});
  LoadList("Alpha\nbeta\nGama\nBeta\n\nEta\nTheta\nIota\nKappa\n");
  SetCounts("1", "2");
  ui().QueueFileAnswer(dir.file("aln.fasta"));
  EXPECT_EQ(PressFails("ExportButton"),
            "7 of the 9 loaded names are not taxa of '" + dir.file("aln.fasta") +
                "': \"beta\" (line 2), \"Gama\" (line 3), \"\" (line 5), \"Eta\" (line 6), "
                "\"Theta\" (line 7) and 2 more. Names must match exactly, letter case and blanks "
                "included.");
  WriteAlignment({"Alpha", "Beta", "Gamma"});
  LoadList("Alpha\nGama\nBeta\n");
  ui().QueueFileAnswer(dir.file("aln.fasta"));
  EXPECT_THAT(PressFails("ExportButton"),
              HasSubstr("1 of the 3 loaded names is not a taxon of '" + dir.file("aln.fasta") +
                        "': \"Gama\" (line 2). Names"));
  // A NEXUS file reads blanks as underscores: the message says so.
  test::WriteFile(dir.file("aln.nex"),
                  "#NEXUS\nBEGIN DATA;\nDIMENSIONS NTAX=2 NCHAR=4;\nFORMAT DATATYPE=DNA;\n"
                  "MATRIX\n'Homo sapiens' ACGT\nBeta ACGA\n;\nEND;\n");
  LoadList("Homo sapiens\nBeta\n");
  ui().QueueFileAnswer(dir.file("aln.nex"));
  EXPECT_THAT(PressFails("ExportButton"),
              HasSubstr("blanks included. A NEXUS file's names are read with underscores for "
                        "blanks: list 'Homo sapiens' as Homo_sapiens."));
  // No folder was asked for.
  for (const DialogShown& d : ui().record().dialogs)
    EXPECT_NE(d.request.kind, FileDialogKind::kFolder);
  EXPECT_TRUE(FilesIn("out").empty());
}

// Export makes its folder as --prune-to does, with the same refusals.
TEST_F(ExportTest, AGroupThatLeavesOutEveryTaxonIsRefused) {
  WriteAlignment({"Alpha", "Beta", "Gamma"});
  LoadList("Alpha\nBeta\nGamma\n");
  SetCounts("3", "1");
  EXPECT_EQ(ExportFails(), "Cannot prune '" + dir.file("aln.fasta") +
                               "': group 1 leaves out all 3 taxa, and an alignment without taxa "
                               "cannot be read; leave out fewer");
  EXPECT_TRUE(FilesIn("out").empty());
}

TEST_F(ExportTest, AFileThatIsNotAnAlignmentIsRefused) {
  LoadList(kSixNames);
  SetCounts("1", "1");
  ui().QueueFileAnswer(dir.file("names.txt"));
  EXPECT_EQ(PressFails("ExportButton"),
            "'" + dir.file("names.txt") +
                "' is a name list, not an alignment: Export needs the FASTA, PHYLIP or NEXUS "
                "alignment whose taxa the loaded names are.");
  test::WriteFile(dir.file("bad.fasta"), ">Alpha\nACGT\n>Beta\nAC\n");
  ui().QueueFileAnswer(dir.file("bad.fasta"));
  EXPECT_THAT(PressFails("ExportButton"), HasSubstr("bad.fasta"));
  EXPECT_TRUE(FilesIn("out").empty());
}

TEST_F(ExportTest, AFolderThatIsNotEmptyIsRefusedAndLeftAlone) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetCounts("1", "2");
  test::WriteFile(dir.file("out/group001.fasta"), "old\n");
  EXPECT_EQ(ExportFails(), "The folder '" + dir.file("out") +
                               "' is not empty (it holds 'group001.fasta'). Export writes only "
                               "into an empty folder, so that no file is replaced: choose or "
                               "make an empty one. Nothing was written.");
  test::WriteFile(dir.file("out/.hidden"), "mine\n");
  EXPECT_THAT(ExportFails(), HasSubstr("' and 1 more). Export writes only"));
  EXPECT_THAT(FilesIn("out"), ElementsAre(".hidden", "group001.fasta"));
  EXPECT_EQ(test::ReadFile(dir.file("out/group001.fasta")), "old\n");
  EXPECT_EQ(CurrentRandomState().drawn, 0u) << "nothing was drawn";
}

TEST_F(ExportTest, AFolderNotYetMadeIsMadeOnceEveryFileIsWritten) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetCounts("1", "2");
  ui().CancelProgressAfter(1);
  EXPECT_EQ(ExportFails("aln.fasta", "fresh"), "Export cancelled.");
  EXPECT_FALSE(std::filesystem::exists(dir.file("fresh")));
  ui().CancelProgressAfter(-1);
  Export("aln.fasta", "fresh");
  EXPECT_EQ(FilesIn("fresh").size(), 4u);
}

TEST_F(ExportTest, CancelledDialogsEndTheCommandQuietly) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetCounts("1", "2");
  const std::string before = Text("OutBox");
  ui().QueueFileCancel();
  Press("ExportButton");
  ui().QueueFileAnswer(dir.file("aln.fasta"));
  ui().QueueFileCancel();
  Press("ExportButton");
  EXPECT_EQ(Text("OutBox"), before);
  EXPECT_TRUE(FilesIn("out").empty());
  EXPECT_TRUE(ui().record().messages.empty());
  EXPECT_EQ(ui().pending_answers(), 0u);
}

TEST_F(ExportTest, ACancelOrAFailurePartWayLeavesTheFolderAsItWas) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  SetCounts("2", "5");
  const std::string before = Text("OutBox");
  ui().CancelProgressAfter(3);
  EXPECT_EQ(ExportFails(), "Export cancelled.");
  EXPECT_TRUE(FilesIn("out").empty()) << "no file and no staging folder left";
  EXPECT_EQ(Text("OutBox"), before);
  ui().CancelProgressAfter(-1);
  env.write_limit = 40;  // the disk fills during the first copies
  EXPECT_THAT(ExportFails(), HasSubstr("group00"));
  EXPECT_TRUE(FilesIn("out").empty());
  env.write_limit = -1;
  Export();
  EXPECT_EQ(FilesIn("out").size(), 7u);
}

// ---- Keep

TEST_F(ExportTest, KeptNamesAreInEveryCopyAndTheLineUnderTheButtonsSaysWhichTheyAre) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  EXPECT_EQ(Text("KeptNames"), "Never left out by Export: none (Keep... reads them from a file)");
  test::WriteFile(dir.file("keep.txt"), "Beta\n\nGamma\n");  // blank lines skipped
  ui().QueueFileAnswer(dir.file("keep.txt"));
  Press("KeepButton");
  EXPECT_EQ(Text("KeptNames"), "Never left out by Export: Beta, Gamma (from 'keep.txt')");
  SetSeed("42");
  SetCounts("4", "20");  // four of the four names that may go: every group alike
  Export();
  const Groups groups = TsvGroups();
  ASSERT_EQ(groups.size(), 20u);
  for (const auto& group : groups) {
    EXPECT_EQ(group, (std::set<std::string>{"Alpha", "Delta", "Epsilon", "Zeta"}));
  }
  EXPECT_EQ(Json()["kept"], nlohmann::json(Strings{"Beta", "Gamma", "Outgroup"}));
  Press("ShowButton");  // Show draws from every name, as ever
  EXPECT_THAT(Text("OutBox"), HasSubstr("Beta"));
  test::WriteFile(dir.file("none.txt"), "");
  ui().QueueFileAnswer(dir.file("none.txt"));
  Press("KeepButton");
  EXPECT_EQ(Text("KeptNames"), "Never left out by Export: none (Keep... reads them from a file)");
  ui().QueueFileAnswer(dir.file("keep.txt"));
  Press("KeepButton");

  // Five of four is refused, as the batch refuses it; so is a kept name the list lacks.
  std::filesystem::remove_all(dir.file("out"));
  SetCounts("5", "1");
  EXPECT_EQ(ExportFails(),
            "Cannot leave out 5 names per group: only 4 of the list's 6 names may be left out "
            "(2 are kept)");
  test::WriteFile(dir.file("keep.txt"), "Outgroup\n");
  ui().QueueFileAnswer(dir.file("keep.txt"));
  Press("KeepButton");
  EXPECT_EQ(ExportFails(),
            "The name \"Outgroup\" to keep is not in '" + dir.file("names.txt") + "'");
}

TEST_F(ExportTest, KeptNamesGiveTheGroupsTheBatchDrawsWithKeepFile) {
  const ScopedListSourceReader reader(ReadAlignmentAsList);  // as the window program reads
  WriteAlignment(kTaxa);
  test::WriteFile(dir.file("keep.txt"), "Outgroup\nAlpha\n");
  ui().QueueFileAnswer(dir.file("aln.fasta"));
  Press("LoadButton");
  ui().QueueFileAnswer(dir.file("keep.txt"));
  Press("KeepButton");
  SetSeed("42");
  SetCounts("2", "6");
  ui().QueueFileAnswer(dir.file("out"));
  Press("ExportButton");
  const test::Result batch =
      test::Batch(dir, dir.file("aln.fasta") + " --omit 2 --groups 6 --seed 42 --keep-file " +
                           dir.file("keep.txt") + " --prune-to " + dir.file("batch"));
  ASSERT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(test::ReadFile(dir.file("out/groups.tsv")),
            test::ReadFile(dir.file("batch/groups.tsv")));
}

TEST_F(ExportTest, LeaveOneOutWritesOneGroupPerNameNotKeptAndDrawsNothing) {
  WriteAlignment(kTaxa);
  LoadList(kSixNames);
  test::WriteFile(dir.file("keep.txt"), "Gamma\n");
  ui().QueueFileAnswer(dir.file("keep.txt"));
  Press("KeepButton");
  SetCounts("x", "");  // the counts play no part, nor does a seed set before
  SetSeed("42");
  ui().QueueFileAnswer(dir.file("aln.fasta"));
  ui().QueueFileAnswer(dir.file("out"));
  Press("LeaveOneOutButton");
  EXPECT_EQ(TsvGroups(), (Groups{{"Alpha"}, {"Beta"}, {"Delta"}, {"Epsilon"}, {"Zeta"}}));
  EXPECT_EQ(TaxaOf("out/group002.fasta"),
            (Strings{"Alpha", "Gamma", "Delta", "Epsilon", "Zeta", "Outgroup"}));
  EXPECT_EQ(Text("OutBox"),
            "Exported 5 groups to " + dir.file("out") + ": 5 alignments, groups.tsv, dropkit.json");
  const nlohmann::ordered_json json = Json();
  EXPECT_EQ(json["draw"], "leave-one-out");
  EXPECT_EQ(json["seed"], nullptr);  // as dropkit-batch --each records it
  EXPECT_EQ(json["seed_source"], "none");
  EXPECT_EQ(json["draws_before"], 0);
  EXPECT_EQ(Text("SeedInForce"), "Seed in force: 42");  // and no draw used
}

// ---- The module

TEST(ExportModule, EntryChecksOutputsFirstThenInputs) {
  InitializeModule_export();
  Value slots[1];
  Value in[2] = {Value::Text("Keep"), Value::Text("Keep")};
  EXPECT_EQ(test::ErrorOf([&] { mlxExport(1, slots, 2, in); }),
            test::CountCheckMessage("export", 1, "outputs", 0));
  EXPECT_EQ(test::ErrorOf([&] { mlxExport(0, slots, 2, in); }),
            test::CountCheckMessage("export", 1, "inputs", 1));
  in[0] = Value::Text("Each");
  EXPECT_EQ(test::ErrorOf([&] { mlxExport(0, slots, 1, in); }),
            "export knows the commands \"Keep\" and \"LeaveOneOut\", or none; not \"Each\".");
  TerminateModule_export();
}

}  // namespace
}  // namespace dk
