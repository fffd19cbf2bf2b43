#include "os/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "os/env.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using dk::test::ErrorOf;
using dk::test::ReadFile;
using dk::test::TempDir;
using dk::test::WriteFile;

TEST(ReadBoundedFile, ReadsWholeFilesAndNamesTheFileOnFailure) {
  TempDir dir;
  WriteFile(dir.file("a"), "some bytes");
  EXPECT_EQ(ReadBoundedFile(dir.file("a"), 10, "the tree file"), "some bytes");
  EXPECT_EQ(ReadBoundedFile(dir.file("a"), 10, "the input", FileKinds::kRegularOnly), "some bytes");
  const auto error = [&](const std::string& path, std::uint64_t limit,
                         FileKinds kinds = FileKinds::kAny) {
    return ErrorOf([&] { ReadBoundedFile(path, limit, "the tree file", kinds); });
  };
  EXPECT_EQ(error(dir.file("a"), 9), "Cannot read the tree file '" + dir.file("a") +
                                         "': it is larger than 9 bytes, the most the tree "
                                         "file may hold");
  EXPECT_EQ(error(dir.file("none"), 9),
            "Cannot read the tree file '" + dir.file("none") + "': No such file or directory");
  EXPECT_EQ(error(dir.path(), 9), "Cannot read the tree file '" + dir.path() + "': it is a folder");
  EXPECT_EQ(error("/dev/null", 9, FileKinds::kRegularOnly),
            "Cannot read the tree file '/dev/null': it is not a regular file");
  EXPECT_EQ(ReadBoundedFile("/dev/null", 9, "the tree file"), "");
}

TEST(ReadBoundedFile, StopsAnEndlessDeviceAtTheLimit) {
  EXPECT_EQ(ErrorOf([] { ReadBoundedFile("/dev/zero", 1 << 20, "the design file"); }),
            "Cannot read the design file '/dev/zero': it is larger than 1 MiB, the most the "
            "design file may hold");
}

// Whatever system call fails, a new file appears whole or not at all, and a replaced one
// is either the new text with the old permissions or left as it was; no temporary stays.
TEST(WholeFileWriter, AnyFailingCallLeavesTheTargetAsItWas) {
  namespace fs = std::filesystem;
  TempDir dir;
  test::TestEnv env;
  const std::string target = dir.file("out.txt");
  const std::string small = "new\n";
  const std::string large((1 << 20) + 100000, 'x');  // a second thread, writeback hints
  struct Case {
    const std::string& bytes;
    bool existing;
    bool unnamed;  // O_TMPFILE; else a named temporary
  };
  for (const Case& c :
       {Case{small, false, true}, Case{small, true, true}, Case{small, false, false},
        Case{small, true, false}, Case{large, true, true}}) {
    env.open_errors.clear();
    if (!c.unnamed) env.open_errors[dir.path() + "/"] = EOPNOTSUPP;
    const auto reset = [&] {
      fs::remove(target);
      if (!c.existing) return;
      WriteFile(target, "old");
      fs::permissions(target, fs::perms(0604));
    };
    reset();
    const auto before = test::Snapshot(dir.path());
    WriteWholeFile(target, c.bytes);
    const auto after = test::Snapshot(dir.path());
    reset();
    const std::string run = std::to_string(c.bytes.size()) + (c.existing ? " over " : " new ") +
                            (c.unnamed ? "unnamed: " : "named: ");
    const int failures = test::SweepFaults(
        env, test::TestEnv::AllCalls(), [&] { WriteWholeFile(target, c.bytes); },
        [&](const std::string& fault, const std::string& error) {
          test::ExpectAllOrNothing(env, dir.path(), before, after, run + fault, error);
          if (error != "(no error)") {
            EXPECT_NE(error.find("'" + target + "'"), std::string::npos);
          }
          reset();
        });
    EXPECT_GE(failures, 5) << run;
  }
}

// Whole files written from their bytes, as the jackknife's outputs are.
class WholeFileWriterTest : public ::testing::Test {
 protected:
  test::TestEnv env;
  TempDir dir;
};

TEST_F(WholeFileWriterTest, WritesNewFilesAndReplacesOldOnesKeepingTheirMode) {
  WriteWholeFile(dir.file("new.txt"), std::string("a\0b\n", 4));
  EXPECT_EQ(ReadFile(dir.file("new.txt")), std::string("a\0b\n", 4));
  WriteFile(dir.file("old.txt"), "old");
  ::chmod(dir.file("old.txt").c_str(), 0640);
  WriteWholeFile(dir.file("old.txt"), "");
  EXPECT_EQ(ReadFile(dir.file("old.txt")), "");
  struct stat st {};
  ::stat(dir.file("old.txt").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  std::filesystem::current_path(dir.path());
  WriteWholeFile("relative.txt", "r");
  EXPECT_EQ(ReadFile(dir.file("relative.txt")), "r");
  EXPECT_EQ(test::CountEntries(dir.path()), 3u);
}

TEST_F(WholeFileWriterTest, AFailureLeavesTheTargetAndNoTemporary) {
  WriteFile(dir.file("out.txt"), "precious");
  env.write_limit = 10;
  EXPECT_EQ(ErrorOf([&] { WriteWholeFile(dir.file("out.txt"), std::string(100, 'x')); }),
            "Cannot write '" + dir.file("out.txt") + "': No space left on device");
  env.write_limit = -1;
  env.rename_error = EXDEV;
  EXPECT_EQ(ErrorOf([&] { WriteWholeFile(dir.file("out.txt"), "new"); }),
            "Cannot replace '" + dir.file("out.txt") + "': Invalid cross-device link");
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "precious");
  EXPECT_EQ(test::CountEntries(dir.path()), 1u);
}

TEST_F(WholeFileWriterTest, LinksAreWrittenThroughAndDevicesDirectly) {
  WriteFile(dir.file("real.txt"), "old");
  std::filesystem::create_symlink(dir.file("real.txt"), dir.file("link.txt"));
  WriteWholeFile(dir.file("link.txt"), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.txt")));
  EXPECT_EQ(ReadFile(dir.file("real.txt")), "new");
  WriteWholeFile("/dev/null", "gone");
  EXPECT_EQ(ErrorOf([] { WriteWholeFile("/dev/full", "x"); }),
            "Cannot write '/dev/full': No space left on device");
}

TEST_F(WholeFileWriterTest, RefusesFoldersAndMissingFolders) {
  EXPECT_EQ(ErrorOf([&] { WriteWholeFile(dir.path(), "x"); }),
            "Cannot write to '" + dir.path() + "': Is a directory");
  EXPECT_EQ(ErrorOf([&] { WriteWholeFile(dir.file("none/out.txt"), "x"); }),
            "Cannot create a file in the folder of '" + dir.file("none/out.txt") +
                "': No such file or directory");
  EXPECT_EQ(ErrorOf([] { WriteWholeFile("", "x"); }), "The output file name is empty");
}

}  // namespace
}  // namespace dk
