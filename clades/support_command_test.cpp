#include "clades/support_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <sstream>

#include "testing/programs.h"
#include "testing/test_support.h"

namespace dk::clades {
namespace {

using dk::test::ErrorOf;
using dk::test::ReadFile;
using dk::test::TempDir;
using dk::test::TestEnv;
using dk::test::WriteFile;

const std::string kExample = dk::test::ExampleFile("support/");

SupportOptions ExampleOptions(const std::string& design, const std::string& out) {
  SupportOptions o;
  o.reference = kExample + "reference.tre";
  o.trees = {kExample + "groups.tre"};
  o.design = kExample + design;
  o.by_taxon = true;
  o.output = out;
  return o;
}

TEST(SupportExample, ReproducesTheCommittedTablesFromEitherDesignFile) {
  for (const char* design : {"dropkit.json", "groups.tsv"}) {
    TempDir dir;
    RunSupport(ExampleOptions(design, dir.path()));
    EXPECT_EQ(ReadFile(dir.file("support.tsv")), ReadFile(kExample + "support.tsv")) << design;
    EXPECT_EQ(ReadFile(dir.file("by_taxon.tsv")), ReadFile(kExample + "by_taxon.tsv")) << design;
    EXPECT_EQ(ReadFile(dir.file("support.tre")), ReadFile(kExample + "support.tre")) << design;
    EXPECT_EQ(ReadFile(dir.file("support.svg")), ReadFile(kExample + "support.svg")) << design;
  }
}

TEST(SupportExample, OneFilePerGroupGivesTheSameTable) {
  TempDir dir;
  std::istringstream lines(ReadFile(kExample + "groups.tre"));
  SupportOptions o = ExampleOptions("dropkit.json", dir.file("out"));
  o.trees.clear();
  std::string line;
  for (int g = 1; std::getline(lines, line); ++g) {
    o.trees.push_back(dir.file("group" + std::to_string(g) + ".tre"));
    WriteFile(o.trees.back(), line + "\n");
  }
  ASSERT_EQ(o.trees.size(), 10u);
  RunSupport(o);
  EXPECT_EQ(ReadFile(dir.file("out/support.tsv")), ReadFile(kExample + "support.tsv"));
}

// The example's trees as the jobs leave them: group001.treefile ... and
// reference.treefile, beside the design.
std::vector<std::string> WriteJobTrees(const TempDir& dir) {
  std::filesystem::create_directory(dir.file("run"));
  std::filesystem::copy_file(kExample + "dropkit.json", dir.file("run/dropkit.json"));
  std::filesystem::copy_file(kExample + "reference.tre", dir.file("run/reference.treefile"));
  std::istringstream lines(ReadFile(kExample + "groups.tre"));
  std::vector<std::string> files;
  std::string line;
  for (int g = 1; std::getline(lines, line); ++g) {
    files.push_back(
        dir.file((g < 10 ? "run/group00" : "run/group0") + std::to_string(g) + ".treefile"));
    WriteFile(files.back(), line + "\n");
  }
  return files;
}

TEST(SupportExample, FindsEachGroupsTreeByItsNameAndNamesEveryMissingOne) {
  TempDir dir;
  std::vector<std::string> files = WriteJobTrees(dir);
  SupportOptions o;
  o.trees = {dir.file("run")};  // the reference and the design from the folder too
  o.tree_name = "{group}.treefile";
  o.output = dir.file("out");
  RunSupport(o);
  EXPECT_EQ(ReadFile(dir.file("out/support.tsv")), ReadFile(kExample + "support.tsv"));
  // Files named for their groups may come in any order.
  SupportOptions listed = ExampleOptions("dropkit.json", dir.file("listed"));
  listed.trees.assign(files.rbegin(), files.rend());
  RunSupport(listed);
  EXPECT_EQ(ReadFile(dir.file("listed/support.tsv")), ReadFile(kExample + "support.tsv"));

  std::filesystem::remove(files[3]);
  std::filesystem::remove(files[6]);
  std::filesystem::remove(files[7]);
  EXPECT_EQ(ErrorOf([&] { RunSupport(o); }),
            "No tree for 3 of the 10 groups (no file \"{group}.treefile\" in '" + dir.file("run") +
                "'): groups 4 and 7-8; run their jobs again, or go on without them "
                "(--allow-missing)");
  o.allow_missing = true;
  RunSupport(o);
  EXPECT_EQ(ReadFile(dir.file("out/missing.tsv")), "group\n4\n7\n8\n");
  // Gamma,Delta was testable in 7 groups, two of them among those now missing.
  EXPECT_NE(ReadFile(dir.file("out/support.tsv")).find("\nGamma,Delta\t5\t"), std::string::npos);
}

// Each row of support.tsv counts the cells of its row in outcomes.tsv.
TEST(SupportExample, SupportTableDerivesFromTheOutcomes) {
  TempDir dir;
  RunSupport(ExampleOptions("dropkit.json", dir.path()));
  std::istringstream outcomes(ReadFile(dir.file("outcomes.tsv")));
  std::string derived = "taxa\ttestable\tsurvived\n", line;
  std::getline(outcomes, line);
  EXPECT_EQ(line, "taxa\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10");
  while (std::getline(outcomes, line)) {
    const std::size_t tab = line.find('\t');
    const std::string cells = line.substr(tab);
    const auto ones = std::count(cells.begin(), cells.end(), '1');
    const auto zeros = std::count(cells.begin(), cells.end(), '0');
    derived += line.substr(0, tab) + '\t' + std::to_string(ones + zeros) + '\t' +
               std::to_string(ones) + '\n';
  }
  std::istringstream support(ReadFile(dir.file("support.tsv")));
  std::string counted;
  while (std::getline(support, line)) {
    const std::size_t third = line.find('\t', line.find('\t', line.find('\t') + 1) + 1);
    counted += line.substr(0, third) + '\n';
  }
  EXPECT_EQ(derived, counted);

  // The picture is drawn as PNG too where rsvg-convert is installed, and left out where not.
  TestEnv env;
  const bool drawn = std::filesystem::exists(dir.file("support.png"));
  EXPECT_EQ(drawn, test::HaveProgram("rsvg-convert"));
  if (drawn) {
    EXPECT_EQ(ReadFile(dir.file("support.png")).substr(0, 4), "\x89PNG");
  }
  env.program_errors["rsvg-convert"] = ENOENT;
  RunSupport(ExampleOptions("dropkit.json", dir.file("no_png")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("no_png/support.png")));
  env.program_errors["rsvg-convert"] = EACCES;
  EXPECT_NE(RunSupport(ExampleOptions("dropkit.json", dir.file("no_png")))
                .find("; support.png was not drawn: rsvg-convert Permission denied"),
            std::string::npos);

  // IQ-TREE's 2.0e-6 under Gamma,Delta is pointed out when nothing collapses it.
  SupportOptions o = ExampleOptions("dropkit.json", dir.file("short"));
  EXPECT_NE(RunSupport(o).find("; 1 testable clade of the reference sits on branches of 1e-05 or "
                               "less"),
            std::string::npos);
  o.collapse_below = 1e-5;
  EXPECT_EQ(RunSupport(o).find("1e-05 or less"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.file("short/support.tsv")).find("Gamma,Delta\t"), std::string::npos);
}

TEST(SupportCommand, RunsFromTheCommandLineAndReportsOnStandardError) {
  TempDir dir;
  TestEnv env;
  env.program_errors["rsvg-convert"] = ENOENT;  // the same files on every machine
  const std::string reference = kExample + "reference.tre", trees = kExample + "groups.tre",
                    design = kExample + "groups.tsv", out = dir.file("out");
  std::vector<std::string> args{"dropkit-batch support",
                                "--reference",
                                reference,
                                "--trees",
                                trees,
                                "--design",
                                design,
                                "--outgroup",
                                "Pi",
                                "--output",
                                out};
  // The command's status run with `words` as its arguments; the errors are env.err.
  const auto run = [&](std::vector<std::string> words) {
    env.err.clear();
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    return SupportCommand(static_cast<int>(argv.size()), argv.data());
  };
  EXPECT_EQ(run(args), 0);
  EXPECT_EQ(env.err,
            "dropkit-batch support: 13 clades of 16 taxa compared with 10 group trees; wrote 6 "
            "files to '" +
                out +
                "'; 1 testable clade of the reference sits on branches of 1e-05 or less, which "
                "tree programs write for unresolved ones (--collapse-below 1e-05 treats them as "
                "absent)\n");
  const std::string table = ReadFile(dir.file("out/support.tsv"));
  EXPECT_EQ(table.substr(table.find('\n') + 1, 8), "Alpha,Be");  // the side away from Pi

  args[8] = "Nobody";
  EXPECT_EQ(run(args), 1);
  EXPECT_EQ(env.err, "dropkit-batch support: The outgroup 'Nobody' is not a taxon of the design '" +
                         design + "'\n");
  args[8] = "Pi,";
  EXPECT_EQ(run(args), 1);
  EXPECT_EQ(env.err,
            "dropkit-batch support: The outgroup 'Pi,' has an empty name between its "
            "commas; name each taxon once\n");
  args[8] = "";  // an empty outgroup is a usage error, not an unrooted run
  EXPECT_EQ(run(args), 2);
  for (const char* length : {"nan", "-1", "abc"}) {
    EXPECT_EQ(run({"support", "--trees", trees, "--collapse-below", length, "--output", out}), 2)
        << length;  // a usage error
  }
}

TEST(SupportCommand, RefusesFilesItCannotUseAndNamesThem) {
  TempDir dir;
  SupportOptions o = ExampleOptions("dropkit.json", dir.file("out"));
  o.trees = {dir.file("missing.tre")};
  EXPECT_EQ(ErrorOf([&] { RunSupport(o); }), "Cannot read the group tree file '" +
                                                 dir.file("missing.tre") +
                                                 "': No such file or directory");

  WriteFile(dir.file("two.tre"), "((A,B),(C,D));\n((A,C),(B,D));\n");
  o.trees = {kExample + "groups.tre", dir.file("two.tre")};
  EXPECT_EQ(ErrorOf([&] { RunSupport(o); }),
            "The group tree file '" + kExample +
                "groups.tre' holds 10 trees; when several files are given, each holds one "
                "group's tree");

  o.trees = {kExample + "groups.tre"};
  o.reference = dir.file("two.tre");
  EXPECT_EQ(ErrorOf([&] { RunSupport(o); }), "The reference tree file '" + dir.file("two.tre") +
                                                 "' holds 2 trees; it must hold one");

  o = ExampleOptions("dropkit.json", dir.file("out"));
  std::string nine = ReadFile(kExample + "groups.tre");
  nine.erase(nine.rfind('\n', nine.size() - 2) + 1);  // drop the last tree
  WriteFile(dir.file("nine.tre"), nine);
  o.trees = {dir.file("nine.tre")};
  EXPECT_EQ(ErrorOf([&] { RunSupport(o); }), "The design '" + kExample +
                                                 "dropkit.json' has 10 groups but 9 group trees "
                                                 "were given; give the design's folder or each "
                                                 "group's tree file to learn which are missing");
  EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
}

TEST(SupportCommand, ATreeHoldingATaxonItsGroupLeftOutNamesBoth) {
  TempDir dir;
  // Group 1 leaves out Beta, Gamma and Lambda: give it the reference tree instead.
  std::string trees = ReadFile(kExample + "groups.tre");
  trees = ReadFile(kExample + "reference.tre") + trees.substr(trees.find('\n') + 1);
  WriteFile(dir.file("groups.tre"), trees);
  SupportOptions o = ExampleOptions("dropkit.json", dir.file("out"));
  o.trees = {dir.file("groups.tre")};
  EXPECT_EQ(ErrorOf([&] { RunSupport(o); }),
            "The tree of group 1, '" + dir.file("groups.tre") +
                "', tree 1 holds the taxon 'Beta', which group 1 leaves out");
}

TEST(SupportCommand, TreesOutOfGroupOrderAreSaidToBe) {
  TempDir dir;
  std::istringstream in(ReadFile(kExample + "groups.tre"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  std::swap(lines[0], lines[1]);
  WriteFile(dir.file("groups.tre"), std::accumulate(lines.begin(), lines.end(), std::string()));
  SupportOptions o = ExampleOptions("dropkit.json", dir.file("out"));
  o.trees = {dir.file("groups.tre")};
  const std::string error = ErrorOf([&] { RunSupport(o); });
  EXPECT_NE(error.find("which group 1 leaves out; it holds exactly the taxa group 2 kept, so the "
                       "trees look out of group order"),
            std::string::npos)
      << error;
}

TEST(SupportCommand, WritesNothingWhenAnyOutputFails) {
  TempDir dir;
  WriteFile(dir.file("support.tsv"), "old");
  TestEnv env;
  // support.tsv fits, support.tre does not.
  env.write_limit = static_cast<long>(ReadFile(kExample + "support.tsv").size()) + 10;
  EXPECT_EQ(ErrorOf([&] { RunSupport(ExampleOptions("dropkit.json", dir.path())); }),
            "Cannot write '" + dir.file("support.tre") + "': No space left on device");
  EXPECT_EQ(ReadFile(dir.file("support.tsv")), "old");
  EXPECT_EQ(dk::test::CountEntries(dir.path()), 1u);
  // So with a system call that fails anywhere, into a folder in use (a new one is
  // os/staged_folder_test's); one the run can do without changes nothing it writes.
  env.write_limit = -1;
  env.program_errors["rsvg-convert"] = ENOENT;  // the same files on every machine
  const auto reset = [&] {
    std::filesystem::remove_all(dir.path());
    std::filesystem::create_directory(dir.path());
    WriteFile(dir.file("support.tsv"), "old");
  };
  for (const std::string& out : {dir.path()}) {
    const auto before = dk::test::Snapshot(dir.path());
    RunSupport(ExampleOptions("dropkit.json", out));
    const auto after = dk::test::Snapshot(dir.path());
    reset();
    const int failures = dk::test::SweepFaults(
        env, TestEnv::AllCalls(), [&] { RunSupport(ExampleOptions("dropkit.json", out)); },
        [&](const std::string& fault, const std::string& error) {
          dk::test::ExpectAllOrNothing(env, dir.path(), before, after, fault, error);
          reset();
        });
    EXPECT_GE(failures, 20) << out;
  }
}

TEST(SupportCommand, NeverWritesOverItsOwnInputs) {
  TempDir dir;
  WriteFile(dir.file("support.tre"), ReadFile(kExample + "reference.tre"));
  SupportOptions o = ExampleOptions("dropkit.json", dir.path());
  o.reference = dir.file("support.tre");
  EXPECT_EQ(ErrorOf([&] { RunSupport(o); }),
            "Cannot write '" + dir.file("support.tre") + "': it is the reference tree file '" +
                dir.file("support.tre") +
                "', which the output would replace; choose another "
                "folder");
  EXPECT_EQ(dk::test::CountEntries(dir.path()), 1u);
}

TEST(SupportCommand, RefusesAnOutputFolderThatIsAFile) {
  TempDir dir;
  WriteFile(dir.file("out"), "");
  EXPECT_EQ(ErrorOf([&] { RunSupport(ExampleOptions("dropkit.json", dir.file("out"))); }),
            "Cannot write into '" + dir.file("out") + "': it exists and is not a folder");
}

}  // namespace
}  // namespace dk::clades
