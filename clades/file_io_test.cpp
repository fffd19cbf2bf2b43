#include "clades/file_io.h"

#include <gtest/gtest.h>

#include "testing/test_support.h"

namespace dk::clades {
namespace {

using dk::test::ErrorOf;
using dk::test::TempDir;
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

}  // namespace
}  // namespace dk::clades
