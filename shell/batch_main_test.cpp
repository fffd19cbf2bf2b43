// Runs the dropkit-batch executable as a script or a pipeline would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "testing/programs.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::EntryNames;
using test::ReadFile;
using test::WriteFile;

using test::Bash;
using test::Batch;
using test::Result;

class BatchTest : public ::testing::Test {
 protected:
  BatchTest() {
    std::string names;
    for (int i = 1; i <= 10; ++i) names += "t" + std::to_string(i) + "\n";
    WriteFile(dir.file("names.txt"), names);
  }
  std::string Names() const { return dir.file("names.txt"); }
  test::TempDir dir;
};

// Everything but line 2 (the date and time).
std::string WithoutDateLine(const std::string& listing) {
  const std::size_t first = listing.find('\n');
  const std::size_t second = listing.find('\n', first + 1);
  return listing.substr(0, first) + listing.substr(second);
}

TEST_F(BatchTest, WritesTheListingFileFromASeed) {
  const Result r =
      Batch(dir, Names() + " --omit 3 --groups 2 --seed 42 --output " + dir.file("out.txt"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "numcount = 3\n");
  EXPECT_EQ(WithoutDateLine(ReadFile(dir.file("out.txt"))),
            "Randomized listing of 2 groups to 3 taxa to omit\n"
            "\n***  Repetition 1  *****************************\nt2\n\nt3\n\nt7\n"
            "\n***  Repetition 2  *****************************\nt3\n\nt6\n\nt9\n");
}

TEST_F(BatchTest, StandardOutputCarriesOnlyTheListing) {
  const Result file = Batch(dir, Names() + " -k 3 -r 2 -s 42 -o " + dir.file("out.txt"));
  const Result piped = Batch(dir, Names() + " --omit 3 --groups 2 --seed 42 --output -");
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(WithoutDateLine(piped.out), WithoutDateLine(ReadFile(dir.file("out.txt"))));
  const Result shown = Batch(dir, Names() + " --omit 3 --groups 2 --seed 42 --show");
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(WithoutDateLine(shown.out),
            "Randomized listing of 2 groups to 3 taxa to omit"
            "\n***  Repetition 1  *****************************\nt2\nt3\nt7"
            "\n***  Repetition 2  *****************************\nt3\nt6\nt9\n");
}

TEST_F(BatchTest, ErrorsAreOneLineAndAFailureStatus) {
  const auto fails = [&](const std::string& args, const std::string& message) {
    const Result r = Batch(dir, args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.err.substr(r.err.find("dropkit-batch: ")), "dropkit-batch: " + message + "\n")
        << args;
  };
  fails(dir.file("none.txt") + " --omit 1 --groups 1 --show",
        "Cannot read the name list '" + dir.file("none.txt") + "': No such file or directory");
  fails(
      dir.file("nodir/none.txt") + " --omit 1 --groups 1 --show",
      "Cannot read the name list '" + dir.file("nodir/none.txt") + "': No such file or directory");
  fails(Names() + " --omit 11 --groups 1 --show",
        "Cannot omit 11 names per group: the list loaded has only 10 names.");
  fails(Names() + " --omit 1 --groups 1 --output /dev/full",
        "Cannot write '/dev/full': No space left on device");
  WriteFile(dir.file("keep.txt"), "precious");
  fails(Names() + " --omit 1 --groups 1 --output " + dir.path(),
        "Cannot write the listing to '" + dir.path() + "': it is a folder; name a file");
  fails(Names() + " --omit 1 --groups 1 --output " + dir.path() + "/new/",
        "Cannot write the listing to '" + dir.path() + "/new/': it is a folder; name a file");
  fails(Names() + " --omit 1 --groups 1 --output " + dir.file("none/out.txt"),
        "Cannot write the listing to '" + dir.file("none/out.txt") + "': its folder '" +
            dir.file("none") + "' cannot be used: No such file or directory");
}

// Malformed counts and seeds are usage errors for every kind of input, found before a
// seed is drawn, and worded for the command line.
TEST_F(BatchTest, MalformedCountsAndSeedsAreUsageErrorsForEveryInput) {
  WriteFile(dir.file("a.fasta"), ">a\nAC\n>b\nAC\n>c\nAC\n>d\nAC\n");
  const std::string huge = "1" + std::string(309, '0');
  for (const std::string& input : {Names(), dir.file("a.fasta")}) {
    const auto usage = [&](const std::string& args, const std::string& message) {
      const Result r = Batch(dir, input + " " + args + " --output " + dir.file("out"));
      EXPECT_EQ(r.status, 2) << args;
      EXPECT_EQ(r.err, message + "\nRun with --help for more information.\n") << args;
      EXPECT_FALSE(std::filesystem::exists(dir.file("out"))) << args;
    };
    usage("--omit -1 --groups 1", "--omit: must be one whole number of 0 or more, not \"-1\"");
    usage("--omit 1.5 --groups 1", "--omit: must be one whole number of 0 or more, not \"1.5\"");
    usage("--omit abc --groups 1", "--omit: must be one whole number of 0 or more, not \"abc\"");
    usage("--omit 1 --groups 0x10",
          "--groups: must be one whole number of 0 or more, not \"0x10\"");
    usage("--omit 1 --groups 4294967296",
          "--groups: is \"4294967296\", more than the largest count allowed, 4294967295");
    usage("--omit 1 --groups " + huge,
          "--groups: is \"" + huge + "\", more than the largest count allowed, 4294967295");
    usage("--omit 1 --groups 1 --seed nan", "--seed: must be one finite number, not \"nan\"");
    usage("--omit 1 --groups 1 --seed " + huge,
          "--seed: must be one finite number, not \"" + huge + "\"");
    usage("--omit 1 --groups 1 --max-names 0",
          "--max-names: must be a whole number of 1 or more, not \"0\"");
  }
}

TEST_F(BatchTest, ControlCharactersInMessagesAreShownEscaped) {
  Result r = Bash(dir, "$B $'" + dir.path() + "/no\\033[31mne\\n.txt' --omit 1 --groups 1 --show");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "dropkit-batch: Cannot read the name list '" + dir.path() +
                       "/no\\x1b[31mne\\n.txt': No such file or directory\n");
  r = Bash(dir,
           "$B $'" + dir.path() + "/no\\033[31mne\\n.fasta' --omit 1 --groups 1 --format tsv -o -");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("no\\x1b[31mne\\n.fasta"), std::string::npos) << r.err;
  r = Bash(dir, "$B " + Names() + " --omit 1 --groups 1 --show $'--x\\033\\r' --format $'x\\a'");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.find_first_of("\x1b\r\a"), std::string::npos) << r.err;
  // The alignment, prune, design and support paths name their files escaped too.
  r = Bash(dir, "cd " + dir.path() +
                    " && printf '>x\\nAC\\n>y\\nA\\n' > $'b\\033.fasta'"
                    " && printf '>x\\nAC\\n>y\\nAC\\n' > $'a\\033.fasta'"
                    " && mkdir $'out\\033' && touch $'out\\033/f'"
                    " && printf '(x,y;\\n' > $'g\\033.tre' && printf '(x,(y,z));\\n' > r.tre"
                    " && printf 'group\\tposition\\tname\\tline\\n1\\t1\\tx\\t1\\n' > d.tsv");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* command :
       {"$B $'b\\033.fasta' --omit 1 --groups 1 --format tsv -o -",
        "$B $'a\\033.fasta' --omit 1 --groups 1 --prune-to $'out\\033'",
        "$B support --design $'d\\033.json' --trees . --output o",
        "$B support --reference r.tre --trees $'g\\033.tre' --design d.tsv --output o"}) {
    r = Bash(dir, "cd " + dir.path() + " && " + std::string(command));
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\\x1b"), std::string::npos) << command << ": " << r.err;
  }
  r = Bash(dir, "$B " + Names() + " --omit $'1\\a' --groups 1 --show");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
            "--omit: must be one whole number of 0 or more, not \"1\\x07\"");
}

TEST_F(BatchTest, EveryNameForStandardOutputIsStandardOutput) {
  for (const char* name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "/dev/./stdout"}) {
    const Result open = Batch(dir, Names() + " --omit 1 --groups 1 --seed 1 --output " + name);
    EXPECT_EQ(open.status, 0) << name << open.err;
    EXPECT_EQ(open.out.substr(0, 48), "Randomized listing of 1 groups to 1 taxa to omit") << name;
    const Result closed = Batch(dir, Names() + " --omit 1 --groups 1 --output " + name, ">&-");
    EXPECT_EQ(closed.status, 1) << name;
    EXPECT_EQ(closed.err.substr(closed.err.find("dropkit-batch: ")),
              "dropkit-batch: Cannot write to standard output: it is closed\n")
        << name;
  }
}

TEST_F(BatchTest, TheListingNeverReplacesItsOwnNameList) {
  const std::string before = ReadFile(Names());
  std::filesystem::create_symlink(Names(), dir.file("link.txt"));
  std::filesystem::create_hard_link(Names(), dir.file("hard.txt"));
  for (const std::string& output :
       {Names(), dir.file("link.txt"), dir.file("hard.txt"), dir.path() + "/./names.txt"}) {
    const Result r = Batch(dir, Names() + " --omit 1 --groups 1 --output " + output);
    EXPECT_EQ(r.status, 1) << output;
    EXPECT_NE(r.err.find("The listing would replace its own name list '" + Names() +
                         "': choose another output file"),
              std::string::npos)
        << r.err;
  }
  EXPECT_EQ(ReadFile(Names()), before);
}

TEST_F(BatchTest, PipesAreReadWithinTheBoundsAndEndlessStreamsAreRefused) {
  Result r = Bash(dir, "$B <(grep -E '^t[12]$' " + Names() + ") --omit 2 --groups 1 --output -");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("*\nt1\n\nt2\n"), std::string::npos) << r.out;
  r = Bash(dir, "yes | $B /dev/stdin --omit 1 --groups 1 --show --max-names 1000");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(r.err.find("dropkit-batch: ")),
            "dropkit-batch: Cannot read '/dev/stdin': it has more than 1000 lines, the most one "
            "list may hold\n");
  r = Bash(dir, "$B /dev/zero --omit 1 --groups 1 --show");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("line 1 is longer than 64 KiB"), std::string::npos) << r.err;
  r = Bash(dir,
           "head -c 5000 /dev/urandom | $B /dev/stdin --omit 1 --groups 1 --show "
           "--max-bytes 4096");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("larger than 4 KiB"), std::string::npos) << r.err;
}

// The reader goes away at once: the write fails, and that is reported, not a signal.
TEST_F(BatchTest, AReaderThatGoesAwayIsAnErrorNotASignal) {
  const Result r = Bash(dir, "$B " + Names() +
                                 " --omit 5 --groups 200000 --output - | true\n"
                                 "echo \"status ${PIPESTATUS[0]}\"");
  EXPECT_EQ(r.out, "status 1\n");
  EXPECT_NE(r.err.find("dropkit-batch: Cannot write '/dev/stdout': Broken pipe"), std::string::npos)
      << r.err;
}

// Runs `script` as the user nobody, where this process may switch users (root).
bool CanRunAsAnotherUser() {
  return ::geteuid() == 0 && test::HaveProgram("setpriv");
}

TEST_F(BatchTest, AFileTheUserMayNotWriteIsNotReplaced) {
  if (!CanRunAsAnotherUser()) GTEST_SKIP() << "needs root to act as an ordinary user";
  namespace fs = std::filesystem;
  fs::permissions(dir.path(), fs::perms::all);  // a folder the user may write
  fs::permissions(Names(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  WriteFile(dir.file("readonly.txt"), "mine, read-only");
  WriteFile(dir.file("roots.txt"), "root's");
  ASSERT_EQ(::chown(dir.file("readonly.txt").c_str(), 65534, 65534), 0);
  fs::permissions(dir.file("readonly.txt"), fs::perms::owner_read | fs::perms::others_read);
  fs::permissions(dir.file("roots.txt"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  for (const char* target : {"readonly.txt", "roots.txt"}) {
    const Result r = Bash(dir, "setpriv --reuid=65534 --regid=65534 --clear-groups $B " + Names() +
                                   " --omit 1 --groups 1 --output " + dir.file(target));
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_NE(r.err.find("Cannot replace '" + dir.file(target) +
                         "': Permission denied (you may not write to it; it was left as it was)"),
              std::string::npos)
        << r.err;
  }
  EXPECT_EQ(ReadFile(dir.file("readonly.txt")), "mine, read-only");
  EXPECT_EQ(ReadFile(dir.file("roots.txt")), "root's");
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("roots.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  // What the user may write is replaced, and stays theirs.
  WriteFile(dir.file("theirs.txt"), "old");
  ASSERT_EQ(::chown(dir.file("theirs.txt").c_str(), 65534, 65534), 0);
  const Result ok = Bash(dir, "setpriv --reuid=65534 --regid=65534 --clear-groups $B " + Names() +
                                  " --omit 1 --groups 1 --output " + dir.file("theirs.txt"));
  EXPECT_EQ(ok.status, 0) << ok.err;
  ASSERT_EQ(::stat(dir.file("theirs.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
}

TEST_F(BatchTest, OptionsAreExplainedAndChecked) {
  const Result help = Batch(dir, "--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option :
       {"INPUT",     "--omit",         "--groups", "--seed",     "--output",   "--show",
        "--keep",    "--keep-file",    "--each",   "--distinct", "--balanced", "--all-combinations",
        "--strict",  "--input-format", "--format", "--prune-to", "--jobs",     "--force",
        "--version", "support"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  const Result version = Batch(dir, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.substr(0, 14), "dropkit-batch ");
  // Every malformed command line is a usage error, before anything is read.
  for (const std::string& args :
       {Names() + " --omit 1 --groups 1", Names() + " --omit 1 --groups 1 --show --output x",
        std::string("--omit 1 --groups 1 --show"), Names() + " --groups 1 --show",
        Names() + " --each --omit 1 --show", Names() + " --omit 1 --groups 1 --show --jobs x",
        Names() + " --omit 1 --groups 1 --distinct --balanced --show",
        Names() + " --each --distinct --show", Names() + " --each --all-combinations --show",
        Names() + " --omit 1 --groups 1 --balanced --all-combinations --show",
        Names() + " --omit 1 --groups 1 --all-combinations --show",
        Names() + " --all-combinations --show", Names() + " --omit 1 --groups 1 --output x --force",
        Names() + " --omit 1 --groups 1 --show --format tsv",
        Names() + " --omit 1 --groups 1 --output x --format csv",
        Names() + " --omit 1 --groups 1 --output x --input-format genbank",
        Names() + " --omit 1 --groups 1 --output x --prune-to y",
        Names() + " --omit 1 --groups 1 --bogus",
        Names() + " --omit 1 --groups 1 --show --max-names x"}) {
    EXPECT_EQ(Batch(dir, args).status, 2) << args;
  }
}

TEST_F(BatchTest, FindingsAboutTheNamesComeFirstAndStrictStopsOnThem) {
  WriteFile(dir.file("odd.txt"), "a\n\nb\na\n c\nd");
  const Result r = Batch(dir, dir.file("odd.txt") + " --omit 1 --groups 1 --seed 1 --show");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "odd.txt: line 2: blank line\n"
            "odd.txt: lines 1 and 4: \"a\" is listed twice\n"
            "odd.txt: line 5: \" c\" has leading blanks\n"
            "odd.txt: line 6: the last line has no line break\n"
            "numcount = 1\n");
  const Result strict = Batch(dir, dir.file("odd.txt") + " --omit 1 --groups 1 --seed 1 --output " +
                                       dir.file("out.txt") + " --strict");
  EXPECT_EQ(strict.status, 1);
  EXPECT_NE(strict.err.find("dropkit-batch: '" + dir.file("odd.txt") +
                            "' has 4 findings about its names and the strict check allows none; "
                            "nothing was written"),
            std::string::npos)
      << strict.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt")));
  // Names beyond ASCII are checked as the UTF-8 they are, also in a list long enough to
  // be checked on two threads: a repeat far apart, and bytes that are not UTF-8.
  std::string wide;
  for (int i = 1; i <= 70000; ++i) {
    wide += i == 3 || i == 69000 ? "caf\xC3\xA9\n"
            : i == 5             ? "bad\xFF\n"
            : i % 1000 == 0      ? "\xC3\xA9t\xC3\xA9_" + std::to_string(i) + "\n"
                                 : "n" + std::to_string(i) + "\n";
  }
  WriteFile(dir.file("wide.txt"), wide);
  const Result w = Batch(dir, dir.file("wide.txt") + " --omit 1 --groups 1 --seed 1 --show");
  EXPECT_EQ(w.status, 0) << w.err;
  EXPECT_EQ(w.err,
            "wide.txt: line 5: \"bad\\xff\" is not valid UTF-8\n"
            "wide.txt: lines 3 and 69000: \"caf\xC3\xA9\" is listed twice\n"
            "numcount = 1\n");
}

TEST_F(BatchTest, ARunWithoutASeedShowsTheSeedItDrewAndThatSeedDrawsItAgain) {
  const Result drawn = Batch(dir, Names() + " --omit 3 --groups 2 --output " + dir.file("a.txt"));
  EXPECT_EQ(drawn.status, 0) << drawn.err;
  ASSERT_EQ(drawn.err.substr(0, 6), "seed: ");
  const std::string seed = drawn.err.substr(6, drawn.err.find('\n') - 6);
  EXPECT_EQ(seed.find_first_not_of("0123456789"), std::string::npos) << seed;
  const Result again = Batch(
      dir, Names() + " --omit 3 --groups 2 --seed " + seed + " --output " + dir.file("b.txt"));
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(WithoutDateLine(ReadFile(dir.file("a.txt"))),
            WithoutDateLine(ReadFile(dir.file("b.txt"))));
}

TEST_F(BatchTest, AlignmentsKeptNamesAndFoldersGoThroughTheDesignAndItsRefusals) {
  const std::string fasta = test::ExampleFile("example.fasta");
  // The plain listing path and the design path draw the same groups from the same seed.
  WriteFile(dir.file("names16.txt"),
            "Alpha\nBeta\nGamma\nDelta\nEpsilon\nZeta\nEta\nTheta\nIota\nKappa\nLambda\nMu\n"
            "Nu\nXi\nOmicron\nPi\n");
  const Result list = Batch(dir, dir.file("names16.txt") + " --omit 3 --groups 3 --seed 42 --show");
  const Result aligned = Batch(dir, fasta + " --omit 3 --groups 3 --seed 42 --show");
  EXPECT_EQ(aligned.status, 0) << aligned.err;
  EXPECT_EQ(WithoutDateLine(aligned.out), WithoutDateLine(list.out));
  EXPECT_EQ(list.err, "numcount = 3\n");  // a listing of a name list is not summed up
  EXPECT_EQ(aligned.err, "design: 3 groups, 3 distinct; each taxon left out 0 to 1 times\n");

  const Result pruned =
      Batch(dir, fasta + " --omit 3 --groups 2 --seed 42 --keep Alpha --prune-to " +
                     dir.file("run") + " --jobs iqtree2");
  EXPECT_EQ(pruned.status, 0) << pruned.err;
  for (const char* file :
       {"group001.fasta", "group002.fasta", "groups.tsv", "dropkit.json", "jobs.txt", "slurm.sh"}) {
    EXPECT_TRUE(std::filesystem::exists(dir.file("run/") + file)) << file;
  }
  const auto fails = [&](const std::string& args, const std::string& message) {
    const Result r = Batch(dir, args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  };
  fails(fasta + " --omit 3 --groups 2 --seed 1 --prune-to " + dir.file("run"), "is not empty");
  fails(fasta + " --omit 3 --groups 2 --seed 1 --keep Omega --output -", "Omega");
  fails(Names() + " --omit 1 --groups 1 --seed 1 --prune-to " + dir.file("list-run"), "alignment");
  fails(fasta + " --omit 1 --groups 1 --seed 1 --prune-to " + dir.file("bad") +
            " --jobs 'tree {group}'",
        "{alignment}");
  WriteFile(dir.file("ragged.fasta"), ">a\nACGT\n>b\nACG\n>c\nACGT\n");
  fails(dir.file("ragged.fasta") + " --omit 1 --groups 1 --seed 1 --prune-to " + dir.file("r"),
        "ragged.fasta");
  fails(fasta + " --omit 16 --groups 1 --seed 1 --prune-to " + dir.file("bad"),
        "group 1 leaves out all 16 taxa, and an alignment without taxa cannot be read");
  // An output never replaces an input of the same run.
  fails(dir.file("run/group001.fasta") + " --omit 1 --groups 1 --seed 1 --force --prune-to " +
            dir.file("run"),
        "it is the input");
  EXPECT_FALSE(std::filesystem::exists(dir.file("bad")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("r")));
}

// Whatever the seed: 50 groups of 2 from 12 names, without a repeat or each name left out
// 8 or 9 times; every one of the 66 groups once, in list order.
TEST_F(BatchTest, DistinctBalancedAndEveryCombinationFromTheCommandLine) {
  WriteFile(dir.file("twelve.txt"), "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl\n");
  const std::string twelve = dir.file("twelve.txt") + " --omit 2 ";
  const Result distinct = Batch(dir, twelve + "--groups 50 --distinct --output -");
  EXPECT_EQ(distinct.status, 0) << distinct.err;
  EXPECT_NE(distinct.err.find("\ndesign: 50 groups, 50 distinct; each taxon left out "),
            std::string::npos)
      << distinct.err;
  const Result balanced = Batch(dir, twelve + "--groups 50 --balanced --output -");
  EXPECT_EQ(balanced.status, 0) << balanced.err;
  EXPECT_TRUE(balanced.err.ends_with(" distinct; each taxon left out 8 to 9 times\n"))
      << balanced.err;
  const Result every =
      Batch(dir, twelve + "--all-combinations --keep c --format tsv --output " + dir.file("o"));
  EXPECT_EQ(every.status, 0) << every.err;
  EXPECT_EQ(every.err, "design: 55 groups, 55 distinct; each taxon not kept left out 10 times\n");
  const std::string tsv = ReadFile(dir.file("o"));
  EXPECT_EQ(tsv.rfind("group\tposition\tname\tline\n1\t1\ta\t1\n1\t2\tb\t2\n2\t1\ta\t1\n", 0), 0u);
  EXPECT_TRUE(tsv.ends_with("\n54\t2\tl\t12\n55\t1\tk\t11\n55\t2\tl\t12\n")) << tsv;
  // 4 groups of 4 of the 16 taxa: each taxon left out once.
  const std::string fasta = test::ExampleFile("example.fasta");
  const Result pruned =
      Batch(dir, fasta + " --omit 4 --groups 4 --balanced --seed 1 --prune-to " + dir.file("run"));
  EXPECT_EQ(pruned.err, "design: 4 groups, 4 distinct; each taxon left out once\n");
  const std::string json = ReadFile(dir.file("run/dropkit.json"));
  EXPECT_NE(json.find("\"draw\": \"balanced\",\n  \"distinct_groups\": 4,\n  \"omitted_least\": "
                      "1,\n  \"omitted_most\": 1,\n"),
            std::string::npos)
      << json;
  const Result all = Batch(dir, twelve + "--groups 66 --distinct --seed 1 --output -");
  EXPECT_EQ(all.status, 1);
  EXPECT_NE(all.err.find("Exactly 66 distinct groups of 2 can be drawn from the 12 names that "
                         "may be left out, as many as were asked: ask for every combination "
                         "(--all-combinations)"),
            std::string::npos)
      << all.err;
}

// A kill at any moment of --prune-to or support --output leaves the target as it was or
// complete: SIGINT, SIGTERM and SIGHUP leave nothing else behind; SIGKILL at worst a
// hidden work folder, which the next run removes.
TEST_F(BatchTest, AKillAtAnyMomentLeavesTheOutputFolderAsItWasOrComplete) {
  std::string fasta;
  for (int t = 0; t < 60; ++t)
    fasta += ">taxon" + std::to_string(t) + "\n" + std::string(3000, "ACGT"[t % 4]) + "\n";
  WriteFile(dir.file("in.fasta"), fasta);
  const std::string example = test::ExampleFile("support/");
  const std::string prune = "$B in.fasta --omit 5 --groups 400 --seed 1 --prune-to out";
  const std::string support = "$B support --reference " + example + "reference.tre --trees " +
                              example + "groups.tre --design " + example +
                              "dropkit.json --output out";
  int moment = 0;
  for (const char* sig : {"INT", "TERM", "HUP", "KILL"}) {
    for (const std::string& command : {prune, prune, support}) {
      ++moment;
      const bool existing = moment % 2 == 0;  // an empty folder is there to be filled
      if (existing) std::filesystem::create_directory(dir.file("out"));
      const std::string delay = std::to_string(moment % 7 * 0.03);
      const Result r =
          Bash(dir, "cd " + dir.path() + "; " + command + " 2>/dev/null & p=$!; sleep " + delay +
                        "; kill -" + sig + " $p; wait $p; echo $?");
      const bool whole = std::filesystem::exists(dir.file("out/dropkit.json")) ||
                         std::filesystem::exists(dir.file("out/support.tsv"));
      const std::string what = command.substr(0, 20) + " " + sig + " after " + delay + " s";
      if (std::filesystem::exists(dir.file("out")) && !whole) {
        EXPECT_TRUE(existing && EntryNames(dir.file("out")).empty()) << what;
      }
      if (whole && command == prune) {
        EXPECT_EQ(EntryNames(dir.file("out")).size(), 402u) << what;
      }
      std::set<std::string> left = EntryNames(dir.path());
      for (const char* ours : {"in.fasta", "names.txt", "script.sh", "stdout", "stderr", "out"}) {
        left.erase(ours);
      }
      const std::string first = left.empty() ? "" : *left.begin();
      EXPECT_LE(left.size(), std::string(sig) == "KILL" ? 1u : 0u) << what << ": " << first;
      // The next run finds the folder as the user left it and completes.
      const Result next = Bash(dir, "cd " + dir.path() + " && rm -rf out && " + command);
      EXPECT_EQ(next.status, 0) << what << next.err;
      left = EntryNames(dir.path());
      EXPECT_EQ(left.size(), 6u) << what;
      std::filesystem::remove_all(dir.file("out"));
    }
  }
}

}  // namespace
}  // namespace dk
