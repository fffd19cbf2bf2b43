// The process's surroundings: files, folders, clock, entropy and the console.
//
// Every run-time operation reaches the operating system through the current Env, so
// tests can fix the clock, capture the console and inject failures by installing an
// EnvWrapper that overrides only the call they want to change. The calls mirror
// POSIX: they return 0 (or a count) on success and a negated errno on failure.
//
// Threading: the current Env is process-wide and must only be changed while no
// run-time operation runs.
#ifndef DROPKIT_OS_ENV_H_
#define DROPKIT_OS_ENV_H_

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dk {

// A moment of local time, as the clock reports it.
struct LocalTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  double seconds = 0;
};

// The date of `t` as "2026-12-07".
std::string DateText(const LocalTime& t);

class Env {
 public:
  virtual ~Env() = default;

  // The operating system's Env; never deleted.
  static Env* Default();
  // The Env that run-time operations use: Default() unless a test or tool installed another.
  static Env* Current();
  // Installs `env` (nullptr restores the default); returns the one it replaces.
  static Env* SetCurrent(Env* env);

  // open(2); stores the descriptor in *fd. Returns 0 or -errno.
  virtual int Open(const std::string& path, int flags, unsigned mode, int* fd) = 0;
  // read(2) and write(2): the count done, or -errno.
  virtual long Read(int fd, void* buf, std::size_t n) = 0;
  virtual long Write(int fd, const void* buf, std::size_t n) = 0;
  // fsync(2) and close(2): 0 or -errno.
  virtual int Sync(int fd) = 0;
  virtual int Close(int fd) = 0;
  // Starts writing bytes [offset, offset + n) of a file to its disk without waiting for
  // them (sync_file_range(2) with SYNC_FILE_RANGE_WRITE), so that a later Sync has less
  // left to do. 0 or -errno; a hint, which changes nothing that a reader sees.
  virtual int StartWriteback(int fd, std::uint64_t offset, std::uint64_t n) = 0;
  // fstat(2), stat(2), lstat(2): 0 or -errno.
  virtual int FileStat(int fd, struct stat* st) = 0;
  virtual int Stat(const std::string& path, struct stat* st) = 0;
  virtual int LinkStat(const std::string& path, struct stat* st) = 0;
  // The fully resolved absolute name of an existing file (realpath(3)).
  virtual int RealPath(const std::string& path, std::string* out) = 0;
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  // faccessat(2) with the effective ids: 0 when the caller may `mode` (R_OK, W_OK) the file.
  virtual int Access(const std::string& path, int mode) = 0;
  // fchmod(2) and fchown(2) of an open file: 0 or -errno.
  virtual int FileChmod(int fd, unsigned mode) = 0;
  virtual int FileChown(int fd, unsigned uid, unsigned gid) = 0;
  // Gives the open file `fd` (made with O_TMPFILE) the name `path`: linkat(2) through
  // /proc/self/fd. 0, or -EEXIST when the name is taken, or another -errno.
  virtual int LinkOpenFile(int fd, const std::string& path) = 0;
  // link(2): gives the file `from` (a symbolic link itself, not what it names) the
  // second name `to`. 0, or -EEXIST when `to` is taken, or another -errno.
  virtual int Link(const std::string& from, const std::string& to) = 0;
  virtual int Unlink(const std::string& path) = 0;
  // mkdir(2) and rmdir(2): 0 or -errno.
  virtual int MakeDir(const std::string& path, unsigned mode) = 0;
  virtual int RemoveDir(const std::string& path) = 0;
  // The names in the folder `path`, "." and ".." left out, in no set order: 0 or -errno.
  virtual int ListDir(const std::string& path, std::vector<std::string>* names) = 0;
  // False when no process of the number `pid` exists (kill(2) with signal 0 says ESRCH).
  virtual bool ProcessExists(int pid) = 0;
  // Sets what the signal `sig` does (sigaction(2)): `handler`, or SIG_IGN. With
  // `only_if_default`, a signal the process already handles or ignores (as a parent
  // asked) is left as it is. Returns 0 when it was set, 1 when it was left, or -errno.
  // A handler runs outside any Env: it may make only async-signal-safe calls itself.
  virtual int HandleSignal(int sig, void (*handler)(int), bool only_if_default) = 0;
  virtual int ChangeDir(const std::string& path) = 0;
  virtual int CurrentDir(std::string* out) = 0;

  // The value of the environment variable `name` (getenv(3)); false when it is not set.
  virtual bool Variable(const std::string& name, std::string* value) = 0;
  // This process's number (getpid(2)).
  virtual int ProcessId() = 0;
  // The processors the process may run on at once (at least 1).
  virtual unsigned Processors() = 0;

  // The local date and time now.
  virtual LocalTime Now() = 0;
  // Seconds east of UTC of the local time zone at the local time `t` (negative west),
  // by the C library's time zone rules (TZ, /etc/localtime); 0 when they cannot say.
  virtual long ZoneOffset(const LocalTime& t) = 0;
  // Fills `buf` with bytes from the operating system's entropy source.
  virtual void Entropy(void* buf, std::size_t n) = 0;

  // Runs the program argv[0] (found on PATH) with `input` as its standard input and its
  // standard error discarded, and stores its standard output in *output. Returns its exit
  // status (0 for success), 128 + the signal that ended it, -ENOENT when there is no such
  // program, -EFBIG (the program killed) when it writes more than `max_output` bytes, or
  // another -errno. REQUIRES: argv is not empty.
  virtual int RunFilter(const std::vector<std::string>& argv, std::string_view input,
                        std::size_t max_output, std::string* output) = 0;

  // Console streams. Failures are ignored: a display never stops a command.
  virtual void ConsoleOut(std::string_view text) = 0;
  virtual void ConsoleErr(std::string_view text) = 0;
};

// Forwards every call to another Env; tests override what they need.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  int Open(const std::string& path, int flags, unsigned mode, int* fd) override {
    return target_->Open(path, flags, mode, fd);
  }
  long Read(int fd, void* buf, std::size_t n) override { return target_->Read(fd, buf, n); }
  long Write(int fd, const void* buf, std::size_t n) override { return target_->Write(fd, buf, n); }
  int Sync(int fd) override { return target_->Sync(fd); }
  int Close(int fd) override { return target_->Close(fd); }
  int StartWriteback(int fd, std::uint64_t offset, std::uint64_t n) override {
    return target_->StartWriteback(fd, offset, n);
  }
  int FileStat(int fd, struct stat* st) override { return target_->FileStat(fd, st); }
  int Stat(const std::string& path, struct stat* st) override { return target_->Stat(path, st); }
  int LinkStat(const std::string& path, struct stat* st) override {
    return target_->LinkStat(path, st);
  }
  int RealPath(const std::string& path, std::string* out) override {
    return target_->RealPath(path, out);
  }
  int Rename(const std::string& from, const std::string& to) override {
    return target_->Rename(from, to);
  }
  int Access(const std::string& path, int mode) override { return target_->Access(path, mode); }
  int FileChmod(int fd, unsigned mode) override { return target_->FileChmod(fd, mode); }
  int FileChown(int fd, unsigned uid, unsigned gid) override {
    return target_->FileChown(fd, uid, gid);
  }
  int LinkOpenFile(int fd, const std::string& path) override {
    return target_->LinkOpenFile(fd, path);
  }
  int Link(const std::string& from, const std::string& to) override {
    return target_->Link(from, to);
  }
  int Unlink(const std::string& path) override { return target_->Unlink(path); }
  int MakeDir(const std::string& path, unsigned mode) override {
    return target_->MakeDir(path, mode);
  }
  int RemoveDir(const std::string& path) override { return target_->RemoveDir(path); }
  int ListDir(const std::string& path, std::vector<std::string>* names) override {
    return target_->ListDir(path, names);
  }
  bool ProcessExists(int pid) override { return target_->ProcessExists(pid); }
  int HandleSignal(int sig, void (*handler)(int), bool only_if_default) override {
    return target_->HandleSignal(sig, handler, only_if_default);
  }
  int ChangeDir(const std::string& path) override { return target_->ChangeDir(path); }
  int CurrentDir(std::string* out) override { return target_->CurrentDir(out); }
  bool Variable(const std::string& name, std::string* value) override {
    return target_->Variable(name, value);
  }
  int ProcessId() override { return target_->ProcessId(); }
  unsigned Processors() override { return target_->Processors(); }
  LocalTime Now() override { return target_->Now(); }
  long ZoneOffset(const LocalTime& t) override { return target_->ZoneOffset(t); }
  void Entropy(void* buf, std::size_t n) override { target_->Entropy(buf, n); }
  int RunFilter(const std::vector<std::string>& argv, std::string_view input,
                std::size_t max_output, std::string* output) override {
    return target_->RunFilter(argv, input, max_output, output);
  }
  void ConsoleOut(std::string_view text) override { target_->ConsoleOut(text); }
  void ConsoleErr(std::string_view text) override { target_->ConsoleErr(text); }

 private:
  Env* target_;
};

// Installs an Env for the life of a scope (tests).
class ScopedEnv {
 public:
  explicit ScopedEnv(Env* env) : previous_(Env::SetCurrent(env)) {}
  ~ScopedEnv() { Env::SetCurrent(previous_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  Env* previous_;
};

// The text of an errno value ("No such file or directory").
std::string ErrnoText(int err);

// Shows "Warning: " and the text on the current Env's console error stream; a warning
// never stops a call.
void Warn(const std::string& message);

}  // namespace dk

#endif  // DROPKIT_OS_ENV_H_
