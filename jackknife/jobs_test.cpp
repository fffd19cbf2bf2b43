#include "jackknife/jobs.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <filesystem>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "jackknife/driver.h"
#include "random/random.h"
#include "testing/programs.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::ReadFile;
using test::WriteFile;
using Strings = std::vector<std::string>;

using test::HaveProgram;
using test::Shell;

TEST(JobTemplateTest, PresetsAndTheModelForTheData) {
  EXPECT_EQ(JobTemplate("iqtree2", DataKind::kProtein),
            "iqtree2 -s {alignment} --prefix {group} -nt 1");
  EXPECT_EQ(JobTemplate("raxml-ng", DataKind::kDna),
            "raxml-ng --search --msa {alignment} --model GTR+G --prefix {group} --threads 1");
  EXPECT_EQ(JobTemplate("raxml-ng", DataKind::kRna),
            "raxml-ng --search --msa {alignment} --model GTR+G --prefix {group} --threads 1");
  EXPECT_EQ(JobTemplate("raxml-ng", DataKind::kProtein),
            "raxml-ng --search --msa {alignment} --model LG+G --prefix {group} --threads 1");
  EXPECT_EQ(ErrorOf([] { JobTemplate("raxml-ng", DataKind::kStandard); }),
            "The raxml-ng preset knows models for nucleotides and protein only; give a job "
            "template with the model for these data instead");
  EXPECT_EQ(JobTemplate("fasttree -nt {alignment} > {group}.tre", DataKind::kStandard),
            "fasttree -nt {alignment} > {group}.tre");
}

TEST(JobTemplateTest, RefusesBadTemplatesQuotingThem) {
  const auto refused = [](const std::string& t) {
    return ErrorOf([&] { JobTemplate(t, DataKind::kDna); });
  };
  EXPECT_EQ(refused("iqtree2 -s x.fasta"),
            "The job template \"iqtree2 -s x.fasta\" has no {alignment}, the pruned alignment to "
            "run on");
  EXPECT_EQ(refused("run {alignment} {threads}"),
            "The job template \"run {alignment} {threads}\" has the unknown placeholder "
            "{threads}; the placeholders are {alignment} and {group}");
  EXPECT_EQ(refused("run {alignment"),
            "The job template \"run {alignment\" has a \"{\" without a \"}\" after it");
  EXPECT_EQ(refused("run {{alignment}}"),
            "The job template \"run {{alignment}}\" has a \"{\" without a \"}\" after it");
  EXPECT_EQ(refused("run alignment} {alignment}"),
            "The job template \"run alignment} {alignment}\" has a \"}\" without a \"{\" before "
            "it");
  EXPECT_EQ(refused("run {alignment}\nrm -rf x"),
            "The job template \"run {alignment}\\nrm -rf x\" holds a line break; each job must "
            "be one line");
  EXPECT_EQ(refused("run {}"),
            "The job template \"run {}\" has the unknown placeholder {}; the placeholders are "
            "{alignment} and {group}");
  EXPECT_EQ(refused("run {al\x1bignment}"),
            "The job template \"run {al\\x1bignment}\" has the unknown placeholder "
            "{al\\x1bignment}; the placeholders are {alignment} and {group}");
  EXPECT_EQ(refused("  "), "The job template \"  \" is empty");
}

TEST(JobTemplateTest, ShellQuotingLeavesSafeWordsAlone) {
  EXPECT_EQ(ShellQuoted("group001.fasta"), "group001.fasta");
  EXPECT_EQ(ShellQuoted("a/b-c_d+e=f:g,h@i%j"), "a/b-c_d+e=f:g,h@i%j");
  EXPECT_EQ(ShellQuoted("my file"), "'my file'");
  EXPECT_EQ(ShellQuoted("it's"), "'it'\\''s'");
  EXPECT_EQ(ShellQuoted("$(rm -rf ~)"), "'$(rm -rf ~)'");
  EXPECT_EQ(ShellQuoted(""), "''");
}

TEST(JobsTextTest, OneCommandPerGroup) {
  EXPECT_EQ(JobsText(JobTemplate("iqtree2", DataKind::kDna), {"group001", "group002"}, ".fasta"),
            "iqtree2 -s group001.fasta --prefix group001 -nt 1\n"
            "iqtree2 -s group002.fasta --prefix group002 -nt 1\n");
  EXPECT_EQ(JobsText("x {group} {alignment} {group}", {"group010"}, ".nex"),
            "x group010 group010.nex group010\n");
  EXPECT_EQ(JobsText("x {alignment}", {"odd name"}, ".phy"), "x 'odd name.phy'\n");
  EXPECT_EQ(JobsText("x {alignment}", {}, ".phy"), "");
}

TEST(JobsTextTest, SlurmTaskRunsItsLinesWhereverItWasSubmittedFrom) {
  test::TempDir dir;
  const std::string run = dir.file("run");
  std::filesystem::create_directory(run);
  WriteFile(run + "/jobs.txt", "echo one > out1\necho 'two words' > out2\necho three > out3\n");
  const std::string script = SlurmScript(3, 1);
  EXPECT_NE(script.find("#SBATCH --array=1-3\n"), std::string::npos) << script;
  WriteFile(run + "/slurm.sh", script);
  // Submitted from its folder (or with --chdir), the task runs there.
  EXPECT_EQ(Shell("cd " + run + " && SLURM_ARRAY_TASK_ID=2 bash slurm.sh"), 0);
  EXPECT_EQ(ReadFile(run + "/out2"), "two words\n");
  // Submitted from elsewhere, it finds its folder from the script's path as Slurm has it,
  // even from the folder of another design.
  WriteFile(dir.file("scontrol"), "#!/bin/sh\necho '   Command=" + run + "/slurm.sh'\n");
  WriteFile(dir.file("jobs.txt"), "echo other > out3\necho other > out3\necho other > out3\n");
  const std::string elsewhere =
      "cd " + dir.path() + " && chmod +x scontrol && PATH=" + dir.path() + ":$PATH SLURM_JOB_ID=7 ";
  EXPECT_EQ(Shell(elsewhere + "SLURM_ARRAY_TASK_ID=3 bash run/slurm.sh"), 0);
  EXPECT_EQ(ReadFile(run + "/out3"), "three\n");
  EXPECT_NE(Shell(elsewhere + "SLURM_ARRAY_TASK_ID=4 bash run/slurm.sh 2>/dev/null"), 0);
  // Outside Slurm it says how to submit it.
  EXPECT_EQ(Shell("cd " + run + " && bash slurm.sh 2>/dev/null"), 2);
}

TEST(JobsTextTest, SlurmKeepsItsArrayWithinAThousandTasksAndAsksForTheThreads) {
  test::TempDir dir;
  std::string jobs;
  for (int n = 1; n <= 2500; ++n) jobs += "echo " + std::to_string(n) + " >> ran\n";
  WriteFile(dir.file("jobs.txt"), jobs);
  const std::string script = SlurmScript(2500, TemplateThreads("iqtree2 -s {alignment} -nt 4"));
  EXPECT_NE(script.find("#SBATCH --array=1-834\n"), std::string::npos) << script;
  EXPECT_NE(script.find("#SBATCH --cpus-per-task=4\n"), std::string::npos);
  WriteFile(dir.file("slurm.sh"), script);
  for (const int task : {1, 834}) {
    EXPECT_EQ(Shell("cd " + dir.path() + " && SLURM_ARRAY_TASK_ID=" + std::to_string(task) +
                    " bash slurm.sh"),
              0);
  }
  EXPECT_EQ(ReadFile(dir.file("ran")), "1\n2\n3\n2500\n");
  EXPECT_EQ(TemplateThreads(JobTemplate("iqtree2", DataKind::kDna)), 1u);
  EXPECT_EQ(TemplateThreads("raxml-ng --msa {alignment} --threads 8"), 8u);
  EXPECT_EQ(TemplateThreads("iqtree2 -s {alignment} -nt AUTO"), 1u);
}

TEST(JobsTextTest, TheTreeFileIsKnownForIqtreeAndRaxmlAndCheckedWhenGiven) {
  EXPECT_EQ(TreeName(JobTemplate("iqtree2", DataKind::kDna), ".phy"), "{group}.treefile");
  EXPECT_EQ(TreeName(JobTemplate("raxml-ng", DataKind::kDna), ".phy"), "{group}.raxml.bestTree");
  EXPECT_EQ(TreeName("/opt/bin/iqtree3 -s {alignment} -pre {group} -m JC", ".nex"),
            "{group}.treefile");
  EXPECT_EQ(TreeName("iqtree2 -s {alignment}", ".nex"), "{group}.nex.treefile");
  EXPECT_EQ(TreeName("raxml-ng --msa {alignment} --prefix={group}", ".phy"),
            "{group}.raxml.bestTree");
  EXPECT_EQ(TreeName("iqtree2 -s {alignment} --prefix trees_{group}", ".nex"), "");
  EXPECT_EQ(TreeName("fasttree {alignment} > {group}.tre", ".fasta"), "");
  CheckTreeName("{group}.tre");
  const auto refused = [](std::string_view pattern) {
    return test::ErrorOf([&] { CheckTreeName(pattern); });
  };
  EXPECT_EQ(refused("trees.tre"),
            "The tree file name \"trees.tre\" must hold {group} exactly once, for the group's "
            "label");
  EXPECT_EQ(refused("out/{group}.tre"),
            "The tree file name \"out/{group}.tre\" holds a \"/\"; it names a file in the folder "
            "the job runs in");
  EXPECT_EQ(refused("{alignment}.tre"),
            "The tree file name \"{alignment}.tre\" has the placeholder {alignment}; it may hold "
            "only {group}");
}

// The tip names of a Newick tree.
std::set<std::string> Tips(const std::string& newick) {
  std::set<std::string> tips;
  static const std::regex tip("[(,]([^(),:;]+)");
  for (auto it = std::sregex_iterator(newick.begin(), newick.end(), tip);
       it != std::sregex_iterator(); ++it) {
    tips.insert((*it)[1]);
  }
  return tips;
}

// Runs the jobs with the real IQ-TREE on the committed example, as a user would.
TEST(JobsTextTest, IqtreeWritesEachGroupsTreeWithTheGroupsTaxaOnly) {
  if (!HaveProgram("iqtree2")) GTEST_SKIP() << "iqtree2 is not installed";
  test::TestEnv env;
  test::TempDir dir;
  JackknifeOptions o;
  o.input = test::ExampleFile("example.fasta");
  o.omit = 3;
  o.groups = 3;
  o.seed = 42;
  o.prune_to = dir.file("run");
  o.jobs = "iqtree2";
  o.version = "test";
  RunJackknife(o);
  ResetRandomToEntropy();

  const std::string runner =
      HaveProgram("parallel") ? "parallel --will-cite -j 2 < jobs.txt" : "sh jobs.txt";
  ASSERT_EQ(Shell("cd " + dir.file("run") + " && " + runner + " >jobs.log 2>&1"), 0)
      << ReadFile(dir.file("run/jobs.log"));
  const auto design = nlohmann::json::parse(ReadFile(dir.file("run/dropkit.json")));
  ASSERT_EQ(design["groups"].size(), 3u);
  for (const auto& group : design["groups"]) {
    std::set<std::string> expected;
    for (const auto& name : design["names"]) expected.insert(name.get<std::string>());
    for (const auto& name : group["omitted"]) expected.erase(name.get<std::string>());
    const std::string tree =
        ReadFile(dir.file("run/" + group["label"].get<std::string>() + ".treefile"));
    ASSERT_FALSE(tree.empty()) << group["label"];
    EXPECT_EQ(Tips(tree), expected) << tree;
    EXPECT_EQ(expected.size(), 13u);
  }
  EXPECT_EQ(Tips(ReadFile(dir.file("run/reference.treefile"))).size(), 16u);
}

}  // namespace
}  // namespace dk
