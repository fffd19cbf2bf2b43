#include "jackknife/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using test::ReadFile;
using test::WriteFile;
namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
 protected:
  test::TestEnv env;
  test::TempDir dir;
};

TEST_F(AtomicFileTest, WritesNewFilesAndReplacesOldOnesKeepingTheirMode) {
  WriteFileAtomically(dir.file("new.txt"), std::string("a\0b\n", 4));
  EXPECT_EQ(ReadFile(dir.file("new.txt")), std::string("a\0b\n", 4));
  WriteFile(dir.file("old.txt"), "old");
  ::chmod(dir.file("old.txt").c_str(), 0640);
  WriteFileAtomically(dir.file("old.txt"), "");
  EXPECT_EQ(ReadFile(dir.file("old.txt")), "");
  struct stat st {};
  ::stat(dir.file("old.txt").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  fs::current_path(dir.path());
  WriteFileAtomically("relative.txt", "r");
  EXPECT_EQ(ReadFile(dir.file("relative.txt")), "r");
  EXPECT_EQ(test::CountEntries(dir.path()), 3u);
}

TEST_F(AtomicFileTest, AFailureLeavesTheTargetAndNoTemporary) {
  WriteFile(dir.file("out.txt"), "precious");
  env.write_limit = 10;
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(dir.file("out.txt"), std::string(100, 'x')); }),
            "Cannot write '" + dir.file("out.txt") + "': No space left on device");
  env.write_limit = -1;
  env.rename_error = EXDEV;
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(dir.file("out.txt"), "new"); }),
            "Cannot replace '" + dir.file("out.txt") + "': Invalid cross-device link");
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "precious");
  EXPECT_EQ(test::CountEntries(dir.path()), 1u);
}

TEST_F(AtomicFileTest, LinksAreWrittenThroughAndDevicesDirectly) {
  WriteFile(dir.file("real.txt"), "old");
  fs::create_symlink(dir.file("real.txt"), dir.file("link.txt"));
  WriteFileAtomically(dir.file("link.txt"), "new");
  EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
  EXPECT_EQ(ReadFile(dir.file("real.txt")), "new");
  WriteFileAtomically("/dev/null", "gone");
  EXPECT_EQ(ErrorOf([] { WriteFileAtomically("/dev/full", "x"); }),
            "Cannot write '/dev/full': No space left on device");
}

TEST_F(AtomicFileTest, RefusesFoldersAndMissingFolders) {
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(dir.path(), "x"); }),
            "Cannot write to '" + dir.path() + "': Is a directory");
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(dir.file("none/out.txt"), "x"); }),
            "Cannot create a file in the folder of '" + dir.file("none/out.txt") +
                "': No such file or directory");
  EXPECT_EQ(ErrorOf([] { WriteFileAtomically("", "x"); }), "The output file name is empty");
}

}  // namespace
}  // namespace dk
