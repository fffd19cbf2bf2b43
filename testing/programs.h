// Running programs from tests: a shell command, and dropkit-batch as a user runs it
// (the test programs are built with DROPKIT_BATCH_PATH naming it); the example's files.
#ifndef DROPKIT_TESTING_PROGRAMS_H_
#define DROPKIT_TESTING_PROGRAMS_H_

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "testing/test_support.h"

namespace dk::test {

// A file of the committed example, by its path below examples/jackknife/ (the test
// programs are built with DROPKIT_SOURCE_DIR naming the source tree).
inline std::string ExampleFile(const std::string& name) {
  return std::string(DROPKIT_SOURCE_DIR) + "/examples/jackknife/" + name;
}

// Runs a shell command; returns its exit status (-1 when it did not exit).
inline int Shell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// True when the program `name` is on PATH.
inline bool HaveProgram(const std::string& name) {
  return Shell("command -v " + name + " >/dev/null 2>&1") == 0;
}

// What a run of dropkit-batch did: its exit status and what it wrote.
struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs dropkit-batch with `args` (shell words) and optional extra redirections, its
// output and errors kept in files of `dir`.
inline Result Batch(const TempDir& dir, const std::string& args, const std::string& redirect = "") {
  const std::string out = dir.file("stdout"), err = dir.file("stderr");
  Result r;
  r.status = Shell(std::string(DROPKIT_BATCH_PATH) + " " + args + " >" + out + " 2>" + err + " " +
                   redirect);
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

// Runs a bash script (pipelines, process substitution) with dropkit-batch as $B.
inline Result Bash(const TempDir& dir, const std::string& script) {
  WriteFile(dir.file("script.sh"), "B=" + std::string(DROPKIT_BATCH_PATH) + "\n" + script);
  const std::string out = dir.file("stdout"), err = dir.file("stderr");
  Result r;
  r.status = Shell("bash " + dir.file("script.sh") + " >" + out + " 2>" + err);
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

}  // namespace dk::test

#endif  // DROPKIT_TESTING_PROGRAMS_H_
