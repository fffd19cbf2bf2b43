#include "os/env.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <thread>

namespace dk {

std::string DateText(const LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  return buf;
}
namespace {

long Result(long r) {
  return r < 0 ? -errno : r;
}

// Writes all of `text`; false when a write fails.
bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

class PosixEnv : public Env {
 public:
  int Open(const std::string& path, int flags, unsigned mode, int* fd) override {
    int r;
    do {
      r = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -errno;
    *fd = r;
    return 0;
  }
  long Read(int fd, void* buf, std::size_t n) override {
    ssize_t r;
    do {
      r = ::read(fd, buf, n);
    } while (r < 0 && errno == EINTR);
    return Result(r);
  }
  long Write(int fd, const void* buf, std::size_t n) override {
    ssize_t r;
    do {
      r = ::write(fd, buf, n);
    } while (r < 0 && errno == EINTR);
    return Result(r);
  }
  int Sync(int fd) override { return static_cast<int>(Result(::fsync(fd))); }
  int StartWriteback(int fd, std::uint64_t offset, std::uint64_t n) override {
    return static_cast<int>(Result(::sync_file_range(
        fd, static_cast<off64_t>(offset), static_cast<off64_t>(n), SYNC_FILE_RANGE_WRITE)));
  }
  int Close(int fd) override { return static_cast<int>(Result(::close(fd))); }
  int FileStat(int fd, struct stat* st) override {
    return static_cast<int>(Result(::fstat(fd, st)));
  }
  int Stat(const std::string& path, struct stat* st) override {
    return static_cast<int>(Result(::stat(path.c_str(), st)));
  }
  int LinkStat(const std::string& path, struct stat* st) override {
    return static_cast<int>(Result(::lstat(path.c_str(), st)));
  }
  int RealPath(const std::string& path, std::string* out) override {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return -errno;
    *out = resolved;
    std::free(resolved);
    return 0;
  }
  int Rename(const std::string& from, const std::string& to) override {
    return static_cast<int>(Result(::rename(from.c_str(), to.c_str())));
  }
  int Access(const std::string& path, int mode) override {
    return static_cast<int>(Result(::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS)));
  }
  int FileChmod(int fd, unsigned mode) override {
    return static_cast<int>(Result(::fchmod(fd, static_cast<mode_t>(mode))));
  }
  int FileChown(int fd, unsigned uid, unsigned gid) override {
    return static_cast<int>(Result(::fchown(fd, static_cast<uid_t>(uid), static_cast<gid_t>(gid))));
  }
  int LinkOpenFile(int fd, const std::string& path) override {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    return static_cast<int>(
        Result(::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW)));
  }
  int Link(const std::string& from, const std::string& to) override {
    return static_cast<int>(Result(::link(from.c_str(), to.c_str())));
  }
  int Unlink(const std::string& path) override {
    return static_cast<int>(Result(::unlink(path.c_str())));
  }
  int MakeDir(const std::string& path, unsigned mode) override {
    return static_cast<int>(Result(::mkdir(path.c_str(), static_cast<mode_t>(mode))));
  }
  int RemoveDir(const std::string& path) override {
    return static_cast<int>(Result(::rmdir(path.c_str())));
  }
  int ListDir(const std::string& path, std::vector<std::string>* names) override {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return -errno;
    names->clear();
    errno = 0;
    while (const dirent* d = ::readdir(dir)) {
      if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0) {
        names->emplace_back(d->d_name);
      }
    }
    const int err = errno;
    ::closedir(dir);
    return -err;
  }
  bool ProcessExists(int pid) override { return ::kill(pid, 0) == 0 || errno != ESRCH; }
  int HandleSignal(int sig, void (*handler)(int), bool only_if_default) override {
    if (only_if_default) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) != 0) return -errno;
      if (old.sa_handler != SIG_DFL) return 1;
    }
    struct sigaction act {};
    act.sa_handler = handler;
    sigemptyset(&act.sa_mask);
    return ::sigaction(sig, &act, nullptr) == 0 ? 0 : -errno;
  }
  int ChangeDir(const std::string& path) override {
    return static_cast<int>(Result(::chdir(path.c_str())));
  }
  int CurrentDir(std::string* out) override {
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr) return -errno;
    *out = cwd;
    std::free(cwd);
    return 0;
  }
  bool Variable(const std::string& name, std::string* value) override {
    const char* text = std::getenv(name.c_str());
    if (text == nullptr) return false;
    *value = text;
    return true;
  }
  int ProcessId() override { return static_cast<int>(::getpid()); }
  unsigned Processors() override { return std::max(1u, std::thread::hardware_concurrency()); }
  LocalTime Now() override {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    ::localtime_r(&ts.tv_sec, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.seconds = tm.tm_sec + static_cast<double>(ts.tv_nsec) / 1e9;
    return t;
  }
  long ZoneOffset(const LocalTime& t) override {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = static_cast<int>(t.seconds);
    tm.tm_isdst = -1;
    const std::time_t instant = std::mktime(&tm);
    std::tm local{};
    if (instant == static_cast<std::time_t>(-1) || ::localtime_r(&instant, &local) == nullptr) {
      return 0;
    }
    return local.tm_gmtoff;
  }
  void Entropy(void* buf, std::size_t n) override {
    auto* p = static_cast<unsigned char*>(buf);
    while (n > 0) {
      const ssize_t r = ::getrandom(p, n, 0);
      if (r < 0) {
        if (errno == EINTR) continue;
        // No entropy source: fall back to the C++ library's device.
        std::random_device dev;
        for (; n > 0; --n) *p++ = static_cast<unsigned char>(dev());
        return;
      }
      p += r;
      n -= static_cast<std::size_t>(r);
    }
  }
  int RunFilter(const std::vector<std::string>& argv, std::string_view input,
                std::size_t max_output, std::string* output) override;
  void ConsoleOut(std::string_view text) override { WriteAll(STDOUT_FILENO, text); }
  void ConsoleErr(std::string_view text) override { WriteAll(STDERR_FILENO, text); }
};

// Closes a descriptor when a scope ends.
struct FdGuard {
  int fd = -1;
  ~FdGuard() {
    if (fd >= 0) ::close(fd);
  }
};

int PosixEnv::RunFilter(const std::vector<std::string>& argv, std::string_view input,
                        std::size_t max_output, std::string* output) {
  // The input goes through an unnamed file, so that a program that stops reading early
  // can never block this process or raise SIGPIPE in it.
  FdGuard in{static_cast<int>(::memfd_create("dropkit-input", MFD_CLOEXEC))};
  if (in.fd < 0) return -errno;
  if (!WriteAll(in.fd, input)) return -EIO;
  if (::lseek(in.fd, 0, SEEK_SET) < 0) return -errno;
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return -errno;
  FdGuard out{pipe_fds[0]}, child_out{pipe_fds[1]};

  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, in.fd, STDIN_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, child_out.fd, STDOUT_FILENO);
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -spawned;
  ::close(child_out.fd);
  child_out.fd = -1;

  // The child is always reaped, also when storing its output runs out of memory.
  const auto reap = [pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) return -1;
    }
    return status;
  };
  bool too_much = false;
  try {
    output->clear();
    char buf[65536];
    for (;;) {
      const ssize_t r = ::read(out.fd, buf, sizeof buf);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      if (output->size() + static_cast<std::size_t>(r) > max_output) {
        too_much = true;
        ::kill(pid, SIGKILL);
        break;
      }
      output->append(buf, static_cast<std::size_t>(r));
    }
  } catch (...) {
    ::kill(pid, SIGKILL);
    reap();
    throw;
  }
  const int status = reap();
  if (status < 0) return -ECHILD;
  if (too_much) return -EFBIG;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -ECHILD;
}

Env* current_env = nullptr;

}  // namespace

Env* Env::Default() {
  static PosixEnv* env = new PosixEnv;
  return env;
}

Env* Env::Current() {
  return current_env != nullptr ? current_env : Default();
}

Env* Env::SetCurrent(Env* env) {
  Env* previous = current_env;
  current_env = env;
  return previous;
}

std::string ErrnoText(int err) {
  char buf[256];
  // GNU strerror_r may return a static string instead of filling buf.
  const char* text = ::strerror_r(err < 0 ? -err : err, buf, sizeof buf);
  return text;
}

void Warn(const std::string& message) {
  Env::Current()->ConsoleErr("Warning: " + message + "\n");
}

}  // namespace dk
