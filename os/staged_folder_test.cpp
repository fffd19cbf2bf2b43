#include "os/staged_folder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "testing/test_support.h"

namespace dk {
namespace {

using test::EntryNames;
using test::ErrorOf;
using test::ReadFile;
using test::WriteFile;
namespace fs = std::filesystem;

class OutputFolderTest : public ::testing::Test {
 protected:
  test::TestEnv env;
  test::TempDir dir;
};

TEST_F(OutputFolderTest, ANewFolderAppearsWholeOnCommit) {
  StagedFolder folder(dir.file("run"), false);
  folder.Write("a.txt", "alpha\n");
  folder.Write("b.txt", "");
  EXPECT_FALSE(fs::exists(dir.file("run")));
  EXPECT_EQ(ReadFile(folder.staging() + "/a.txt"), "alpha\n");
  EXPECT_EQ(fs::path(folder.staging()).parent_path(), fs::path(dir.path()));
  folder.Commit();
  EXPECT_EQ(EntryNames(dir.path()), std::set<std::string>{"run"});
  EXPECT_EQ(EntryNames(dir.file("run")), (std::set<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(ReadFile(dir.file("run/a.txt")), "alpha\n");
}

TEST_F(OutputFolderTest, NothingIsLeftWithoutCommit) {
  {
    StagedFolder folder(dir.file("run/"), false);
    folder.Write("a.txt", "alpha\n");
  }
  EXPECT_EQ(test::CountEntries(dir.path()), 0u);
}

TEST_F(OutputFolderTest, AFailedWriteLeavesNothing) {
  {
    StagedFolder folder(dir.file("run"), false);
    folder.Write("a.txt", "alpha\n");
    env.write_limit = 3;
    EXPECT_EQ(ErrorOf([&] { folder.Write("b.txt", std::string(100000, 'x')); }),
              "Cannot write '" + dir.file("run/b.txt") + "': No space left on device");
  }
  EXPECT_EQ(test::CountEntries(dir.path()), 0u);
}

TEST_F(OutputFolderTest, AFailedCommitLeavesNothing) {
  {
    StagedFolder folder(dir.file("run"), false);
    folder.Write("a.txt", "alpha\n");
    env.rename_error = EXDEV;
    EXPECT_EQ(ErrorOf([&] { folder.Commit(); }),
              "Cannot create the folder '" + dir.file("run") + "': Invalid cross-device link");
  }
  EXPECT_EQ(test::CountEntries(dir.path()), 0u);
}

TEST_F(OutputFolderTest, AnEmptyFolderIsReplacedWholeAndKeepsItsPermissions) {
  fs::create_directory(dir.file("run"));
  fs::permissions(dir.file("run"),
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  StagedFolder folder(dir.file("run"), false);
  folder.Write("a.txt", "alpha\n");
  // Staged beside it: the empty folder stays empty until one rename fills it.
  EXPECT_EQ(fs::path(folder.staging()).parent_path(), fs::path(dir.path()));
  EXPECT_EQ(test::CountEntries(dir.file("run")), 0u);
  folder.Commit();
  EXPECT_EQ(EntryNames(dir.path()), std::set<std::string>{"run"});
  EXPECT_EQ(ReadFile(dir.file("run/a.txt")), "alpha\n");
  EXPECT_EQ(fs::status(dir.file("run")).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

// What a killed run left (a staging folder of a process that no longer runs) goes with
// the next run, and does not make an empty target count as in use.
TEST_F(OutputFolderTest, LeftoversOfKilledRunsAreRemovedByTheNext) {
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  const std::string pid = std::to_string(dead);
  fs::create_directories(dir.file(".run.dropkit-" + pid + "-1"));
  WriteFile(dir.file(".run.dropkit-" + pid + "-1/group001.fasta"), ">a\n");
  fs::create_directories(dir.file("run/.dropkit-" + pid + "-3"));
  fs::create_directories(dir.file(".other.dropkit-" + pid + "-1"));  // not this target's
  StagedFolder folder(dir.file("run"), false);
  folder.Write("a.txt", "alpha\n");
  folder.Commit();
  EXPECT_EQ(EntryNames(dir.path()), (std::set<std::string>{".other.dropkit-" + pid + "-1", "run"}));
  EXPECT_EQ(EntryNames(dir.file("run")), std::set<std::string>{"a.txt"});
}

TEST_F(OutputFolderTest, AFolderInUseNeedsForceAndKeepsOtherFilesAndPermissions) {
  fs::create_directory(dir.file("run"));
  WriteFile(dir.file("run/a.txt"), "old\n");
  WriteFile(dir.file("run/notes.txt"), "mine\n");
  EXPECT_EQ(ErrorOf([&] { StagedFolder folder(dir.file("run"), false); }),
            "The folder '" + dir.file("run") +
                "' exists and is not empty; force writing into it to replace the files of the "
                "same names (--force)");
  EXPECT_EQ(EntryNames(dir.path()), std::set<std::string>{"run"});
  fs::permissions(dir.file("run/a.txt"), fs::perms(0640));
  StagedFolder folder(dir.file("run"), true);
  folder.Write("a.txt", "new\n");
  EXPECT_EQ(ReadFile(dir.file("run/a.txt")), "old\n");
  folder.Commit();
  EXPECT_EQ(ReadFile(dir.file("run/a.txt")), "new\n");
  EXPECT_EQ(fs::status(dir.file("run/a.txt")).permissions(), fs::perms(0640));  // as it was
  EXPECT_EQ(ReadFile(dir.file("run/notes.txt")), "mine\n");
  EXPECT_EQ(EntryNames(dir.file("run")), (std::set<std::string>{"a.txt", "notes.txt"}));
  EXPECT_EQ(EntryNames(dir.path()), std::set<std::string>{"run"});
}

TEST_F(OutputFolderTest, AnOutputNeverReplacesAnInputOfTheRun) {
  fs::create_directory(dir.file("run"));
  WriteFile(dir.file("run/group001.fasta"), ">a\nAC\n");
  fs::create_symlink(dir.file("run/group001.fasta"), dir.file("input.fasta"));
  const auto modified = fs::last_write_time(dir.file("run"));
  {
    StagedFolder folder(dir.file("run"), true);
    folder.ProtectInput(dir.file("input.fasta"), "the input");
    // Checked before the first write, the run is refused before anything changes.
    EXPECT_NE(ErrorOf([&] { folder.CheckOutputs({"group002.fasta", "group001.fasta"}); }), "");
    EXPECT_EQ(fs::last_write_time(dir.file("run")), modified);
    folder.Write("group002.fasta", ">b\nAC\n");
    EXPECT_EQ(ErrorOf([&] { folder.Write("group001.fasta", ">c\nAC\n"); }),
              "Cannot write '" + dir.file("run/group001.fasta") + "': it is the input '" +
                  dir.file("input.fasta") +
                  "', which the output would replace; choose another "
                  "folder");
  }
  EXPECT_EQ(EntryNames(dir.file("run")), std::set<std::string>{"group001.fasta"});
  EXPECT_EQ(ReadFile(dir.file("run/group001.fasta")), ">a\nAC\n");
}

TEST_F(OutputFolderTest, RefusesWhatIsNotAFolderOrHasNoParent) {
  WriteFile(dir.file("file"), "x");
  EXPECT_EQ(ErrorOf([&] { StagedFolder folder(dir.file("file"), true); }),
            "Cannot write into '" + dir.file("file") + "': it exists and is not a folder");
  EXPECT_EQ(
      ErrorOf([&] { StagedFolder folder(dir.file("none/run"), false); }),
      "Cannot create a folder beside '" + dir.file("none/run") + "': No such file or directory");
  EXPECT_EQ(ErrorOf([&] { StagedFolder folder("", false); }), "The output folder name is empty");
}

// SIGINT, SIGTERM and SIGHUP take the staging folder with them; during Commit they wait
// until every file is in place.
TEST_F(OutputFolderTest, ASignalLeavesNothingOrEverything) {
  fs::create_directory(dir.file("used"));
  WriteFile(dir.file("used/notes.txt"), "mine\n");
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_EXIT(
        {
          StagedFolder folder(dir.file("run"), false);
          folder.Write("a.txt", std::string(100000, 'a'));
          std::raise(sig);
        },
        ::testing::KilledBySignal(sig), "");
    EXPECT_EQ(EntryNames(dir.path()), std::set<std::string>{"used"}) << sig;
    // A signal that arrives while the files move in is held back until they all have.
    struct SignalDuringMoves : test::TestEnv {
      int sig = 0;
      int Rename(const std::string& from, const std::string& to) override {
        if (to.ends_with("/a.txt")) std::raise(sig);
        return TestEnv::Rename(from, to);
      }
    };
    EXPECT_EXIT(
        {
          SignalDuringMoves moves;
          moves.sig = sig;
          StagedFolder folder(dir.file("used"), true);
          folder.Write("a.txt", "alpha\n");
          folder.Write("b.txt", "beta\n");
          folder.Commit();
        },
        ::testing::KilledBySignal(sig), "");
    EXPECT_EQ(EntryNames(dir.file("used")), (std::set<std::string>{"a.txt", "b.txt", "notes.txt"}));
    fs::remove(dir.file("used/a.txt"));
    fs::remove(dir.file("used/b.txt"));
  }
}

// Whatever system call fails, the target is either the committed folder or as it was
// (its files and permissions), and no staging folder stays: for a new folder, an empty
// one replaced whole, and one in use whose files are replaced one by one.
TEST_F(OutputFolderTest, AnyFailingCallLeavesTheTargetAsItWas) {
  enum Target { kNew, kEmpty, kInUse };
  for (const Target kind : {kNew, kEmpty, kInUse}) {
    const auto reset = [&] {
      fs::remove_all(dir.file("run"));
      if (kind == kNew) return;
      fs::create_directory(dir.file("run"));
      fs::permissions(dir.file("run"), fs::perms(0750));
      if (kind == kEmpty) return;
      WriteFile(dir.file("run/a.txt"), "old\n");
      fs::permissions(dir.file("run/a.txt"), fs::perms(0604));
      WriteFile(dir.file("run/notes.txt"), "mine\n");
    };
    const auto run = [&] {
      StagedFolder folder(dir.file("run"), kind == kInUse);
      folder.Write("a.txt", "alpha\n");
      folder.Write("b.txt", std::string(100000, 'b'));
      folder.Commit();
    };
    reset();
    const auto before = test::Snapshot(dir.path());
    run();
    const auto after = test::Snapshot(dir.path());
    reset();
    const int failures =
        test::SweepFaults(env, test::TestEnv::AllCalls(), run,
                          [&](const std::string& fault, const std::string& error) {
                            test::ExpectAllOrNothing(env, dir.path(), before, after,
                                                     std::to_string(kind) + " " + fault, error);
                            if (error != "(no error)") {
                              EXPECT_NE(error.find("'" + dir.file("run")), std::string::npos);
                            }
                            reset();
                          });
    EXPECT_GE(failures, 10) << kind;
  }
}

}  // namespace
}  // namespace dk
