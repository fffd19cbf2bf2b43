#include "runtime/paths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;

using test::TempDir;
using test::WriteFile;
using ::testing::HasSubstr;

struct Split {
  std::string path, name, ext;
  bool operator==(const Split&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Split& s) {
  return os << "{'" << s.path << "', '" << s.name << "', '" << s.ext << "'}";
}

Split SplitOf(const std::string& filename) {
  const FileParts p = mlfFileparts(Value::Text(filename));
  return {p.path.utf8(), p.name.utf8(), p.ext.utf8()};
}

std::string Join(const std::string& path, const std::string& name) {
  return mlfFullfile(Value::Text(path), Value::Text(name)).utf8();
}

// Pretends the running program is `exe`.
class FakeProgramEnv : public EnvWrapper {
 public:
  explicit FakeProgramEnv(std::string exe)
      : EnvWrapper(Env::Current()), exe_(std::move(exe)), scope_(this) {}
  int RealPath(const std::string& path, std::string* out) override {
    if (path != "/proc/self/exe") return EnvWrapper::RealPath(path, out);
    if (exe_.empty()) return -2;  // ENOENT
    *out = exe_;
    return 0;
  }

 private:
  std::string exe_;
  ScopedEnv scope_;
};

TEST(PathsFileparts, SplitsFolderBaseNameAndExtension) {
  EXPECT_EQ(SplitOf("a/b/c.fig"), (Split{"a/b", "c", ".fig"}));
  EXPECT_EQ(SplitOf("Dropkit"), (Split{"", "Dropkit", ""}));
  EXPECT_EQ(SplitOf("Dropkit.FIG"), (Split{"", "Dropkit", ".FIG"}));
  EXPECT_EQ(SplitOf("/c.fig"), (Split{"/", "c", ".fig"}));
  EXPECT_EQ(SplitOf("/usr/share/x.y.fig"), (Split{"/usr/share", "x.y", ".fig"}));
  EXPECT_EQ(SplitOf(".fig"), (Split{"", "", ".fig"}));
  EXPECT_EQ(SplitOf("name."), (Split{"", "name", "."}));
  // A dot in a folder's name is not an extension.
  EXPECT_EQ(SplitOf("v1.2/layout"), (Split{"v1.2", "layout", ""}));
  EXPECT_EQ(SplitOf("folder/"), (Split{"folder", "", ""}));
  EXPECT_EQ(SplitOf(""), (Split{"", "", ""}));
}

TEST(PathsFileparts, KeepsCharactersBeyondAscii) {
  EXPECT_EQ(SplitOf("Ordner/Öffnen.fig"), (Split{"Ordner", "Öffnen", ".fig"}));
}

TEST(PathsFileparts, RejectsValuesThatAreNoText) {
  EXPECT_THAT(ErrorOf([] { mlfFileparts(Value::Scalar(3)); }),
              HasSubstr("fileparts: the file name must be a text"));
  EXPECT_THAT(ErrorOf([] { mlfFileparts(Value()); }), HasSubstr("missing value"));
  EXPECT_EQ(mlfFileparts(Value::Empty()).name.utf8(), "");
}

TEST(PathsFullfile, JoinsWithOneSeparator) {
  EXPECT_EQ(Join("a/b", "c.fig"), "a/b/c.fig");
  EXPECT_EQ(Join("a/b/", "c.fig"), "a/b/c.fig");
  EXPECT_EQ(Join("a/b", "/c.fig"), "a/b/c.fig");
  EXPECT_EQ(Join("a/b/", "/c.fig"), "a/b/c.fig");
  EXPECT_EQ(Join("/", "c.fig"), "/c.fig");
  EXPECT_EQ(Join("", "Dropkit.fig"), "Dropkit.fig");
  EXPECT_EQ(Join("a", ""), "a");
  EXPECT_THAT(ErrorOf([] { mlfFullfile(Value::Scalar(1), Value::Text("x")); }),
              HasSubstr("fullfile: the folder must be a text"));
}

TEST(PathsFullfile, UndoesFileparts) {
  for (const char* name : {"a/b/c.fig", "/c.fig", "Dropkit.fig", "x/y"}) {
    const FileParts p = mlfFileparts(Value::Text(name));
    EXPECT_EQ(Join(p.path.utf8(), p.name.utf8() + p.ext.utf8()), name);
  }
}

TEST(PathsFigureFile, FoldersComeInOrderWithoutTheCurrentFolder) {
  TempDir dir;
  std::filesystem::current_path(dir.path());
  FakeProgramEnv env(dir.file("bin/dropkit"));
  const std::vector<std::string> folders = FigureFileFolders();
  ASSERT_GE(folders.size(), 2u);
  EXPECT_EQ(folders[0], dir.file("share/dropkit"));
  EXPECT_EQ(folders[1], dir.file("bin"));
  EXPECT_EQ(std::count(folders.begin(), folders.end(), dir.path()), 0);
}

TEST(PathsFigureFile, TheInstalledCopyWinsAndTheCurrentFolderIsNeverSearched) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("bin"));
  std::filesystem::create_directories(dir.file("share/dropkit"));
  std::filesystem::create_directories(dir.file("work"));
  WriteFile(dir.file("bin/Probe.fig"), "{}");
  WriteFile(dir.file("share/dropkit/Probe.fig"), "{}");
  WriteFile(dir.file("work/Probe.fig"), "{}");
  WriteFile(dir.file("work/Planted.fig"), "{}");
  FakeProgramEnv env(dir.file("bin/dropkit"));
  std::filesystem::current_path(dir.file("work"));
  EXPECT_EQ(LocateFigureFile("Probe.fig"), dir.file("share/dropkit/Probe.fig"));
  EXPECT_THAT(ErrorOf([] { LocateFigureFile("Planted.fig"); }),
              HasSubstr("Cannot find figure file 'Planted.fig'"));
  EXPECT_EQ(LocateFigureFile("./Planted.fig"), "./Planted.fig");  // named by the user
}

TEST(PathsFigureFile, FoundBesideTheProgramAndInItsShareFolder) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("bin"));
  std::filesystem::create_directories(dir.file("share/dropkit"));
  std::filesystem::create_directories(dir.file("elsewhere"));
  WriteFile(dir.file("bin/Beside.fig"), "{}");
  WriteFile(dir.file("share/dropkit/Installed.fig"), "{}");
  FakeProgramEnv env(dir.file("bin/dropkit"));
  std::filesystem::current_path(dir.file("elsewhere"));
  EXPECT_EQ(LocateFigureFile("Beside.fig"), dir.file("bin/Beside.fig"));
  EXPECT_EQ(LocateFigureFile("Installed.fig"), dir.file("share/dropkit/Installed.fig"));
}

TEST(PathsFigureFile, AFolderOfThatNameIsNoHit) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("work/Probe.fig"));
  std::filesystem::create_directories(dir.file("bin"));
  WriteFile(dir.file("bin/Probe.fig"), "{}");
  FakeProgramEnv env(dir.file("bin/dropkit"));
  std::filesystem::current_path(dir.file("work"));
  EXPECT_EQ(LocateFigureFile("Probe.fig"), dir.file("bin/Probe.fig"));
}

TEST(PathsFigureFile, NameWithAFolderIsUsedAsGiven) {
  EXPECT_EQ(LocateFigureFile("no/such/Probe.fig"), "no/such/Probe.fig");
  EXPECT_EQ(LocateFigureFile("/abs/Probe.fig"), "/abs/Probe.fig");
}

TEST(PathsFigureFile, MissingFileErrorNamesFileAndFolders) {
  TempDir dir;
  std::filesystem::current_path(dir.path());
  FakeProgramEnv env(dir.file("bin/dropkit"));
  const std::string error = ErrorOf([] { LocateFigureFile("Absent.fig"); });
  EXPECT_THAT(error, HasSubstr("Cannot find figure file 'Absent.fig'"));
  EXPECT_THAT(error, HasSubstr(dir.file("bin")));
  EXPECT_THAT(error, HasSubstr(dir.file("share/dropkit")));
}

TEST(PathsFigureFile, UnknownProgramFolderIsSkipped) {
  FakeProgramEnv env("");
  EXPECT_EQ(ProgramFolder(), "");
  for (const std::string& folder : FigureFileFolders()) EXPECT_FALSE(folder.empty());
}

TEST(PathsFigureFile, TheProgramsOwnWindowIsFoundFromAnyFolder) {
  TempDir dir;
  std::filesystem::current_path(dir.path());
  const std::string found = LocateFigureFile("Dropkit.fig");
  EXPECT_THAT(found, HasSubstr("/Dropkit.fig"));
  EXPECT_TRUE(std::filesystem::is_regular_file(found));
}

}  // namespace
}  // namespace dk
