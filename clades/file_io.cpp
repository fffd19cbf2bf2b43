#include "clades/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/errors.h"
#include "os/env.h"

namespace dk::clades {
namespace {

// Closes a descriptor when a scope ends early.
class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) Env::Current()->Close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;
  // Closes now; returns 0 or -errno.
  int Close() {
    const int rc = Env::Current()->Close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

}  // namespace

std::string ReadBoundedFile(const std::string& path, std::size_t limit, const std::string& what) {
  Env* env = Env::Current();
  int fd = -1;
  const int rc = env->Open(path, O_RDONLY | O_CLOEXEC, 0, &fd);
  if (rc != 0) Raise("Cannot read " + what + " " + QuoteForMessage(path) + ": " + ErrnoText(-rc));
  FdCloser closer(fd);
  struct stat st {};
  if (env->FileStat(fd, &st) == 0 && S_ISDIR(st.st_mode))
    Raise("Cannot read " + what + " " + QuoteForMessage(path) + ": it is a folder");
  std::string bytes;
  char buf[1 << 16];
  for (;;) {
    const long n = env->Read(fd, buf, sizeof buf);
    if (n == -EINTR) continue;
    if (n < 0)
      Raise("Cannot read " + what + " " + QuoteForMessage(path) + ": " + ErrnoText(int(-n)));
    if (n == 0) break;
    if (bytes.size() + static_cast<std::size_t>(n) > limit)
      Raise("Cannot read " + what + " " + QuoteForMessage(path) +
            ": it is larger than the limit of " + std::to_string(limit) + " bytes");
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  return bytes;
}

}  // namespace dk::clades
