// Runs the dropkit-batch executable as a script or a pipeline would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "platform/test_support.h"

namespace dk {
namespace {

using testing::ReadFile;
using testing::WriteFile;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs dropkit-batch with `args` (shell words) and optional extra redirections.
Result Batch(const testing::TempDir& dir, const std::string& args,
             const std::string& redirect = "") {
  const std::string out = dir.file("stdout"), err = dir.file("stderr");
  const std::string command =
      std::string(DROPKIT_BATCH_PATH) + " " + args + " >" + out + " 2>" + err + " " + redirect;
  const int raw = std::system(command.c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

class BatchTest : public ::testing::Test {
 protected:
  BatchTest() {
    std::string names;
    for (int i = 1; i <= 10; ++i) names += "t" + std::to_string(i) + "\n";
    WriteFile(dir.file("names.txt"), names);
  }
  std::string Names() const { return dir.file("names.txt"); }
  testing::TempDir dir;
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
  const auto fails = [&](const std::string& args, const std::string& message,
                         const std::string& redirect = "") {
    const Result r = Batch(dir, args, redirect);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.err.substr(r.err.find("dropkit-batch: ")), "dropkit-batch: " + message + "\n")
        << args;
  };
  fails(dir.file("none.txt") + " --omit 1 --groups 1 --show",
        "Cannot open file '" + dir.file("none.txt") + "': No such file or directory");
  fails(Names() + " --omit 2.5 --groups 1 --show",
        "The NumBox box (names to omit per group) must hold one whole number of 0 or more; it "
        "holds \"2.5\".");
  fails(Names() + " --omit 11 --groups 1 --show",
        "Cannot omit 11 names per group: the list loaded has only 10 names.");
  fails(Names() + " --omit 1 --groups 1 --seed abc --show",
        "The InitBox box (seed) must hold one finite number; it holds \"abc\".");
  fails(Names() + " --omit 1 --groups 1 --output /dev/full",
        "Cannot write '/dev/full': No space left on device");
  fails(Names() + " --omit 1 --groups 1 --output -",
        "Cannot write to standard output: it is closed", ">&-");
  WriteFile(dir.file("keep.txt"), "precious");
  fails(Names() + " --omit 1 --groups 1 --output " + dir.path(),
        "Cannot write to '" + dir.path() + "': Is a directory");
}

TEST_F(BatchTest, OptionsAreExplainedAndChecked) {
  const Result help = Batch(dir, "--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"NAMES", "--omit", "--groups", "--seed", "--output", "--show"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  EXPECT_NE(Batch(dir, Names() + " --omit 1 --groups 1").status, 0);
  EXPECT_NE(Batch(dir, Names() + " --omit 1 --groups 1 --show --output x").status, 0);
  EXPECT_NE(Batch(dir, "--omit 1 --groups 1 --show").status, 0);
}

}  // namespace
}  // namespace dk
