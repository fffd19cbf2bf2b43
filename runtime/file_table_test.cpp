#include "runtime/file_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::EntryNames;
using test::ErrorOf;

using test::ReadFile;
using test::TempDir;
using test::TestEnv;
using test::WriteFile;

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
using Names = std::set<std::string>;

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
  bytes += std::string("\0mid\xED\xA0\x80\xF4\x90\x80\x80\xC0\xAF", 13) + "\n%s \\n 100%\n";
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

// Sets the reading bounds for the life of a scope.
class ScopedReadLimits {
 public:
  explicit ScopedReadLimits(const ReadLimits& limits) : previous_(SetReadLimits(limits)) {}
  ~ScopedReadLimits() { SetReadLimits(previous_); }

 private:
  ReadLimits previous_;
};

TEST(FilesRead, BoundsEndAReadWithAnErrorThatNamesTheLine) {
  TempDir dir;
  // A name of the longest length reads; one byte more is refused, wherever the chunks end.
  const std::string longest(64 * 1024, 'x');
  WriteFile(dir.file("longest"), "a\n" + longest + "\nb");
  EXPECT_EQ(Lines(dir.file("longest")), (Strings{"a\n", longest + "\n", "b"}));
  WriteFile(dir.file("long"), "a\nb\n" + longest + "x\n");
  EXPECT_EQ(ErrorOf([&] { Lines(dir.file("long")); }),
            "Cannot read '" + dir.file("long") +
                "': line 3 is longer than 64 KiB, far longer than any name (is it a list of "
                "names, one per line?)");
  WriteFile(dir.file("long16"), std::string("\xFF\xFE", 2) + std::string(2 * 70000, 'y'));
  EXPECT_NE(ErrorOf([&] { Lines(dir.file("long16")); }).find("line 1 is longer than 64 KiB"),
            std::string::npos);
  // An endless line of zero bytes ends at the bound, not when memory runs out.
  EXPECT_NE(ErrorOf([&] { Lines("/dev/zero"); }).find("line 1 is longer than 64 KiB"),
            std::string::npos);
  DiscardAllFiles();

  ScopedReadLimits limits({8, 3, 40});
  WriteFile(dir.file("three"), "12345678\nb\nc\n");
  EXPECT_EQ(Lines(dir.file("three")).size(), 3u);
  WriteFile(dir.file("four"), "a\nb\nc\nd\n");
  EXPECT_EQ(ErrorOf([&] { Lines(dir.file("four")); }),
            "Cannot read '" + dir.file("four") +
                "': it has more than 3 lines, the most one "
                "list may hold");
  WriteFile(dir.file("big"), std::string(41, '\n'));
  EXPECT_EQ(ErrorOf([&] { Lines(dir.file("big")); }),
            "Cannot read '" + dir.file("big") +
                "': it is larger than 40 bytes, the most one "
                "list may hold");
  DiscardAllFiles();
}

TEST(FilesRead, APipeReadsLikeAFileWithinTheBounds) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // An endless writer, as `yes` is; it stops once the reading end is closed.
  std::thread writer([fd = fds[1]] {
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    const std::string chunk = [] {
      std::string s;
      for (int i = 0; i < 512; ++i) s += "y\n";
      return s;
    }();
    while (::write(fd, chunk.data(), chunk.size()) > 0) {
    }
    ::close(fd);
  });
  {
    ScopedReadLimits limits({64, 5000, 1u << 30});
    const Value fid =
        mlfFopen(Value::Text("/proc/self/fd/" + std::to_string(fds[0])), Value::Text("rt"));
    FileGuard guard(fid);
    std::size_t lines = 0;
    const std::string message = ErrorOf([&] {
      for (Value line = mlfFgets(fid); line.is_char(); line = mlfFgets(fid)) ++lines;
    });
    EXPECT_EQ(lines, 5000u);
    EXPECT_NE(message.find("it has more than 5000 lines"), std::string::npos) << message;
  }
  ::close(fds[0]);
  writer.join();
}

TEST(FilesRead, Utf16UnitsThatAreNoCharactersReadAsReplacementCharacters) {
  TempDir dir;
  // "a", a lone high surrogate, "\n", a lone low surrogate, "b", then an odd last byte.
  WriteFile(dir.file("odd"), std::string("\xFF\xFE"
                                         "a\0\x01\xD8\n\0\x02\xDC"
                                         "b\0\x7A",
                                         13));
  EXPECT_EQ(Units(dir.file("odd")), (std::vector<std::u16string>{u"a\uFFFD\n", u"\uFFFDb\uFFFD"}));
  EXPECT_EQ(Lines(dir.file("odd")), (Strings{"a\xEF\xBF\xBD\n",
                                             "\xEF\xBF\xBD"
                                             "b\xEF\xBF\xBD"}));
}

TEST(FilesRead, RunningOutOfMemoryIsAnErrorThatSaysWhatWasBeingDone) {
  TempDir dir;
  WriteFile(dir.file("names"), "a\nb\n");
  struct NoMemory : TestEnv {
    long Read(int, void*, std::size_t) override { throw std::bad_alloc(); }
  } env;
  const Value fid = mlfFopen(Value::Text(dir.file("names")), Value::Text("rt"));
  FileGuard guard(fid);
  EXPECT_EQ(ErrorOf([&] { mlfFgets(fid); }),
            "Out of memory while reading '" + dir.file("names") + "' at line 1");
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

  std::string names;
  for (int i = 0; i < 40000; ++i) names += "name\n";
  WriteFile(dir.file("bad"), names);
  env.read_limit = 70000;
  const Value fid = mlfFopen(Value::Text(dir.file("bad")), Value::Text("rt"));
  EXPECT_EQ(ErrorOf([&] {
              for (Value line = mlfFgets(fid); line.is_char(); line = mlfFgets(fid)) {
              }
            }),
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
  EXPECT_EQ(ErrorOf([&] { mlfFgets(c); }), "Invalid file identifier 3: no file is open under it");
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

// File systems without unnamed files: the listing is written under a hidden name.
struct NoUnnamedFiles : TestEnv {
  int Open(const std::string& path, int flags, unsigned mode, int* fd) override {
    if ((flags & O_TMPFILE) == O_TMPFILE) return -EOPNOTSUPP;
    return TestEnv::Open(path, flags, mode, fd);
  }
};

TEST_F(FilesWrite, NoNameExistsForAListingUntilItIsComplete) {
  WriteFile(dir.file("out.txt"), "old");
  Value fid = Open(dir.file("out.txt"));
  Put(fid, "new text");
  EXPECT_EQ(EntryNames(dir.path()), Names{"out.txt"});
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "old");
  mlfFclose(fid);
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "new text");
  EXPECT_EQ(EntryNames(dir.path()), Names{"out.txt"});

  fid = Open(dir.file("fresh.txt"));
  Put(fid, "first");
  EXPECT_EQ(EntryNames(dir.path()), Names{"out.txt"});
  mlfFclose(fid);
  EXPECT_EQ(EntryNames(dir.path()), (Names{"fresh.txt", "out.txt"}));
  EXPECT_EQ(ReadFile(dir.file("fresh.txt")), "first");

  NoUnnamedFiles env;
  fid = Open(dir.file("out.txt"));
  Put(fid, "newer");
  const Names during = EntryNames(dir.path());
  ASSERT_EQ(during.size(), 3u);
  EXPECT_EQ(during.begin()->substr(0, 3), ".dk");  // short, whatever the target's name
  EXPECT_EQ(during.begin()->size(), 11u);
  mlfFclose(fid);
  EXPECT_EQ(EntryNames(dir.path()), (Names{"fresh.txt", "out.txt"}));
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "newer");
}

// A long file is sent toward the disk while it is written, each part once and in order,
// and still synced before it takes its name; a system that cannot start the writeback
// changes nothing.
TEST_F(FilesWrite, ALongFileStartsToTheDiskWhileWrittenAndIsSyncedBeforeItsName) {
  class Recording : public TestEnv {
   public:
    int StartWriteback(int fd, std::uint64_t offset, std::uint64_t n) override {
      log.push_back("writeback " + std::to_string(offset) + "+" + std::to_string(n));
      if (fail_writeback) return -EINVAL;
      return TestEnv::StartWriteback(fd, offset, n);
    }
    int Sync(int fd) override {
      log.push_back("sync");
      return TestEnv::Sync(fd);
    }
    int LinkOpenFile(int fd, const std::string& path) override {
      log.push_back("name");
      return TestEnv::LinkOpenFile(fd, path);
    }
    int Rename(const std::string& from, const std::string& to) override {
      log.push_back("name");
      return TestEnv::Rename(from, to);
    }
    std::vector<std::string> log;
    bool fail_writeback = false;
  };
  const std::string line(1000, 'n');
  for (const bool fail : {false, true}) {
    Recording env;
    env.fail_writeback = fail;
    const std::string target = dir.file(fail ? "b.txt" : "a.txt");
    const Value fid = Open(target);
    for (int i = 0; i < 10000; ++i) Put(fid, line);
    mlfFclose(fid);
    EXPECT_EQ(ReadFile(target), [&] {
      std::string all;
      for (int i = 0; i < 10000; ++i) all += line;
      return all;
    }());
    ASSERT_GE(env.log.size(), 3u);
    EXPECT_EQ(env.log[env.log.size() - 2], "sync");
    EXPECT_EQ(env.log.back(), "name");
    // The parts sent follow one another from the start of the file.
    std::uint64_t next = 0;
    for (std::size_t k = 0; k + 2 < env.log.size(); ++k) {
      const std::string& entry = env.log[k];
      ASSERT_EQ(entry.rfind("writeback ", 0), 0u) << entry;
      EXPECT_EQ(entry.substr(10, entry.find('+') - 10), std::to_string(next));
      next += std::stoull(entry.substr(entry.find('+') + 1));
    }
    EXPECT_GT(next, 0u);
    EXPECT_LE(next, 10000u * line.size());
  }
}

TEST_F(FilesWrite, TargetsWithTheLongestNamesCanBeWritten) {
  for (const std::size_t length : {239u, 254u, 255u}) {
    const std::string name = dir.file(std::string(length, 'n'));
    WriteFile(name, "old");
    Value fid = Open(name);
    Put(fid, "replaced");
    mlfFclose(fid);
    EXPECT_EQ(ReadFile(name), "replaced") << length;
    NoUnnamedFiles env;
    fid = Open(name);
    Put(fid, "again");
    mlfFclose(fid);
    EXPECT_EQ(ReadFile(name), "again") << length;
    std::filesystem::remove(name);
  }
}

TEST_F(FilesWrite, AnInterruptedSaveLeavesNoTemporaryBehind) {
  WriteFile(dir.file("out.txt"), "old");
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    EXPECT_EXIT(
        {
          NoUnnamedFiles env;
          const Value fid = Open(dir.file("out.txt"));
          Put(fid, std::string(200000, 'z'));
          std::raise(sig);
        },
        ::testing::KilledBySignal(sig), "");
    EXPECT_EQ(EntryNames(dir.path()), Names{"out.txt"}) << sig;
    EXPECT_EQ(ReadFile(dir.file("out.txt")), "old");
  }
}

TEST_F(FilesWrite, AFileTheUserMayNotWriteIsRefusedAndLeftAsItWas) {
  WriteFile(dir.file("locked.txt"), "keep me");
  struct ReadOnly : TestEnv {
    int Access(const std::string& path, int mode) override {
      return (mode & W_OK) ? -EACCES : TestEnv::Access(path, mode);
    }
  } env;
  EXPECT_EQ(ErrorOf([&] { Open(dir.file("locked.txt")); }),
            "Cannot replace '" + dir.file("locked.txt") +
                "': Permission denied (you may not write to it; it was left as it was)");
  EXPECT_EQ(ReadFile(dir.file("locked.txt")), "keep me");
  EXPECT_EQ(EntryNames(dir.path()), Names{"locked.txt"});
  EXPECT_EQ(OpenFileCount(), 0u);
}

TEST_F(FilesWrite, DiscardLeavesTheTargetAndNoTemporary) {
  WriteFile(dir.file("out.txt"), "old");
  {
    const Value fid = Open(dir.file("out.txt"));
    FileGuard guard(fid);
    Put(fid, "half");
  }
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "old");
  EXPECT_EQ(test::CountEntries(dir.path()), 1u);
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
  EXPECT_EQ(test::CountEntries(dir.path()), 1u);
  EXPECT_EQ(OpenFileCount(), 0u);

  env.write_limit = -1;
  env.rename_error = EXDEV;
  const Value fid2 = Open(dir.file("out.txt"));
  Put(fid2, "x");
  EXPECT_EQ(ErrorOf([&] { mlfFclose(fid2); }),
            "Cannot replace '" + dir.file("out.txt") + "': Invalid cross-device link");
  EXPECT_EQ(ReadFile(dir.file("out.txt")), "old");
  EXPECT_EQ(test::CountEntries(dir.path()), 1u);

  env.open_errors.clear();
  env.rename_error = 0;
  // A folder without write permission: creating the temporary fails.
  struct FailCreate : TestEnv {
    int Open(const std::string& path, int flags, unsigned mode, int* fd) override {
      if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) return -EACCES;
      return TestEnv::Open(path, flags, mode, fd);
    }
  } locked;
  EXPECT_EQ(
      ErrorOf([&] { Open(dir.file("new.txt")); }),
      "Cannot create a file in the folder of '" + dir.file("new.txt") + "': Permission denied");
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.txt")));
}

// A long file is written on a thread of its own while the rest is made: a write that
// fails there is an error of a later write or of the close, and still changes nothing.
TEST_F(FilesWrite, AFailedWriteOfALongFileIsAnErrorThatChangesNothing) {
  const std::string name(40, 'n');
  for (const long limit : {200000L, 1500000L}) {
    TestEnv env;
    WriteFile(dir.file("out.txt"), "old");
    env.write_limit = limit;
    std::string error;
    {
      const Value fid = Open(dir.file("out.txt"));
      FileGuard guard(fid);
      error = ErrorOf([&] {
        for (int i = 0; i < 50000; ++i) Put(fid, name);
        mlfFclose(fid);
      });
    }
    EXPECT_EQ(error, "Cannot write '" + dir.file("out.txt") + "': No space left on device");
    EXPECT_EQ(ReadFile(dir.file("out.txt")), "old");
    EXPECT_EQ(test::CountEntries(dir.path()), 1u);
    EXPECT_EQ(OpenFileCount(), 0u);
  }
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
  EXPECT_EQ(
      ErrorOf([&] { Open(dir.file("dangling")); }),
      "Cannot write through the link '" + dir.file("dangling") + "': No such file or directory");
  EXPECT_EQ(OpenFileCount(), 0u);
}

TEST_F(FilesWrite, AReplacedFileKeepsItsPermissionBitsWhateverTheUmask) {
  namespace fs = std::filesystem;
  const mode_t old_umask = ::umask(077);
  for (const fs::perms perms :
       {fs::perms::owner_read | fs::perms::owner_write,
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
            fs::perms::others_read | fs::perms::group_write}) {
    for (const bool unnamed : {true, false}) {
      WriteFile(dir.file("out.txt"), "old");
      fs::permissions(dir.file("out.txt"), perms);
      std::optional<NoUnnamedFiles> env;
      if (!unnamed) env.emplace();
      const Value fid = Open(dir.file("out.txt"));
      Put(fid, "new");
      mlfFclose(fid);
      EXPECT_EQ(fs::status(dir.file("out.txt")).permissions(), perms);
      EXPECT_EQ(ReadFile(dir.file("out.txt")), "new");
    }
  }
  ::umask(old_umask);
}

}  // namespace
}  // namespace dk
