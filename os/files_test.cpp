#include "os/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "os/env.h"
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

}  // namespace
}  // namespace dk
