// Helpers shared by the tests (namespace dk::test, so that gtest's ::testing stays in
// sight): a temporary folder, whole-file reads and writes, and an
// Env that fixes the clock, captures the console and injects file failures.
#ifndef DROPKIT_TESTING_TEST_SUPPORT_H_
#define DROPKIT_TESTING_TEST_SUPPORT_H_

#include <fcntl.h>
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

// An Env with a fixed clock, a captured console, entropy that can be fixed, and failures
// to inject: open of a path fails with an errno, reads fail after some bytes, writes
// fail after some bytes or at a given call, renames fail, programs fail to run.
class TestEnv : public EnvWrapper {
 public:
  TestEnv() : EnvWrapper(Env::Default()), scope_(this) {}

  LocalTime now{2026, 12, 7, 14, 5, 30.25};
  std::string out;                         // console output
  std::string err;                         // console errors
  std::map<std::string, int> open_errors;  // path -> errno
  long read_limit = -1;                    // bytes readable before EIO, -1: no limit
  // Writes may come from several threads at once (a folder's files are written so).
  std::atomic<long> write_limit = -1;  // bytes writable before ENOSPC, -1: no limit
  int rename_error = 0;
  std::atomic<int> fail_write_call = -1;  // the Write call (counted in write_calls) to fail
  std::atomic<int> write_calls = 0;
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
    if (auto it = open_errors.find(path); it != open_errors.end()) return -it->second;
    return EnvWrapper::Open(path, flags, mode, fd);
  }
  int RunFilter(const std::vector<std::string>& argv, std::string_view input,
                std::size_t max_output, std::string* output) override {
    if (auto it = program_errors.find(argv[0]); it != program_errors.end()) return -it->second;
    return EnvWrapper::RunFilter(argv, input, max_output, output);
  }
  long Read(int fd, void* buf, std::size_t n) override {
    if (read_limit == 0) return -EIO;
    if (read_limit > 0 && static_cast<long>(n) > read_limit)
      n = static_cast<std::size_t>(read_limit);
    const long r = EnvWrapper::Read(fd, buf, n);
    if (read_limit > 0 && r > 0) read_limit -= r;
    return r;
  }
  long Write(int fd, const void* buf, std::size_t n) override {
    if (write_calls++ == fail_write_call) return -ENOSPC;
    if (write_limit == 0) return -ENOSPC;
    if (const long limit = write_limit; limit > 0 && static_cast<long>(n) > limit)
      n = static_cast<std::size_t>(limit);
    const long r = EnvWrapper::Write(fd, buf, n);
    if (write_limit > 0 && r > 0) write_limit -= r;
    return r;
  }
  int Rename(const std::string& from, const std::string& to) override {
    if (rename_error != 0) return -rename_error;
    return EnvWrapper::Rename(from, to);
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
  void ConsoleOut(std::string_view text) override { out.append(text); }
  void ConsoleErr(std::string_view text) override { err.append(text); }

 private:
  ScopedEnv scope_;
};

}  // namespace dk::test

#endif  // DROPKIT_TESTING_TEST_SUPPORT_H_
