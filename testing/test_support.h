// Helpers shared by the tests (namespace dk::test, so that gtest's ::testing stays in
// sight): a temporary folder, whole-file reads and writes, and an
// Env that fixes the clock, captures the console and injects file failures.
#ifndef DROPKIT_TESTING_TEST_SUPPORT_H_
#define DROPKIT_TESTING_TEST_SUPPORT_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/errors.h"
#include "os/env.h"
#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk::test {

// The message of the run-time error that `f` raises, or "(no error)".
inline std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "(no error)";
}

// The message raised by an array-vector entry called with nlhs outputs and nrhs
// inputs (each the number 0), or "(no error)".
inline std::string EntryError(MlxFunction entry, int nlhs, int nrhs) {
  std::vector<Value> in(static_cast<std::size_t>(nrhs), Value::Scalar(0));
  std::vector<Value> out(static_cast<std::size_t>(nlhs > 0 ? nlhs : 1));
  return ErrorOf([&] { entry(nlhs, out.data(), nrhs, in.data()); });
}

// The fixed count-check message, spelled out independently of the code under test.
inline std::string CountCheckMessage(const char* file, int line, const char* what, int declared) {
  return std::string("Run-time Error: File: ") + file + " Line: " + std::to_string(line) +
         " Column: 1 The function \"" + file +
         "\" was called with more than the declared number of " + what + " (" +
         std::to_string(declared) + ").";
}

// The elements of a numeric or logical value, in order.
inline std::vector<double> Numbers(const Value& v) {
  std::vector<double> out;
  for (std::size_t i = 0; i < v.numel(); ++i) out.push_back(v.num(i));
  return out;
}

// A fresh folder that is removed with everything in it at the end of the test; the
// current folder is restored too.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dropkit-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    old_cwd_ = std::filesystem::current_path();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::current_path(old_cwd_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::filesystem::path old_cwd_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::size_t CountEntries(const std::string& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

// The names of the entries of `dir`, hidden ones too, sorted.
inline std::set<std::string> EntryNames(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    names.insert(e.path().filename().string());
  }
  return names;
}

// Every entry under `folder` (hidden ones too) with its permission bits and, for a file,
// its bytes: what a failed write must leave as it was.
using FolderState = std::map<std::string, std::string>;
inline FolderState Snapshot(const std::string& folder) {
  FolderState entries;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
    const auto perms = static_cast<unsigned>(e.symlink_status().permissions());
    entries[std::filesystem::relative(e.path(), folder).string()] =
        std::to_string(perms) + (e.is_regular_file() ? ": " + ReadFile(e.path().string()) : "/");
  }
  return entries;
}

// An Env with a fixed clock, a captured console, entropy that can be fixed, and failures
// to inject: any call that can fail (Fail), open of a path fails with an errno, reads
// fail after some bytes, writes fail after some bytes, renames fail, programs fail to
// run.
class TestEnv : public EnvWrapper {
 public:
  TestEnv() : EnvWrapper(Env::Default()), scope_(this) {}

  // The calls Fail can make fail, each counted on its own.
  // clang-format off
  enum Call {
    kOpen, kRead, kWrite, kSync, kClose, kStartWriteback, kFileStat, kStat, kLinkStat,
    kRealPath, kRename, kAccess, kFileChmod, kFileChown, kLinkOpenFile, kUnlink, kMakeDir,
    kRemoveDir, kListDir, kChangeDir, kCurrentDir, kRunFilter, kLink, kCallKinds
  };
  // clang-format on
  static constexpr int kEveryCall = -2;
  static const char* CallName(Call kind) {
    static const char* const kNames[kCallKinds] = {
        "Open",      "Read",      "Write",        "Sync",      "Close",   "StartWriteback",
        "FileStat",  "Stat",      "LinkStat",     "RealPath",  "Rename",  "Access",
        "FileChmod", "FileChown", "LinkOpenFile", "Unlink",    "MakeDir", "RemoveDir",
        "ListDir",   "ChangeDir", "CurrentDir",   "RunFilter", "Link"};
    return kNames[kind];
  }
  // Every kind of call Fail can make fail.
  static std::vector<Call> AllCalls() {
    std::vector<Call> kinds;
    for (int k = 0; k < kCallKinds; ++k) kinds.push_back(static_cast<Call>(k));
    return kinds;
  }
  // Makes call `index` of `kind` (counted from 0 by calls(kind)) fail with `error`, or
  // every call of it with kEveryCall; the counts start again from 0. Replaces a fault
  // set before for the same kind.
  void Fail(Call kind, int index, int error) {
    ResetCalls();
    faults_[kind].error = error;
    faults_[kind].index = index;
  }
  // Removes every fault Fail set.
  void ClearFaults() {
    for (Fault& f : faults_) f.index = -1;
  }
  // The calls of `kind` made since the last Fail or ResetCalls, those that failed too.
  int calls(Call kind) const { return faults_[kind].count; }
  void ResetCalls() {
    for (Fault& f : faults_) f.count = 0;
  }

  LocalTime now{2026, 12, 7, 14, 5, 30.25};
  std::optional<long> zone_offset;         // seconds east of UTC; unset: the process's zone
  std::string out;                         // console output
  std::string err;                         // console errors
  std::map<std::string, int> open_errors;  // path -> errno
  long read_limit = -1;                    // bytes readable before EIO, -1: no limit
  // Writes may come from several threads at once (a folder's files are written so).
  std::atomic<long> write_limit = -1;  // bytes writable before ENOSPC, -1: no limit
  int rename_error = 0;
  // Environment variables the program sees in place of the process's (the others are
  // the process's).
  std::map<std::string, std::string> variables;
  // Programs RunFilter reports as failing with this errno instead of running them.
  std::map<std::string, int> program_errors;
  // When set, every entropy request gets the bytes e, e + 1, e + 2, ... (the first the
  // least significant of a key or seed); entropy_calls counts the requests.
  std::optional<unsigned char> entropy;
  int entropy_calls = 0;

  int Open(const std::string& path, int flags, unsigned mode, int* fd) override {
    if (const int r = Injected(kOpen)) return r;
    if (auto it = open_errors.find(path); it != open_errors.end()) return -it->second;
    return EnvWrapper::Open(path, flags, mode, fd);
  }
  int RunFilter(const std::vector<std::string>& argv, std::string_view input,
                std::size_t max_output, std::string* output) override {
    if (const int r = Injected(kRunFilter)) return r;
    if (auto it = program_errors.find(argv[0]); it != program_errors.end()) return -it->second;
    return EnvWrapper::RunFilter(argv, input, max_output, output);
  }
  long Read(int fd, void* buf, std::size_t n) override {
    if (const int r = Injected(kRead)) return r;
    if (read_limit == 0) return -EIO;
    if (read_limit > 0 && static_cast<long>(n) > read_limit)
      n = static_cast<std::size_t>(read_limit);
    const long r = EnvWrapper::Read(fd, buf, n);
    if (read_limit > 0 && r > 0) read_limit -= r;
    return r;
  }
  long Write(int fd, const void* buf, std::size_t n) override {
    if (const int r = Injected(kWrite)) return r;
    if (write_limit == 0) return -ENOSPC;
    if (const long limit = write_limit; limit > 0 && static_cast<long>(n) > limit)
      n = static_cast<std::size_t>(limit);
    const long r = EnvWrapper::Write(fd, buf, n);
    if (write_limit > 0 && r > 0) write_limit -= r;
    return r;
  }
  int Rename(const std::string& from, const std::string& to) override {
    if (const int r = Injected(kRename)) return r;
    if (rename_error != 0) return -rename_error;
    return EnvWrapper::Rename(from, to);
  }
  int Sync(int fd) override {
    return Pass(kSync, [&] { return EnvWrapper::Sync(fd); });
  }
  int Close(int fd) override {
    // A failing close(2) still releases the descriptor.
    const int r = EnvWrapper::Close(fd);
    return Pass(kClose, [r] { return r; });
  }
  int StartWriteback(int fd, std::uint64_t offset, std::uint64_t n) override {
    return Pass(kStartWriteback, [&] { return EnvWrapper::StartWriteback(fd, offset, n); });
  }
  int FileStat(int fd, struct stat* st) override {
    return Pass(kFileStat, [&] { return EnvWrapper::FileStat(fd, st); });
  }
  int Stat(const std::string& path, struct stat* st) override {
    return Pass(kStat, [&] { return EnvWrapper::Stat(path, st); });
  }
  int LinkStat(const std::string& path, struct stat* st) override {
    return Pass(kLinkStat, [&] { return EnvWrapper::LinkStat(path, st); });
  }
  int RealPath(const std::string& path, std::string* out_path) override {
    return Pass(kRealPath, [&] { return EnvWrapper::RealPath(path, out_path); });
  }
  int Access(const std::string& path, int mode) override {
    return Pass(kAccess, [&] { return EnvWrapper::Access(path, mode); });
  }
  int FileChmod(int fd, unsigned mode) override {
    return Pass(kFileChmod, [&] { return EnvWrapper::FileChmod(fd, mode); });
  }
  int FileChown(int fd, unsigned uid, unsigned gid) override {
    return Pass(kFileChown, [&] { return EnvWrapper::FileChown(fd, uid, gid); });
  }
  int LinkOpenFile(int fd, const std::string& path) override {
    return Pass(kLinkOpenFile, [&] { return EnvWrapper::LinkOpenFile(fd, path); });
  }
  int Link(const std::string& from, const std::string& to) override {
    return Pass(kLink, [&] { return EnvWrapper::Link(from, to); });
  }
  int Unlink(const std::string& path) override {
    return Pass(kUnlink, [&] { return EnvWrapper::Unlink(path); });
  }
  int MakeDir(const std::string& path, unsigned mode) override {
    return Pass(kMakeDir, [&] { return EnvWrapper::MakeDir(path, mode); });
  }
  int RemoveDir(const std::string& path) override {
    return Pass(kRemoveDir, [&] { return EnvWrapper::RemoveDir(path); });
  }
  int ListDir(const std::string& path, std::vector<std::string>* names) override {
    return Pass(kListDir, [&] { return EnvWrapper::ListDir(path, names); });
  }
  int ChangeDir(const std::string& path) override {
    return Pass(kChangeDir, [&] { return EnvWrapper::ChangeDir(path); });
  }
  int CurrentDir(std::string* out_path) override {
    return Pass(kCurrentDir, [&] { return EnvWrapper::CurrentDir(out_path); });
  }
  bool Variable(const std::string& name, std::string* value) override {
    if (auto it = variables.find(name); it != variables.end()) {
      *value = it->second;
      return true;
    }
    return EnvWrapper::Variable(name, value);
  }
  void Entropy(void* buf, std::size_t n) override {
    ++entropy_calls;
    if (!entropy) return EnvWrapper::Entropy(buf, n);
    auto* p = static_cast<unsigned char*>(buf);
    for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(*entropy + i);
  }
  LocalTime Now() override { return now; }
  long ZoneOffset(const LocalTime& t) override {
    return zone_offset ? *zone_offset : EnvWrapper::ZoneOffset(t);
  }
  void ConsoleOut(std::string_view text) override { out.append(text); }
  void ConsoleErr(std::string_view text) override { err.append(text); }

 private:
  // Calls may come from several threads at once (a folder's files are written so).
  struct Fault {
    std::atomic<int> count = 0;
    std::atomic<int> index = -1;  // the call to fail, kEveryCall, or -1 for none
    std::atomic<int> error = 0;
  };
  // Counts a call of `kind`: -errno when it is to fail, else 0.
  int Injected(Call kind) {
    Fault& f = faults_[kind];
    const int call = f.count++;
    const int index = f.index;
    return index == kEveryCall || index == call ? -f.error : 0;
  }

  // The injected -errno, or what `call` returns.
  template <typename F>
  int Pass(Call kind, F call) {
    if (const int r = Injected(kind)) return r;
    return call();
  }

  Fault faults_[kCallKinds];
  ScopedEnv scope_;
};

// Makes each call of each of `kinds` fail in turn with EIO, running `run` once for each:
// call k of a kind for k = 0, 1, ... until a run makes no more than k calls of it. After
// each run, `check` gets the fault ("Rename call 2", or "no fault" for the last run of a
// kind) and the run's error ("(no error)" when it went through). Returns the number of
// runs that failed.
inline int SweepFaults(TestEnv& env, const std::vector<TestEnv::Call>& kinds,
                       const std::function<void()>& run,
                       const std::function<void(const std::string&, const std::string&)>& check) {
  int failures = 0;
  for (const TestEnv::Call kind : kinds) {
    for (int k = 0;; ++k) {
      env.Fail(kind, k, EIO);
      const std::string error = ErrorOf(run);
      const bool reached = env.calls(kind) > k;
      env.ClearFaults();
      if (error != "(no error)") ++failures;
      check(reached ? std::string(TestEnv::CallName(kind)) + " call " + std::to_string(k)
                    : "no fault",
            error);
      if (!reached) break;
    }
  }
  return failures;
}

// The names of the entries that differ between two states ("" when none).
inline std::string Differences(const FolderState& a, const FolderState& b) {
  std::string names;
  for (const auto& [name, entry] : a) {
    if (auto it = b.find(name); it == b.end() || it->second != entry) names += " " + name;
  }
  for (const auto& [name, entry] : b) {
    if (!a.contains(name)) names += " " + name;
  }
  return names;
}

// Checks one run of a SweepFaults over a write into `folder`: a run that failed says
// why (EIO's text) and left the folder as `before`; one that went through left it as
// `after`, but for a staging folder it could not remove and warned of.
inline void ExpectAllOrNothing(TestEnv& env, const std::string& folder, const FolderState& before,
                               const FolderState& after, const std::string& fault,
                               const std::string& error) {
  FolderState now = Snapshot(folder);
  if (error != "(no error)") {
    EXPECT_NE(error.find(ErrnoText(EIO)), std::string::npos) << fault << ": " << error;
    EXPECT_EQ(Differences(now, before), "") << fault;
  } else {
    if (env.err.find("Warning: Cannot remove the folder") != std::string::npos) {
      std::erase_if(now,
                    [](const auto& e) { return e.first.find(".dropkit-") != std::string::npos; });
    }
    EXPECT_EQ(Differences(now, after), "") << fault;
  }
  env.err.clear();
}

}  // namespace dk::test

#endif  // DROPKIT_TESTING_TEST_SUPPORT_H_
