#include "jackknife/output_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::ReadFile;
using test::WriteFile;
namespace fs = std::filesystem;

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

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
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"run"});
  EXPECT_EQ(Entries(dir.file("run")), (std::set<std::string>{"a.txt", "b.txt"}));
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
              "Cannot write '" + folder.staging() + "/b.txt': No space left on device");
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

TEST_F(OutputFolderTest, FilesMoveIntoAnEmptyFolder) {
  fs::create_directory(dir.file("run"));
  StagedFolder folder(dir.file("run"), false);
  folder.Write("a.txt", "alpha\n");
  // Staged inside the folder, out of sight of anything looking for its files.
  EXPECT_EQ(fs::path(folder.staging()).parent_path(), fs::path(dir.file("run")));
  EXPECT_EQ(Entries(dir.file("run")), std::set<std::string>{fs::path(folder.staging()).filename()});
  folder.Commit();
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"run"});
  EXPECT_EQ(ReadFile(dir.file("run/a.txt")), "alpha\n");
}

TEST_F(OutputFolderTest, AFolderInUseNeedsForceAndKeepsOtherFiles) {
  fs::create_directory(dir.file("run"));
  WriteFile(dir.file("run/a.txt"), "old\n");
  WriteFile(dir.file("run/notes.txt"), "mine\n");
  EXPECT_EQ(ErrorOf([&] { StagedFolder folder(dir.file("run"), false); }),
            "The folder '" + dir.file("run") +
                "' exists and is not empty; force writing into it to replace the files of the "
                "same names (--force)");
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"run"});
  StagedFolder folder(dir.file("run"), true);
  folder.Write("a.txt", "new\n");
  EXPECT_EQ(ReadFile(dir.file("run/a.txt")), "old\n");
  folder.Commit();
  EXPECT_EQ(ReadFile(dir.file("run/a.txt")), "new\n");
  EXPECT_EQ(ReadFile(dir.file("run/notes.txt")), "mine\n");
  EXPECT_EQ(Entries(dir.file("run")), (std::set<std::string>{"a.txt", "notes.txt"}));
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"run"});
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

}  // namespace
}  // namespace dk
