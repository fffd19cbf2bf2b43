#include "jackknife/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/env.h"
#include "platform/errors.h"

namespace dk {
namespace {

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

[[noreturn]] void RaiseErrno(const std::string& what, const std::string& path, int err) {
  Raise(what + " " + Quote(path) + ": " + ErrnoText(err));
}

// Writes all of `bytes` to `fd`; 0 or -errno.
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const long n = Env::Current()->Write(fd, bytes.data(), bytes.size());
    if (n < 0) return static_cast<int>(n);
    if (n == 0) return -EIO;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::string cwd;
  if (const int r = Env::Current()->CurrentDir(&cwd); r < 0) RaiseErrno("Cannot resolve", path, r);
  return cwd == "/" ? "/" + path : cwd + "/" + path;
}

// A temporary file that is closed and removed unless it was renamed into place.
class Temporary {
 public:
  Temporary(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~Temporary() {
    if (fd_ >= 0) Env::Current()->Close(fd_);
    if (!path_.empty()) Env::Current()->Unlink(path_);
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return Env::Current()->Close(fd);
  }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
  int fd_;
};

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  Env* env = Env::Current();
  if (path == "-" || path == "/dev/stdout") {
    if (const int r = WriteAll(STDOUT_FILENO, bytes); r < 0) {
      Raise("Cannot write to standard output: " + ErrnoText(r));
    }
    return;
  }
  if (path.empty()) Raise("The output file name is empty");
  std::string target = Absolute(path);
  struct stat st {};
  int r = env->LinkStat(target, &st);
  const bool exists = r == 0;
  if (r < 0 && r != -ENOENT) RaiseErrno("Cannot write to", target, r);
  if (exists && S_ISLNK(st.st_mode)) {
    std::string real;
    if (const int rr = env->RealPath(target, &real); rr < 0) {
      RaiseErrno("Cannot write through the link", target, rr);
    }
    target = real;
    if (const int rs = env->Stat(target, &st); rs < 0) RaiseErrno("Cannot write to", target, rs);
  }
  if (exists && S_ISDIR(st.st_mode)) RaiseErrno("Cannot write to", target, EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    int fd = -1;
    if (const int ro = env->Open(target, O_WRONLY, 0, &fd); ro < 0) {
      RaiseErrno("Cannot open", target, ro);
    }
    const int rw = WriteAll(fd, bytes);
    const int rc = env->Close(fd);
    if (rw < 0) RaiseErrno("Cannot write", target, rw);
    if (rc < 0) RaiseErrno("Cannot write", target, rc);
    return;
  }
  const std::size_t slash = target.rfind('/');
  const std::string stem = target.substr(0, slash + 1) + "." + target.substr(slash + 1) +
                           ".dropkit-" + std::to_string(::getpid()) + "-";
  const unsigned mode = exists ? (st.st_mode & 07777) : 0666;
  static unsigned counter = 0;
  int fd = -1;
  std::string temp;
  for (int attempt = 0;; ++attempt) {
    temp = stem + std::to_string(++counter);
    r = env->Open(temp, O_WRONLY | O_CREAT | O_EXCL, mode, &fd);
    if (r == 0) break;
    if (r != -EEXIST || attempt > 100)
      RaiseErrno("Cannot create a file in the folder of", target, r);
  }
  Temporary file(temp, fd);
  if (const int rw = WriteAll(file.fd(), bytes); rw < 0) RaiseErrno("Cannot write", target, rw);
  if (const int rs = env->Sync(file.fd()); rs < 0) RaiseErrno("Cannot write", target, rs);
  if (const int rc = file.Close(); rc < 0) RaiseErrno("Cannot write", target, rc);
  if (const int rn = env->Rename(file.path(), target); rn < 0)
    RaiseErrno("Cannot replace", target, rn);
  file.Keep();
}

}  // namespace dk
