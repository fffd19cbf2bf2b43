#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "platform/errors.h"
#include "platform/test_support.h"

namespace dk {
namespace {

using testing::ErrorOf;

using testing::ReadFile;
using testing::TempDir;
using testing::TestEnv;
using testing::WriteFile;

// Every line of a file as UTF-8, read through mlfFgets until -1.
std::vector<std::string> Lines(const std::string& path) {
  const Value fid = mlfFopen(Value::Text(path), Value::Text("rt"));
  std::vector<std::string> lines;
  for (;;) {
    const Value line = mlfFgets(fid);
    if (!line.is_char()) {
      EXPECT_EQ(line.num(0), -1);
      break;
    }
    lines.push_back(line.utf8());
  }
  mlfFclose(fid);
  return lines;
}

std::vector<std::u16string> Units(const std::string& path) {
  const Value fid = mlfFopen(Value::Text(path), Value::Text("rt"));
  std::vector<std::u16string> lines;
  for (Value line = mlfFgets(fid); line.is_char(); line = mlfFgets(fid))
    lines.push_back(line.units());
  mlfFclose(fid);
  return lines;
}

using Strings = std::vector<std::string>;

TEST(FilesRead, LineEndsOfEveryKindReadAsLineFeed) {
  TempDir dir;
  WriteFile(dir.file("a"), "one\r\ntwo\rthree\nfour\r\n\r\nlast");
  EXPECT_EQ(Lines(dir.file("a")), (Strings{"one\n", "two\n", "three\n", "four\n", "\n", "last"}));
  WriteFile(dir.file("b"), "");
  EXPECT_EQ(Lines(dir.file("b")), Strings{});
  WriteFile(dir.file("c"), "\n\n");
  EXPECT_EQ(Lines(dir.file("c")), (Strings{"\n", "\n"}));
  WriteFile(dir.file("d"), "-1\n");
  EXPECT_EQ(Lines(dir.file("d")), Strings{"-1\n"});
  WriteFile(dir.file("e"), "x\r");
  EXPECT_EQ(Lines(dir.file("e")), Strings{"x\n"});
}

TEST(FilesRead, CrLfSplitAcrossReadChunksIsOneLineBreak) {
  TempDir dir;
  // 65535 bytes, then "\r" as the last byte of the first 64 KiB chunk, "\n" first of the next.
  std::string first(65535, 'a');
  WriteFile(dir.file("a"), first + "\r\nnext\r");
  EXPECT_EQ(Lines(dir.file("a")), (Strings{first + "\n", "next\n"}));
}

TEST(FilesRead, ByteOrderMarksSelectTheEncoding) {
  TempDir dir;
  WriteFile(dir.file("bom8"),
            "\xEF\xBB\xBF"
            "Ab\xC3\xA9\n");
  EXPECT_EQ(Units(dir.file("bom8")), std::vector<std::u16string>{u"Ab\u00e9\n"});
  // "Zz\r\nq" then U+1F600 in UTF-16 little- and big-endian.
  WriteFile(dir.file("le"), std::string("\xFF\xFEZ\0z\0\r\0\n\0q\0=\xD8\x00\xDE", 16));
  EXPECT_EQ(Units(dir.file("le")), (std::vector<std::u16string>{u"Zz\n", u"q\U0001F600"}));
  WriteFile(dir.file("be"), std::string("\xFE\xFF\0Z\0z\0\r\0q", 10));
  EXPECT_EQ(Units(dir.file("be")), (std::vector<std::u16string>{u"Zz\n", u"q"}));
  // A BOM-like start that is not one stays text.
  WriteFile(dir.file("plain"), "\xEF\xBBx\n");
  EXPECT_EQ(Lines(dir.file("plain")), Strings{"\xEF\xBBx\n"});
}

TEST(FilesRoundTrip, EveryByteSurvivesAReadAndAWrite) {
  TempDir dir;
  std::string bytes;
  for (int b = 1; b < 256; ++b) {
    if (b != '\n' && b != '\r') bytes.push_back(static_cast<char>(b));
  }
  bytes += std::string("\0mid\xED\xA0\x80\xF4\x90\x80\x80\xC0\xAF", 14) + "\n%s \\n 100%\n";
  WriteFile(dir.file("in"), bytes);
  const Value in = mlfFopen(Value::Text(dir.file("in")), Value::Text("rt"));
  const Value out = mlfFopen(Value::Text(dir.file("out")), Value::Text("wt"));
  for (Value line = mlfFgets(in); line.is_char(); line = mlfFgets(in)) {
    mlfNFprintf(0, out, Value::Text("%s"), {line});
  }
  mlfFclose(in);
  mlfFclose(out);
  EXPECT_EQ(ReadFile(dir.file("out")), bytes);
}

TEST(FilesRead, HugeSingleLine) {
  TempDir dir;
  const std::string line(10 * 1024 * 1024, 'x');
  WriteFile(dir.file("big"), line);
  const Strings lines = Lines(dir.file("big"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), line.size());
}

TEST(FilesRead, FailuresNameTheFileAndTheReason) {
  TempDir dir;
  EXPECT_EQ(ErrorOf([&] { mlfFopen(Value::Text(dir.file("gone")), Value::Text("rt")); }),
            "Cannot open file '" + dir.file("gone") + "': No such file or directory");
  EXPECT_EQ(ErrorOf([&] { mlfFopen(Value::Text(dir.path()), Value::Text("rt")); }),
            "Cannot open file '" + dir.path() + "': Is a directory");
  EXPECT_EQ(OpenFileCount(), 0u);

  TestEnv env;
  WriteFile(dir.file("locked"), "a\n");
  env.open_errors[dir.file("locked")] = EACCES;
  EXPECT_EQ(ErrorOf([&] { mlfFopen(Value::Text(dir.file("locked")), Value::Text("rt")); }),
            "Cannot open file '" + dir.file("locked") + "': Permission denied");

  WriteFile(dir.file("bad"), std::string(200000, 'n'));
  env.read_limit = 70000;
  const Value fid = mlfFopen(Value::Text(dir.file("bad")), Value::Text("rt"));
  EXPECT_EQ(ErrorOf([&] { mlfFgets(fid); }),
            "Cannot read file '" + dir.file("bad") + "': Input/output error");
  DiscardFile(fid);
  EXPECT_EQ(OpenFileCount(), 0u);
}

TEST(FilesRead, RelativeNamesResolveInTheCurrentFolder) {
  TempDir dir;
  WriteFile(dir.file("names.txt"), "p\n");
  mlfNCd(0, Value::Text(dir.path()));
  EXPECT_EQ(Lines("names.txt"), Strings{"p\n"});
  EXPECT_EQ(mlfNCd(1, Value::Text(".")).utf8(), std::filesystem::current_path().string());
  EXPECT_TRUE(mlfNCd(0, Value::Text(".")).absent());
  EXPECT_EQ(
      ErrorOf([&] { mlfNCd(0, Value::Text(dir.file("none"))); }),
      "Cannot change the current folder to '" + dir.file("none") + "': No such file or directory");
}

TEST(FilesRead, IdentifiersStartAtThreeAndAreReused) {
  TempDir dir;
  WriteFile(dir.file("a"), "a");
  const Value a = mlfFopen(Value::Text(dir.file("a")), Value::Text("rt"));
  const Value b = mlfFopen(Value::Text(dir.file("a")), Value::Text("rt"));
  EXPECT_EQ(a.num(0), 3);
  EXPECT_EQ(b.num(0), 4);
  mlfFclose(a);
  const Value c = mlfFopen(Value::Text(dir.file("a")), Value::Text("rt"));
  EXPECT_EQ(c.num(0), 3);
  mlfFclose(b);
  mlfFclose(c);
  EXPECT_NE(ErrorOf([&] { mlfFgets(c); }), "(no error)");
  EXPECT_NE(ErrorOf([&] { mlfFopen(Value::Text(dir.file("a")), Value::Text("rb")); }),
            "(no error)");
}

class FilesWrite : public ::testing::Test {
 protected:
  Value Open(const std::string& name) { return mlfFopen(Value::Text(name), Value::Text("wt")); }
  void Put(const Value& fid, const std::string& text) {
    mlfNFprintf(0, fid, Value::Text("%s"), {Value::Text(text)});
  }
  TempDir dir;
};

TEST_F(FilesWrite, TargetAppearsOnlyWhenClosedComplete) {
  WriteFile(dir.file("out.txt"), "old");
  const Value fid = Open(dir.file("out.txt"));
  Put(fid, "new text");
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "old");
  EXPECT_EQ(testing::CountEntries(dir.path()), 2u);  // the target and the temporary
  mlfFclose(fid);
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "new text");
  EXPECT_EQ(testing::CountEntries(dir.path()), 1u);
}

TEST_F(FilesWrite, DiscardLeavesTheTargetAndNoTemporary) {
  WriteFile(dir.file("out.txt"), "old");
  {
    const Value fid = Open(dir.file("out.txt"));
    FileGuard guard(fid);
    Put(fid, "half");
  }
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "old");
  EXPECT_EQ(testing::CountEntries(dir.path()), 1u);
  EXPECT_EQ(OpenFileCount(), 0u);
}

TEST_F(FilesWrite, WriteAndRenameFailuresAreErrorsThatChangeNothing) {
  TestEnv env;
  WriteFile(dir.file("out.txt"), "old");
  env.write_limit = 10;
  {
    const Value fid = Open(dir.file("out.txt"));
    FileGuard guard(fid);
    // More than one buffer: the write, and its failure, happen now.
    EXPECT_EQ(ErrorOf([&] { Put(fid, std::string(100000, 'z')); }),
              "Cannot write '" + dir.file("out.txt") + "': No space left on device");
  }
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "old");
  EXPECT_EQ(testing::CountEntries(dir.path()), 1u);
  EXPECT_EQ(OpenFileCount(), 0u);

  env.write_limit = -1;
  env.rename_error = EXDEV;
  const Value fid2 = Open(dir.file("out.txt"));
  Put(fid2, "x");
  EXPECT_NE(ErrorOf([&] { mlfFclose(fid2); }), "(no error)");
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "old");
  EXPECT_EQ(testing::CountEntries(dir.path()), 1u);

  env.open_errors.clear();
  env.rename_error = 0;
  // A folder without write permission: creating the temporary fails.
  struct FailCreate : TestEnv {
    int Open(const std::string& path, int flags, unsigned mode, int* fd) override {
      if (flags & O_CREAT) return -EACCES;
      return TestEnv::Open(path, flags, mode, fd);
    }
  } locked;
  EXPECT_EQ(
      ErrorOf([&] { Open(dir.file("new.txt")); }),
      "Cannot create a file in the folder of '" + dir.file("new.txt") + "': Permission denied");
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.txt")));
}

TEST_F(FilesWrite, SymbolicLinksAreWrittenThroughAndDevicesDirectly) {
  WriteFile(dir.file("real.txt"), "old");
  std::filesystem::create_symlink(dir.file("real.txt"), dir.file("link.txt"));
  Value fid = Open(dir.file("link.txt"));
  Put(fid, "through");
  mlfFclose(fid);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.txt")));
  EXPECT_EQ(ReadFile(dir.file("real.txt")), "through");

  fid = Open("/dev/null");
  Put(fid, "nothing");
  mlfFclose(fid);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));

  fid = Open("/dev/full");
  Put(fid, "x");
  EXPECT_EQ(ErrorOf([&] { mlfFclose(fid); }), "Cannot write '/dev/full': No space left on device");

  EXPECT_EQ(ErrorOf([&] { Open(dir.path()); }),
            "Cannot write to '" + dir.path() + "': Is a directory");
  std::filesystem::create_symlink(dir.file("missing/x"), dir.file("dangling"));
  EXPECT_NE(ErrorOf([&] { Open(dir.file("dangling")); }), "(no error)");
  EXPECT_EQ(OpenFileCount(), 0u);
}

TEST_F(FilesWrite, KeepsThePermissionsOfAReplacedFile) {
  WriteFile(dir.file("out.txt"), "old");
  std::filesystem::permissions(dir.file("out.txt"), std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::owner_write);
  const Value fid = Open(dir.file("out.txt"));
  mlfFclose(fid);
  EXPECT_EQ(std::filesystem::status(dir.file("out.txt")).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace
}  // namespace dk
