#include "os/files.h"

#include <gtest/gtest.h>

#include "testing/test_support.h"

namespace dk {
namespace {

using dk::test::ErrorOf;
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

}  // namespace
}  // namespace dk
