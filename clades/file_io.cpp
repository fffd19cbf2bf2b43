#include "clades/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/env.h"
#include "platform/errors.h"

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

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

// Removes the temporaries still listed when a write is abandoned.
class TemporaryFiles {
 public:
  ~TemporaryFiles() {
    for (const std::string& t : paths_) Env::Current()->Unlink(t);
  }
  void Add(const std::string& path) { paths_.push_back(path); }
  const std::string& operator[](std::size_t i) const { return paths_[i]; }
  void Release() { paths_.clear(); }

 private:
  std::vector<std::string> paths_;
};

// Creates a fresh temporary beside `target`; returns its descriptor and stores its name.
int CreateTemporary(const std::string& target, std::string* name) {
  const std::filesystem::path p(target);
  const std::string dir = p.parent_path().empty() ? "." : p.parent_path().string();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    *name = dir + "/." + p.filename().string() + ".tmp" + std::to_string(::getpid()) + "_" +
            std::to_string(attempt);
    int fd = -1;
    const int rc = Env::Current()->Open(*name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644, &fd);
    if (rc == 0) return fd;
    if (rc != -EEXIST) Raise("Cannot write " + Quoted(target) + ": " + ErrnoText(-rc));
  }
  Raise("Cannot write " + Quoted(target) + ": no free temporary name beside it");
}

void WriteAll(int fd, const std::string& bytes, const std::string& target) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const long n = Env::Current()->Write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && n == -EINTR) continue;
    if (n <= 0) Raise("Cannot write " + Quoted(target) + ": " + ErrnoText(n < 0 ? int(-n) : EIO));
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::string ReadBoundedFile(const std::string& path, std::size_t limit, const std::string& what) {
  Env* env = Env::Current();
  int fd = -1;
  const int rc = env->Open(path, O_RDONLY | O_CLOEXEC, 0, &fd);
  if (rc != 0) Raise("Cannot read " + what + " " + Quoted(path) + ": " + ErrnoText(-rc));
  FdCloser closer(fd);
  struct stat st {};
  if (env->FileStat(fd, &st) == 0 && S_ISDIR(st.st_mode))
    Raise("Cannot read " + what + " " + Quoted(path) + ": it is a folder");
  std::string bytes;
  char buf[1 << 16];
  for (;;) {
    const long n = env->Read(fd, buf, sizeof buf);
    if (n == -EINTR) continue;
    if (n < 0) Raise("Cannot read " + what + " " + Quoted(path) + ": " + ErrnoText(int(-n)));
    if (n == 0) break;
    if (bytes.size() + static_cast<std::size_t>(n) > limit)
      Raise("Cannot read " + what + " " + Quoted(path) + ": it is larger than the limit of " +
            std::to_string(limit) + " bytes");
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  return bytes;
}

void WriteFilesAtomically(const std::vector<OutputFile>& files) {
  Env* env = Env::Current();
  TemporaryFiles temps;
  for (const auto& [target, bytes] : files) {
    std::string name;
    const int fd = CreateTemporary(target, &name);
    temps.Add(name);
    FdCloser closer(fd);
    WriteAll(fd, bytes, target);
    int rc = env->Sync(fd);
    if (rc == 0) rc = closer.Close();
    if (rc != 0) Raise("Cannot write " + Quoted(target) + ": " + ErrnoText(-rc));
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const int rc = env->Rename(temps[i], files[i].first);
    if (rc != 0) Raise("Cannot write " + Quoted(files[i].first) + ": " + ErrnoText(-rc));
  }
  temps.Release();
}

}  // namespace dk::clades
