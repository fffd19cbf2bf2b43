#include "jackknife/driver.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>

#include <filesystem>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "runtime/random_values.h"
#include "testing/programs.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::EntryNames;
using test::ErrorOf;
using test::ReadFile;
using test::WriteFile;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

const char kGreek[] = "Alpha\nBeta\nGamma\nDelta\nEpsilon\nZeta\nEta\nTheta\n";

std::string Fasta(const Strings& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    out += ">" + names[i] + "\nACGT" + std::string(1, "ACGT"[i % 4]) + "\n";
  }
  return out;
}

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() {
    env.entropy = 7;
    env.zone_offset = 3600;
    ResetRandomToEntropy();
    WriteFile(dir.file("greek.txt"), kGreek);
  }
  ~DriverTest() override { ResetRandomToEntropy(); }

  // Options for K of R from the Greek list to out.txt, seed 42.
  JackknifeOptions Options() const {
    JackknifeOptions o;
    o.input = dir.file("greek.txt");
    o.omit = 3;
    o.groups = 2;
    o.seed = 42;
    o.output = dir.file("out.txt");
    o.version = "0.2.0";
    o.argv = {"dropkit-batch", "greek.txt", "--omit", "3", "--groups", "2", "--seed", "42"};
    return o;
  }

  // What `run` writes on standard output.
  static std::string Stdout(const std::function<void()>& run) {
    test::TempDir capture;
    const std::string path = capture.file("stdout");
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
    std::string error;
    try {
      run();
    } catch (const std::exception& e) {
      error = e.what();
    }
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    EXPECT_EQ(error, "");
    return ReadFile(path);
  }

  test::TestEnv env;  // a fixed clock and entropy, a captured console
  test::TempDir dir;
};

// ---- Design files

TEST_F(DriverTest, KeptNamesListingMatchesTheWorkedExample) {
  JackknifeOptions o = Options();
  o.kept = {"Beta"};
  o.kept_file = dir.file("keep.txt");
  WriteFile(o.kept_file, "Epsilon\n\n");
  RunJackknife(o);
  EXPECT_EQ(ReadFile(o.output),
            "Randomized listing of 2 groups to 3 taxa to omit\n2026-12-07 : 14:5\n"
            "\n***  Repetition 1  *****************************\nGamma\n\nDelta\n\nZeta\n"
            "\n***  Repetition 2  *****************************\nDelta\n\nZeta\n\nEta\n");
  EXPECT_EQ(env.err, "design: 2 groups, 2 distinct; each taxon not kept left out 0 to 2 times\n");
}

TEST_F(DriverTest, EveryFormatGoesToItsFile) {
  JackknifeOptions o = Options();
  o.format = OutputFormat::kTsv;
  RunJackknife(o);
  EXPECT_EQ(ReadFile(o.output),
            "group\tposition\tname\tline\n"
            "1\t1\tBeta\t2\n1\t2\tGamma\t3\n1\t3\tZeta\t6\n"
            "2\t1\tGamma\t3\n2\t2\tEpsilon\t5\n2\t3\tEta\t7\n");
  o.format = OutputFormat::kJson;
  RunJackknife(o);
  const auto json = nlohmann::ordered_json::parse(ReadFile(o.output));
  EXPECT_EQ(json["command"].get<Strings>(), o.argv);
  EXPECT_EQ(json["input"]["file"], o.input);
  EXPECT_EQ(json["input"]["size"], 46);
  EXPECT_EQ(json["input"]["sha256"], Sha256Hex(kGreek));
  EXPECT_EQ(json["input"]["format"], "list");
  EXPECT_EQ(json["created"], "2026-12-07T14:05:30+01:00");
  EXPECT_EQ(json["seed"], 42);
  EXPECT_EQ(json["seed_source"], "option");
  EXPECT_EQ(json["groups"][1]["omitted"].get<Strings>(), (Strings{"Gamma", "Epsilon", "Eta"}));
  o.format = OutputFormat::kNexus;
  RunJackknife(o);
  EXPECT_NE(ReadFile(o.output).find("TAXSET group002 = Gamma Epsilon Eta;"), std::string::npos);
  o.format = OutputFormat::kTnt;
  RunJackknife(o);
  EXPECT_NE(ReadFile(o.output).find("taxcode - 2 4 6 ;"), std::string::npos);
}

TEST_F(DriverTest, StandardOutputAndShow) {
  JackknifeOptions o = Options();
  o.output = "-";
  o.format = OutputFormat::kTsv;
  EXPECT_EQ(Stdout([&] { RunJackknife(o); }).substr(0, 39),
            "group\tposition\tname\tline\n1\t1\tBeta\t2\n1\t2");
  o.output.clear();
  o.show = true;
  o.format = OutputFormat::kListing;
  EXPECT_EQ(Stdout([&] { RunJackknife(o); }),
            "Randomized listing of 2 groups to 3 taxa to omit\n2026-12-07 : 14:5"
            "\n***  Repetition 1  *****************************\nBeta\nGamma\nZeta"
            "\n***  Repetition 2  *****************************\nGamma\nEpsilon\nEta\n");
  EXPECT_FALSE(fs::exists(dir.file("out.txt")));
}

TEST_F(DriverTest, LeaveOneOutDrawsNothingAndRecordsNoSeed) {
  JackknifeOptions o = Options();
  o.draw = DrawMode::kLeaveOneOut;
  o.seed.reset();
  o.kept = {"Alpha", "Theta"};
  o.format = OutputFormat::kJson;
  RunJackknife(o);
  const auto json = nlohmann::ordered_json::parse(ReadFile(o.output));
  EXPECT_EQ(json["each"], true);
  EXPECT_EQ(json["draw"], "leave-one-out");
  EXPECT_EQ(json["omit"], 1);
  EXPECT_EQ(json["group_count"], 6);
  EXPECT_TRUE(json["seed"].is_null());
  EXPECT_EQ(json["seed_source"], "none");
  EXPECT_EQ(json["kept"].get<Strings>(), (Strings{"Alpha", "Theta"}));
  EXPECT_EQ(json["groups"][0]["omitted"].get<Strings>(), Strings{"Beta"});
  EXPECT_EQ(json["groups"][5]["omitted"].get<Strings>(), Strings{"Eta"});
  // No seed was drawn.
  EXPECT_EQ(env.err, "design: 6 groups, 6 distinct; each taxon not kept left out once\n");
  EXPECT_EQ(CurrentRandomState().key1, 2u);
}

// The groups of docs/random.md's worked examples, and what the design file and the
// summary say of them.
TEST_F(DriverTest, EachWayOfDrawingIsRecordedAndSummarized) {
  JackknifeOptions o = Options();
  o.format = OutputFormat::kJson;
  o.kept = {"Beta", "Epsilon"};
  const auto run = [&] {
    env.err.clear();
    RunJackknife(o);
    return nlohmann::ordered_json::parse(ReadFile(o.output));
  };
  o.draw = DrawMode::kDistinct;
  o.groups = 3;
  auto json = run();
  EXPECT_EQ(json["draw"], "distinct");
  EXPECT_EQ(json["groups"][2]["omitted"].get<Strings>(), (Strings{"Gamma", "Eta", "Theta"}));
  EXPECT_EQ(json["distinct_groups"], 3);
  EXPECT_EQ(json["omitted_least"], 0);
  EXPECT_EQ(json["omitted_most"], 2);
  EXPECT_EQ(env.err, "design: 3 groups, 3 distinct; each taxon not kept left out 0 to 2 times\n");

  o.draw = DrawMode::kBalanced;
  o.omit = 4;
  json = run();
  EXPECT_EQ(json["draw"], "balanced");
  EXPECT_EQ(json["seed"], 42);
  EXPECT_EQ(json["groups"][1]["omitted"].get<Strings>(),
            (Strings{"Alpha", "Delta", "Zeta", "Eta"}));
  EXPECT_EQ(json["omitted_least"], 2);
  EXPECT_EQ(json["omitted_most"], 2);
  EXPECT_EQ(env.err, "design: 3 groups, 3 distinct; each taxon not kept left out 2 times\n");

  // Every combination draws nothing: no seed is drawn, and one given is only recorded.
  o.draw = DrawMode::kAllCombinations;
  o.omit = 5;
  o.seed.reset();
  ResetRandomToEntropy();
  json = run();
  EXPECT_EQ(json["draw"], "all-combinations");
  EXPECT_EQ(json["each"], false);
  EXPECT_EQ(json["group_count"], 6);
  EXPECT_EQ(json["groups"][0]["omitted"].get<Strings>(),
            (Strings{"Alpha", "Gamma", "Delta", "Zeta", "Eta"}));
  EXPECT_EQ(json["groups"][5]["omitted"].get<Strings>(),
            (Strings{"Gamma", "Delta", "Zeta", "Eta", "Theta"}));
  EXPECT_TRUE(json["seed"].is_null());
  EXPECT_EQ(json["seed_source"], "none");
  EXPECT_EQ(env.err, "design: 6 groups, 6 distinct; each taxon not kept left out 5 times\n");
  o.seed = 7;
  EXPECT_EQ(run()["seed_source"], "option");
  EXPECT_EQ(CurrentRandomState().key1, 2u);
}

// ---- Seeds and reproducibility

TEST_F(DriverTest, ARunWithoutASeedDrawsOneShowsItAndRecordsIt) {
  JackknifeOptions o = Options();
  o.seed.reset();
  o.format = OutputFormat::kJson;
  RunJackknife(o);
  // Entropy bytes 07 08 ... 0E, the first the least significant, low 53 bits.
  const std::uint64_t seed = 0x0E0D0C0B0A090807ull & ((1ull << 53) - 1);
  EXPECT_EQ(env.err.rfind("seed: " + std::to_string(seed) + "\ndesign: 2 groups, ", 0), 0u)
      << env.err;
  const auto drawn = nlohmann::ordered_json::parse(ReadFile(o.output));
  EXPECT_EQ(drawn["seed"], seed);
  EXPECT_EQ(drawn["seed_source"], "entropy");

  o.seed = static_cast<double>(seed);
  env.now.minute = 59;
  RunJackknife(o);
  auto again = nlohmann::ordered_json::parse(ReadFile(o.output));
  EXPECT_EQ(again["groups"], drawn["groups"]);
  EXPECT_EQ(again["listing_sha256"], drawn["listing_sha256"]);
  EXPECT_EQ(again["seed"], drawn["seed"]);
  EXPECT_EQ(again["seed_source"], "option");
}

// Also whatever the number of threads that write the groups.
TEST_F(DriverTest, RerunningWithTheSeedReproducesEveryFileButTheTime) {
  WriteFile(dir.file("taxa.fasta"),
            Fasta({"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta", "Eta"}));
  JackknifeOptions o = Options();
  o.input = dir.file("taxa.fasta");
  o.output.clear();
  o.jobs = "iqtree2";
  o.prune_to = dir.file("first");
  env.variables["DROPKIT_THREADS"] = "1";
  RunJackknife(o);
  env.now = {2027, 1, 2, 3, 4, 5};
  o.prune_to = dir.file("second");
  env.variables["DROPKIT_THREADS"] = "3";
  RunJackknife(o);
  const std::set<std::string> files = EntryNames(dir.file("first"));
  EXPECT_EQ(files,
            (std::set<std::string>{"dropkit.json", "group001.fasta", "group002.fasta", "groups.tsv",
                                   "jobs.txt", "reference.fasta", "slurm.sh"}));
  EXPECT_EQ(EntryNames(dir.file("second")), files);
  for (const auto& name : files) {
    std::string first = ReadFile(dir.file("first/" + name));
    std::string second = ReadFile(dir.file("second/" + name));
    if (name == "dropkit.json") {
      EXPECT_NE(first.find("\"created\": \"2026-12-07T14:05:30+01:00\""), std::string::npos);
      const std::size_t at = second.find("\"created\": \"2027-01-02T03:04:05+01:00\"");
      ASSERT_NE(at, std::string::npos);
      second.replace(at, 38, "\"created\": \"2026-12-07T14:05:30+01:00\"");
    }
    EXPECT_EQ(first, second) << name;
  }
}

// ---- Pruning

TEST_F(DriverTest, PrunesOneAlignmentPerGroupWithTheDesignFiles) {
  const Strings names = {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta", "Eta", "Theta"};
  WriteFile(dir.file("taxa.fasta"), Fasta(names));
  JackknifeOptions o = Options();
  o.input = dir.file("taxa.fasta");
  o.output.clear();
  o.prune_to = dir.file("run");
  o.kept = {"Beta", "Epsilon"};
  o.jobs = "iqtree2";
  RunJackknife(o);
  EXPECT_EQ(EntryNames(dir.path()), (std::set<std::string>{"greek.txt", "run", "taxa.fasta"}));
  // The worked example's groups: Gamma Delta Zeta, then Delta Zeta Eta.
  EXPECT_EQ(ReadFile(dir.file("run/group001.fasta")),
            ">Alpha\nACGTA\n>Beta\nACGTC\n>Epsilon\nACGTA\n>Eta\nACGTG\n>Theta\nACGTT\n");
  EXPECT_EQ(ReadFile(dir.file("run/group002.fasta")),
            ">Alpha\nACGTA\n>Beta\nACGTC\n>Gamma\nACGTG\n>Epsilon\nACGTA\n>Theta\nACGTT\n");
  EXPECT_EQ(ReadFile(dir.file("run/groups.tsv")),
            "group\tposition\tname\tline\n"
            "1\t1\tGamma\t3\n1\t2\tDelta\t4\n1\t3\tZeta\t6\n"
            "2\t1\tDelta\t4\n2\t2\tZeta\t6\n2\t3\tEta\t7\n");
  // The reference job first, on the whole alignment written as the copies are.
  EXPECT_EQ(ReadFile(dir.file("run/reference.fasta")), Fasta(names));
  EXPECT_EQ(ReadFile(dir.file("run/jobs.txt")),
            "iqtree2 -s reference.fasta --prefix reference -nt 1\n"
            "iqtree2 -s group001.fasta --prefix group001 -nt 1\n"
            "iqtree2 -s group002.fasta --prefix group002 -nt 1\n");
  EXPECT_NE(ReadFile(dir.file("run/slurm.sh")).find("--array=1-3\n"), std::string::npos);
  const auto json = nlohmann::ordered_json::parse(ReadFile(dir.file("run/dropkit.json")));
  EXPECT_EQ(json["input"]["format"], "fasta");
  EXPECT_EQ(json["names"].get<Strings>(), names);
  EXPECT_EQ(json["kept"].get<Strings>(), (Strings{"Beta", "Epsilon"}));
  EXPECT_EQ(json["listing_sha256"], Sha256Hex(ReadFile(dir.file("run/groups.tsv"))));
  EXPECT_EQ(json["groups"][0]["lines"].get<std::vector<int>>(), (std::vector<int>{3, 4, 6}));
  EXPECT_EQ(json["jobs"]["template"], "iqtree2 -s {alignment} --prefix {group} -nt 1");
  EXPECT_EQ(json["jobs"]["reference"], "reference.fasta");
  EXPECT_EQ(json["jobs"]["tree_name"], "{group}.treefile");
}

TEST_F(DriverTest, PrunedFilesKeepTheInputsFormat) {
  WriteFile(dir.file("taxa.phy"), "3 4\nAlpha ACGT\nBeta  ACGA\nGamma ACGG\n");
  WriteFile(dir.file("taxa.nex"),
            "#NEXUS\nbegin data; dimensions ntax=3 nchar=4; format datatype=dna;\n"
            "matrix Alpha ACGT Beta ACGA Gamma ACGG; end;\n");
  JackknifeOptions o = Options();
  o.output.clear();
  o.omit = 1;
  o.groups = 1;
  o.input = dir.file("taxa.phy");
  o.prune_to = dir.file("phy");
  RunJackknife(o);
  EXPECT_EQ(EntryNames(dir.file("phy")),
            (std::set<std::string>{"dropkit.json", "group001.phy", "groups.tsv"}));
  EXPECT_EQ(nlohmann::json::parse(ReadFile(dir.file("phy/dropkit.json")))["input"]["format"],
            "phylip");
  o.input = dir.file("taxa.nex");
  o.prune_to = dir.file("nex");
  RunJackknife(o);
  EXPECT_EQ(EntryNames(dir.file("nex")),
            (std::set<std::string>{"dropkit.json", "group001.nex", "groups.tsv"}));
  EXPECT_EQ(ReadFile(dir.file("nex/group001.nex")).substr(0, 6), "#NEXUS");
}

TEST_F(DriverTest, PruningRefusesListsAndFoldersInUse) {
  JackknifeOptions o = Options();
  o.output.clear();
  o.prune_to = dir.file("run");
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }),
            "Cannot prune '" + o.input +
                "': it is a name list, and pruning needs an alignment (FASTA, PHYLIP or NEXUS)");
  EXPECT_EQ(EntryNames(dir.path()), std::set<std::string>{"greek.txt"});

  WriteFile(dir.file("taxa.fasta"), Fasta({"A", "B", "C", "D"}));
  o.input = dir.file("taxa.fasta");
  o.omit = 1;
  fs::create_directory(dir.file("run"));
  WriteFile(dir.file("run/notes.txt"), "mine");
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }),
            "The folder '" + dir.file("run") +
                "' exists and is not empty; force writing into it to replace the files of the "
                "same names (--force)");
  EXPECT_EQ(EntryNames(dir.file("run")), std::set<std::string>{"notes.txt"});
  o.force = true;
  RunJackknife(o);
  EXPECT_EQ(EntryNames(dir.file("run")),
            (std::set<std::string>{"dropkit.json", "group001.fasta", "group002.fasta", "groups.tsv",
                                   "notes.txt"}));
}

TEST_F(DriverTest, AFailureWhilePruningLeavesNoFolder) {
  std::string big;
  for (int i = 0; i < 40; ++i)
    big += ">t" + std::to_string(i) + "\n" + std::string(4000, 'A') + "\n";
  WriteFile(dir.file("taxa.fasta"), big);
  JackknifeOptions o = Options();
  o.input = dir.file("taxa.fasta");
  o.output.clear();
  o.prune_to = dir.file("run");
  o.groups = 5;
  env.write_limit = 300000;  // the disk fills after about two of the five files
  const std::string error = ErrorOf([&] { RunJackknife(o); });
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  EXPECT_EQ(EntryNames(dir.path()), (std::set<std::string>{"greek.txt", "taxa.fasta"}));
  env.write_limit = -1;
  // A system call that fails anywhere, into a new folder or over a folder in use, changes
  // nothing; one the run can do without changes nothing it writes.
  fs::create_directory(dir.file("old"));
  WriteFile(dir.file("old/keep.txt"), "kept");
  WriteFile(dir.file("old/groups.tsv"), "old");
  o.jobs = "iqtree2";
  WriteFile(dir.file("taxa.fasta"), Fasta({"a", "b", "c", "d", "e", "f", "g", "h"}));
  o.groups = 2;
  for (const bool existing : {false, true}) {
    o.prune_to = dir.file(existing ? "old" : "run");
    o.force = existing;
    const auto reset = [&] {
      fs::remove_all(dir.file("run"));
      for (const std::string& name : EntryNames(dir.file("old"))) {
        if (name != "keep.txt") fs::remove_all(dir.file("old/" + name));
      }
      WriteFile(dir.file("old/groups.tsv"), "old");
    };
    const auto before = test::Snapshot(dir.path());
    RunJackknife(o);
    const auto after = test::Snapshot(dir.path());
    reset();
    const int failures = test::SweepFaults(
        env, test::TestEnv::AllCalls(), [&] { RunJackknife(o); },
        [&](const std::string& fault, const std::string& failure) {
          test::ExpectAllOrNothing(env, dir.path(), before, after, fault, failure);
          reset();
        });
    EXPECT_GT(failures, 30);  // the reads, and every call making each file and the folder
  }
}

TEST_F(DriverTest, GzippedCopiesHoldTheSameBytesAndTheJobsNameThem) {
  std::string big;  // copies of several of zlib's blocks
  for (int i = 0; i < 40; ++i) {
    std::string row;
    for (int s = 0; s < 20000; ++s) row += "ACGT"[(s * 7 + i * s / 3) % 4];
    big += ">t" + std::to_string(i) + "\n" + row + "\n";
  }
  WriteFile(dir.file("taxa.fasta"), big);
  JackknifeOptions o = Options();
  o.input = dir.file("taxa.fasta");
  o.output.clear();
  o.jobs = "iqtree2";
  o.prune_to = dir.file("plain");
  RunJackknife(o);
  o.prune_to = dir.file("gz");
  o.gzip = true;
  RunJackknife(o);
  EXPECT_EQ(EntryNames(dir.file("gz")),
            (std::set<std::string>{"dropkit.json", "group001.fasta.gz", "group002.fasta.gz",
                                   "groups.tsv", "jobs.txt", "reference.fasta.gz", "slurm.sh"}));
  for (const std::string group : {"group001", "group002"}) {
    const std::string gz = dir.file("gz/" + group + ".fasta.gz");
    ASSERT_EQ(test::Shell("gzip -dc " + gz + " > " + dir.file("out.fasta")), 0);
    EXPECT_EQ(ReadFile(dir.file("out.fasta")), ReadFile(dir.file("plain/" + group + ".fasta")));
    EXPECT_LT(ReadFile(gz).size() * 3, ReadFile(dir.file("out.fasta")).size());
  }
  EXPECT_EQ(ReadFile(dir.file("gz/jobs.txt")),
            "iqtree2 -s reference.fasta.gz --prefix reference -nt 1\n"
            "iqtree2 -s group001.fasta.gz --prefix group001 -nt 1\n"
            "iqtree2 -s group002.fasta.gz --prefix group002 -nt 1\n");
  o.jobs = "raxml-ng";
  o.prune_to = dir.file("raxml");
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }),
            "RAxML-NG cannot read gzipped alignments: leave out the compression, or run a program "
            "that can (the iqtree2 preset, or a template)");
}

// ---- Checks

// The findings' wording is name_checks_test's; here: shown under the input's path before
// the summary, and with the strict check nothing is written.
TEST_F(DriverTest, FindingsAreShownAndStrictStopsOnThem) {
  WriteFile(dir.file("names.txt"), "Alpha\n\nBeta\nGamma\n");
  JackknifeOptions o = Options();
  o.input = dir.file("names.txt");
  o.omit = 1;
  RunJackknife(o);
  const std::string finding = dir.file("names.txt") + ": line 2: blank line\n";
  EXPECT_EQ(env.err.rfind(finding + "design: 2 groups, ", 0), 0u) << env.err;
  ASSERT_TRUE(fs::exists(o.output));

  fs::remove(o.output);
  env.err.clear();
  o.strict = true;
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }),
            "'" + dir.file("names.txt") +
                "' has 1 finding about its names and the strict check allows none; nothing "
                "was written");
  EXPECT_EQ(env.err, finding);
  EXPECT_FALSE(fs::exists(o.output));
  o.input = dir.file("greek.txt");
  RunJackknife(o);  // a clean list passes the strict check
  EXPECT_TRUE(fs::exists(o.output));
}

TEST_F(DriverTest, QuotingFindingsAreGivenOnlyWhereAPhylipOrNexusFileIsWritten) {
  WriteFile(dir.file("species.txt"), "Homo sapiens\nPan\nGorilla\n");
  WriteFile(dir.file("species.phy"), "3 4\nHomo sapi ACGT\nPan       ACGA\nGorilla   ACGG\n");
  JackknifeOptions o = Options();
  o.input = dir.file("species.txt");
  o.omit = 1;
  o.strict = true;
  RunJackknife(o);  // a listing: nothing to find
  EXPECT_EQ(env.err.find("unquoted"), std::string::npos);
  const std::string refused =
      "' has 1 finding about its names and the strict check allows "
      "none; nothing was written";
  const std::string finding = ": line 1: \"Homo sapiens\" cannot stand unquoted in PHYLIP or NEXUS";
  for (const OutputFormat format : {OutputFormat::kNexus, OutputFormat::kTnt}) {
    env.err.clear();
    o.format = format;
    EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }), "'" + o.input + refused);
    EXPECT_EQ(env.err.find(o.input + finding), 0u);
  }
  o.format = OutputFormat::kListing;
  o.output.clear();
  o.input = dir.file("species.phy");  // strict PHYLIP: a name of ten columns
  o.prune_to = dir.file("phy");
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }), "'" + o.input + refused);
}

TEST_F(DriverTest, NamesTheDesignFilesCannotHoldAreRefused) {
  JackknifeOptions o = Options();
  o.omit = 2;
  WriteFile(dir.file("tab.txt"), "a\tb\nc\n");
  o.input = dir.file("tab.txt");
  RunJackknife(o);  // a listing holds any name, byte for byte
  EXPECT_NE(ReadFile(o.output).find("\na\tb\n\nc\n"), std::string::npos);
  o.format = OutputFormat::kJson;
  EXPECT_EQ(
      ErrorOf([&] { RunJackknife(o); }),
      "line 1 of '" + o.input + "': the name holds a tab, which the design files cannot hold");
  WriteFile(dir.file("latin1.txt"), "a\ncaf\xE9\n");
  o.input = dir.file("latin1.txt");
  o.format = OutputFormat::kListing;
  RunJackknife(o);
  EXPECT_NE(ReadFile(o.output).find("\na\n\ncaf\xE9\n"), std::string::npos);
  o.format = OutputFormat::kTsv;
  EXPECT_EQ(
      ErrorOf([&] { RunJackknife(o); }),
      "line 2 of '" + o.input + "': the name is not valid UTF-8, which the design files need");
}

TEST_F(DriverTest, OptionsAreCheckedBeforeAnythingIsRead) {
  JackknifeOptions o = Options();
  o.input = dir.file("none.txt");
  o.show = true;
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }),
            "Give exactly one destination: an output file, show, or a folder to prune into");
  o.show = false;
  o.output.clear();
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }),
            "Give exactly one destination: an output file, show, or a folder to prune into");
  o.output = dir.file("out.txt");
  o.jobs = "iqtree2";
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }),
            "Job files need a folder of pruned alignments (prune to a folder)");
  o.jobs = "run {x}";
  o.output.clear();
  o.prune_to = dir.file("run");
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }).substr(0, 32), "The job template \"run {x}\" has t");
  o.jobs.clear();
  o.seed = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }), "The seed must be one finite number, not Inf");
  o.seed = 1;
  o.input.clear();
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }), "No input file was given");
  EXPECT_EQ(EntryNames(dir.path()), std::set<std::string>{"greek.txt"});
}

TEST_F(DriverTest, KeptNamesMustBeInTheList) {
  JackknifeOptions o = Options();
  o.kept = {"Beta", "Omega"};
  EXPECT_EQ(ErrorOf([&] { RunJackknife(o); }),
            "The name \"Omega\" to keep is not in '" + o.input + "'");
  EXPECT_FALSE(fs::exists(o.output));
}

// ---- The window

TEST_F(DriverTest, TheWindowDrawsFromItsGeneratorAsItStands) {
  RestartRandom(42);
  JackknifeOptions o = Options();
  o.seed.reset();
  o.argv.clear();
  o.window = WindowContext{{{"NumBox", "3"}, {"RepBox", "2"}, {"InitBox", "42"}}, 42};
  o.format = OutputFormat::kJson;
  const JackknifeRun run = PrepareJackknife(o);
  EXPECT_EQ(run.design.groups, (std::vector<std::vector<std::size_t>>{{1, 2, 5}, {2, 4, 6}}));
  EXPECT_EQ(env.err, "");
  const auto json = nlohmann::ordered_json::parse(FormatDesign(run, OutputFormat::kJson));
  EXPECT_EQ(json["program"], "dropkit");
  EXPECT_FALSE(json.contains("command"));
  EXPECT_EQ(json["window"]["InitBox"], "42");
  EXPECT_EQ(json["seed"], 42);
  EXPECT_EQ(json["seed_source"], "window");
  EXPECT_FALSE(fs::exists(o.output));  // preparing writes nothing
  // Without a seed the window's groups come from wherever the generator stands.
  o.window->seed.reset();
  const auto none =
      nlohmann::ordered_json::parse(FormatDesign(PrepareJackknife(o), OutputFormat::kJson));
  EXPECT_TRUE(none["seed"].is_null());
  EXPECT_EQ(none["seed_source"], "none");
}

}  // namespace
}  // namespace dk
