#include "clades/file_io.h"

#include <gtest/gtest.h>

#include "testing/test_support.h"

namespace dk::clades {
namespace {

using dk::test::ErrorOf;
using dk::test::ReadFile;
using dk::test::TempDir;
using dk::test::TestEnv;
using dk::test::WriteFile;

TEST(ReadBoundedFile, ReadsWholeFilesAndNamesTheFileOnFailure) {
  TempDir dir;
  WriteFile(dir.file("a"), "some bytes");
  EXPECT_EQ(ReadBoundedFile(dir.file("a"), 10, "the tree file"), "some bytes");
  EXPECT_EQ(
      ErrorOf([&] { ReadBoundedFile(dir.file("a"), 9, "the tree file"); }),
      "Cannot read the tree file '" + dir.file("a") + "': it is larger than the limit of 9 bytes");
  EXPECT_EQ(ErrorOf([&] { ReadBoundedFile(dir.file("none"), 9, "the tree file"); }),
            "Cannot read the tree file '" + dir.file("none") + "': No such file or directory");
  EXPECT_EQ(ErrorOf([&] { ReadBoundedFile(dir.path(), 9, "the tree file"); }),
            "Cannot read the tree file '" + dir.path() + "': it is a folder");
}

TEST(ReadBoundedFile, StopsAnEndlessDeviceAtTheLimit) {
  EXPECT_EQ(ErrorOf([] { ReadBoundedFile("/dev/zero", 1 << 20, "the design file"); }),
            "Cannot read the design file '/dev/zero': it is larger than the limit of 1048576 "
            "bytes");
}

TEST(WriteFilesAtomically, WritesEveryFileAndLeavesNoTemporary) {
  TempDir dir;
  WriteFile(dir.file("a.tsv"), "old");
  WriteFilesAtomically({{dir.file("a.tsv"), "new a"}, {dir.file("b.tre"), "new b"}});
  EXPECT_EQ(ReadFile(dir.file("a.tsv")), "new a");
  EXPECT_EQ(ReadFile(dir.file("b.tre")), "new b");
  EXPECT_EQ(dk::test::CountEntries(dir.path()), 2u);
}

TEST(WriteFilesAtomically, AFailedWriteChangesNoFile) {
  TempDir dir;
  WriteFile(dir.file("a.tsv"), "old a");
  TestEnv env;
  env.write_limit = 8;  // the second file fails
  EXPECT_EQ(ErrorOf([&] {
              WriteFilesAtomically({{dir.file("a.tsv"), "new a"}, {dir.file("b.tre"), "new b"}});
            }),
            "Cannot write '" + dir.file("b.tre") + "': No space left on device");
  EXPECT_EQ(ReadFile(dir.file("a.tsv")), "old a");
  EXPECT_EQ(dk::test::CountEntries(dir.path()), 1u);
}

TEST(WriteFilesAtomically, AFailedRenameLeavesNoTemporary) {
  TempDir dir;
  TestEnv env;
  env.rename_error = EXDEV;
  EXPECT_EQ(ErrorOf([&] {
              WriteFilesAtomically({{dir.file("a.tsv"), "a"}});
            }),
            "Cannot write '" + dir.file("a.tsv") + "': Invalid cross-device link");
  EXPECT_EQ(dk::test::CountEntries(dir.path()), 0u);
}

}  // namespace
}  // namespace dk::clades
