#include "os/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/copy_bytes.h"
#include "base/errors.h"
#include "os/background_writes.h"
#include "os/env.h"
#include "os/signal_cleanup.h"

namespace dk {
namespace {

constexpr std::size_t kChunk = 1 << 16;
const char kStdoutPath[] = "/dev/stdout";

std::string& ProtectedPath() {
  static std::string* path = new std::string;
  return *path;
}

// A short hidden name in `dir` (ending with "/"): short, so that it fits wherever the
// target's own name fits.
std::string TemporaryName(const std::string& dir) {
  static std::atomic<unsigned> counter = 0;
  const std::uint32_t mix =
      static_cast<std::uint32_t>(Env::Current()->ProcessId()) * 2654435761u + (++counter * 40503u);
  char buf[16];
  std::snprintf(buf, sizeof buf, ".dk%08x", mix);
  return dir + buf;
}

}  // namespace

void RaiseFileError(const std::string& what, const std::string& path, int err) {
  Raise(what + " " + QuoteForMessage(path) + ": " + ErrnoText(err));
}

void SetProtectedInput(const std::string& path) {
  ProtectedPath() = path;
}

const std::string& ProtectedInput() {
  return ProtectedPath();
}

void RefuseProtectedInput(const std::string& target) {
  const std::string& input = ProtectedInput();
  if (input.empty()) return;
  Env* env = Env::Current();
  struct stat out {
  }, in{};
  if (env->Stat(target, &out) == 0 && S_ISREG(out.st_mode) && env->Stat(input, &in) == 0 &&
      in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
    Raise("The listing would replace its own name list " + QuoteForMessage(input) +
          ": choose another output file");
  }
}

class WholeFileWriter::Impl {
 public:
  explicit Impl(std::string path) : target_(std::move(path)) {
    Env* env = Env::Current();
    if (target_ == kStdoutPath) {
      fd_ = STDOUT_FILENO;
      owns_fd_ = false;
      return;
    }
    struct stat st {};
    int r = env->LinkStat(target_, &st);
    exists_ = r == 0;
    if (r < 0 && r != -ENOENT) RaiseFileError("Cannot write to", target_, r);
    if (exists_ && S_ISLNK(st.st_mode)) {
      std::string real;
      if (const int rr = env->RealPath(target_, &real); rr < 0) {
        RaiseFileError("Cannot write through the link", target_, rr);
      }
      target_ = real;
      if (const int rs = env->Stat(target_, &st); rs < 0)
        RaiseFileError("Cannot write to", target_, rs);
    }
    if (exists_ && S_ISDIR(st.st_mode)) RaiseFileError("Cannot write to", target_, EISDIR);
    if (exists_) RefuseProtectedInput(target_);
    if (exists_ && !S_ISREG(st.st_mode)) {
      if (const int ro = env->Open(target_, O_WRONLY, 0, &fd_); ro < 0) {
        RaiseFileError("Cannot open", target_, ro);
      }
      return;
    }
    if (exists_) {
      if (const int ra = env->Access(target_, W_OK); ra < 0) {
        Raise("Cannot replace " + QuoteForMessage(target_) + ": " + ErrnoText(ra) +
              " (you may not write to it; it was left as it was)");
      }
    }
    dir_ = target_.substr(0, target_.rfind('/') + 1);
    const unsigned mode = exists_ ? (st.st_mode & 07777) : 0666;
    r = env->Open(dir_, O_TMPFILE | O_WRONLY, mode, &fd_);
    if (r == -EOPNOTSUPP || r == -EISDIR || r == -EINVAL) {
      OpenNamedTemporary(mode);
    } else if (r < 0) {
      RaiseFileError("Cannot create a file in the folder of", target_, r);
    } else {
      unnamed_ = true;
    }
    if (!exists_) return;
    try {
      KeepModeAndOwner(st);
    } catch (...) {
      Drop();  // no destructor runs for an object not made
      throw;
    }
  }

  ~Impl() { Drop(); }

  // Room for `n` more bytes at the end of the buffer.
  char* Extend(std::size_t n) { return buffer_.Grow(n); }

  void FlushIfFull() {
    if (buffer_.size() >= flush_at_) Flush();
  }

  // Writes `piece` after what is buffered, through the buffer: a bounded copy at a time.
  void WritePiece(std::string_view piece) {
    while (!piece.empty()) {
      const std::size_t n = std::min(piece.size(), kChunk);
      CopyBytes(buffer_.Grow(n), piece.data(), n);
      piece.remove_prefix(n);
      if (buffer_.size() >= flush_at_) Flush();
    }
  }

  // Writes `bytes` as they are, after what is buffered.
  void WriteBytes(std::string_view bytes) {
    Flush();
    FinishBackground();
    WriteFully(bytes);
  }

  // Flushes and syncs the file, then gives it the target's name.
  void Commit() {
    Env* env = Env::Current();
    Flush();
    FinishBackground();
    if (!owns_fd_) return;
    const bool replacing = unnamed_ || !temp_.empty();
    if (replacing) {
      if (const int r = env->Sync(fd_); r < 0) RaiseFileError("Cannot write", target_, r);
    }
    if (unnamed_) NameUnnamed();
    const int fd = fd_;
    fd_ = -1;
    if (const int r = env->Close(fd); r < 0) {
      // A file named straight as the target goes again; a temporary goes with this.
      if (unnamed_ && temp_.empty()) env->Unlink(target_);
      RaiseFileError("Cannot write", target_, r);
    }
    if (!temp_.empty()) RenameTemporary();
  }

 private:
  // Drops the write: closes the file and removes the temporary, if any.
  void Drop() {
    background_.reset();  // no write may follow the close
    Env* env = Env::Current();
    if (fd_ >= 0 && owns_fd_) env->Close(fd_);
    fd_ = -1;
    if (!temp_.empty()) env->Unlink(temp_);
    temp_.clear();
    ReleaseOnSignal(std::exchange(temp_slot_, -1));
  }

  void OpenNamedTemporary(unsigned mode) {
    Env* env = Env::Current();
    for (int attempt = 0;; ++attempt) {
      temp_ = TemporaryName(dir_);
      temp_slot_ = RemoveOnSignal(temp_, false);
      const int r = env->Open(temp_, O_WRONLY | O_CREAT | O_EXCL, mode, &fd_);
      if (r == 0) return;
      ReleaseOnSignal(std::exchange(temp_slot_, -1));
      temp_.clear();
      if (r != -EEXIST || attempt > 100) {
        RaiseFileError("Cannot create a file in the folder of", target_, r);
      }
    }
  }

  // A replaced file keeps its permission bits whatever the umask, and its owner where
  // the process may give it (root replacing another user's file).
  void KeepModeAndOwner(const struct stat& st) {
    Env* env = Env::Current();
    if (const int r = env->FileChmod(fd_, st.st_mode & 07777); r < 0) {
      RaiseFileError("Cannot keep the permissions of", target_, r);
    }
    struct stat mine {};
    if (env->FileStat(fd_, &mine) == 0 && (mine.st_uid != st.st_uid || mine.st_gid != st.st_gid)) {
      env->FileChown(fd_, st.st_uid, st.st_gid);  // where it is not allowed, the file is ours
    }
  }

  // Names the unnamed file: straight as the target when there is none, otherwise under a
  // temporary name that then replaces the target in one step.
  void NameUnnamed() {
    Env* env = Env::Current();
    if (!exists_) {
      const int r = env->LinkOpenFile(fd_, target_);
      if (r == 0) return;
      if (r != -EEXIST) RaiseFileError("Cannot create", target_, r);
    }
    for (int attempt = 0;; ++attempt) {
      temp_ = TemporaryName(dir_);
      temp_slot_ = RemoveOnSignal(temp_, false);
      const int r = env->LinkOpenFile(fd_, temp_);
      if (r == 0) return;
      ReleaseOnSignal(std::exchange(temp_slot_, -1));
      temp_.clear();
      if (r != -EEXIST || attempt > 100) RaiseFileError("Cannot create", target_, r);
    }
  }

  void RenameTemporary() {
    if (const int r = Env::Current()->Rename(temp_, target_); r < 0) {
      RaiseFileError("Cannot replace", target_, r);
    }
    temp_.clear();
    ReleaseOnSignal(std::exchange(temp_slot_, -1));
  }

  // Writes what is buffered; the buffer is empty afterwards, also after an error, and
  // keeps its room for the next text. A long file that Commit syncs is written on a
  // thread of its own from its second block on, while the next block is made; an error
  // of those writes is raised here or by Commit, and nothing after it reaches the file.
  void Flush() {
    if (background_ == nullptr && flushes_++ == 1 && replacing()) StartBackground();
    if (background_ != nullptr) {
      if (const int r = background_->Submit(&buffer_); r < 0) {
        buffer_.Clear();
        RaiseFileError("Cannot write", target_, r);
      }
      return;
    }
    struct Emptied {
      ByteBlock& buffer;
      ~Emptied() { buffer.Clear(); }
    } emptied{buffer_};
    WriteFully(std::string_view(buffer_.data(), buffer_.size()));
  }

  bool replacing() const { return owns_fd_ && (unnamed_ || !temp_.empty()); }

  void StartBackground() {
    Env* env = Env::Current();
    try {
      background_ = std::make_unique<BackgroundWrites>(
          [this, env](std::string_view bytes) { return WriteAll(env, bytes); });
      flush_at_ = kBackgroundBlock;
    } catch (const std::system_error&) {
      // No thread to be had: the caller writes, as for a short file.
    }
  }

  void FinishBackground() {
    if (background_ == nullptr) return;
    const int r = background_->Finish();
    background_.reset();
    flush_at_ = kChunk;
    if (r < 0) RaiseFileError("Cannot write", target_, r);
  }

  void WriteFully(std::string_view bytes) {
    if (const int r = WriteAll(Env::Current(), bytes); r < 0)
      RaiseFileError("Cannot write", target_, r);
  }

  // Writes all of `bytes`; returns 0 or a negative errno. Runs on the writing thread
  // while one is started.
  int WriteAll(Env* env, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const long n = env->Write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0) return static_cast<int>(n);
      if (n == 0) return -EIO;
      done += static_cast<std::size_t>(n);
    }
    written_ += bytes.size();
    // A file that Commit syncs starts on its way to the disk while the rest is made, so
    // that the sync at the end waits for little. Only a hint: a failure changes nothing.
    if (replacing() && written_ - writeback_from_ >= kWritebackStep) {
      env->StartWriteback(fd_, writeback_from_, written_ - writeback_from_);
      writeback_from_ = written_;
    }
    return 0;
  }

  static constexpr std::uint64_t kWritebackStep = std::uint64_t{1} << 20;
  static constexpr std::size_t kBackgroundBlock = std::size_t{256} << 10;

  std::string target_;
  std::string dir_;   // the target's folder, ending with "/"
  std::string temp_;  // a named temporary, while one exists
  int temp_slot_ = -1;
  ByteBlock buffer_;
  std::uint64_t written_ = 0;         // bytes written to the file so far
  std::uint64_t writeback_from_ = 0;  // where the bytes not yet sent to the disk start
  int fd_ = -1;
  bool owns_fd_ = true;
  bool exists_ = false;
  bool unnamed_ = false;           // an O_TMPFILE file, not yet named
  std::size_t flush_at_ = kChunk;  // buffered bytes that are written out
  int flushes_ = 0;
  std::unique_ptr<BackgroundWrites> background_;
};

WholeFileWriter::WholeFileWriter(const std::string& path)
    : impl_(std::make_unique<Impl>(path == "-" ? std::string(kStdoutPath) : path)) {}

WholeFileWriter::~WholeFileWriter() = default;

char* WholeFileWriter::Extend(std::size_t n) {
  return impl_->Extend(n);
}

void WholeFileWriter::FlushIfFull() {
  impl_->FlushIfFull();
}

void WholeFileWriter::WritePiece(std::string_view piece) {
  impl_->WritePiece(piece);
}

void WholeFileWriter::WriteBytes(std::string_view bytes) {
  impl_->WriteBytes(bytes);
}

void WholeFileWriter::Commit() {
  impl_->Commit();
}

std::string AbsolutePath(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  std::string cwd;
  if (const int r = Env::Current()->CurrentDir(&cwd); r < 0) {
    RaiseFileError("Cannot resolve", name, r);
  }
  return cwd == "/" ? "/" + name : cwd + "/" + name;
}

std::string ByteSizeText(std::uint64_t bytes) {
  static const char* const kUnits[] = {"GiB", "MiB", "KiB"};
  for (int u = 0; u < 3; ++u) {
    const std::uint64_t unit = std::uint64_t{1} << (10 * (3 - u));
    if (bytes >= unit && bytes % unit == 0) return std::to_string(bytes / unit) + " " + kUnits[u];
  }
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

namespace {

// A file open for reading through the current Env, closed when the scope ends; every
// failure raises "Cannot read <what> '<path>': <reason>".
class InputFile {
 public:
  InputFile(const std::string& path, const std::string& what) : path_(path), what_(what) {
    if (path.empty()) Fail("no file is named");
    if (const int r = env_->Open(path, O_RDONLY | O_CLOEXEC, 0, &fd_); r < 0) Fail(ErrnoText(r));
    if (const int r = env_->FileStat(fd_, &st_); r < 0) Fail(ErrnoText(r));
    if (S_ISDIR(st_.st_mode)) Fail("it is a folder");
  }
  ~InputFile() {
    if (fd_ >= 0) env_->Close(fd_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  [[noreturn]] void Fail(const std::string& reason) const {
    Raise("Cannot read " + what_ + " " + QuoteForMessage(path_) + ": " + reason);
  }
  const struct stat& status() const { return st_; }

  // Reads up to `n` bytes into `buf`: the count read, 0 at the end of the file.
  std::size_t Read(char* buf, std::size_t n) {
    for (;;) {
      const long got = env_->Read(fd_, buf, n);
      if (got == -EINTR) continue;
      if (got < 0) Fail(ErrnoText(static_cast<int>(got)));
      return static_cast<std::size_t>(got);
    }
  }

 private:
  Env* env_ = Env::Current();
  std::string path_;
  std::string what_;
  int fd_ = -1;
  struct stat st_ {};
};

}  // namespace

std::string ReadFileStart(const std::string& path, std::size_t n, const std::string& what) {
  InputFile file(path, what);
  std::string bytes(n, '\0');
  std::size_t done = 0;
  while (done < n) {
    const std::size_t got = file.Read(bytes.data() + done, n - done);
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

std::string ReadBoundedFile(const std::string& path, std::uint64_t limit, const std::string& what,
                            FileKinds kinds) {
  InputFile file(path, what);
  const struct stat& st = file.status();
  if (kinds == FileKinds::kRegularOnly && !S_ISREG(st.st_mode)) {
    file.Fail("it is not a regular file");
  }
  const auto too_large = [&] {
    file.Fail("it is larger than " + ByteSizeText(limit) + ", the most " + what + " may hold");
  };
  const std::uint64_t measured = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  if (measured > limit) too_large();
  // Read into a text of the measured size; a file that grew since it was measured, and
  // a pipe or a device, is read on in blocks.
  std::string bytes(static_cast<std::size_t>(measured), '\0');
  std::size_t done = 0;
  std::string block;
  for (;;) {
    if (done == bytes.size()) {
      block.resize(kChunk);
      const std::size_t n = file.Read(block.data(), block.size());
      if (n == 0) break;
      if (bytes.size() + n > limit) too_large();
      bytes.append(block, 0, n);
      done = bytes.size();
      continue;
    }
    const std::size_t n = file.Read(bytes.data() + done, bytes.size() - done);
    if (n == 0) break;
    done += n;
  }
  bytes.resize(done);
  return bytes;
}

void WriteWholeFile(const std::string& name, std::string_view bytes) {
  if (name.empty()) Raise("The output file name is empty");
  WholeFileWriter writer(name == "-" ? name : AbsolutePath(name));
  writer.WriteBytes(bytes);
  writer.Commit();
}

void WriteWholeFile(const std::string& name, const std::function<void(const ByteSink&)>& produce) {
  if (name.empty()) Raise("The output file name is empty");
  WholeFileWriter writer(name == "-" ? name : AbsolutePath(name));
  produce([&](std::string_view piece) { writer.WritePiece(piece); });
  writer.Commit();
}
}  // namespace dk
