#include "platform/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/text.h"
#include "platform/utf8.h"

namespace dk {
namespace {

constexpr std::size_t kChunk = 1 << 16;
const char kStdoutPath[] = "/dev/stdout";

std::string Quote(const std::string& path) {
  return "'" + path + "'";
}

[[noreturn]] void RaiseErrno(const std::string& what, const std::string& path, int err) {
  Raise(what + " " + Quote(path) + ": " + ErrnoText(err));
}

std::string AbsolutePath(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  std::string cwd;
  if (const int r = Env::Current()->CurrentDir(&cwd); r < 0) {
    RaiseErrno("Cannot resolve", name, r);
  }
  return cwd == "/" ? "/" + name : cwd + "/" + name;
}

// A file opened for reading in text mode.
class Reader {
 public:
  Reader(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~Reader() { Env::Current()->Close(fd_); }

  // Reads the next line into *line; false at the end of the file.
  bool ReadLine(Value* line) {
    if (!started_) Start();
    return utf16_ ? ReadLine16(line) : ReadLine8(line);
  }

 private:
  // Reads one chunk of bytes; false at the end of the file.
  bool FillBytes() {
    if (pos_ > 0) {
      bytes_.erase(0, pos_);
      pos_ = 0;
    }
    const std::size_t old = bytes_.size();
    bytes_.resize(old + kChunk);
    const long n = Env::Current()->Read(fd_, bytes_.data() + old, kChunk);
    if (n < 0) {
      bytes_.resize(old);
      RaiseErrno("Cannot read file", path_, static_cast<int>(n));
    }
    bytes_.resize(old + static_cast<std::size_t>(n));
    if (n == 0) eof_ = true;
    // Most files have no "\r" and no byte above 0x7F: checking each chunk once spares a
    // search and a check per line.
    buffer_has_cr_ = std::memchr(bytes_.data(), '\r', bytes_.size()) != nullptr;
    buffer_ascii_ = IsAscii(bytes_);
    return n > 0;
  }

  void Start() {
    started_ = true;
    while (!eof_ && bytes_.size() < 3) FillBytes();
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes_[i]); };
    if (bytes_.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) {
      pos_ = 3;
    } else if (bytes_.size() >= 2 &&
               ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == 0xFE && b(1) == 0xFF))) {
      utf16_ = true;
      big_endian_ = b(0) == 0xFE;
      pos_ = 2;
    }
  }

  Value MakeLine(std::string_view bytes) const {
    return buffer_ascii_ ? Value::AsciiText(bytes) : Value::Text(bytes);
  }

  bool ReadLine8(Value* line) {
    std::size_t scan = pos_;
    for (;;) {
      const char* begin = bytes_.data() + scan;
      const char* end = bytes_.data() + bytes_.size();
      // Find the first "\n", then any "\r" before it; both searches are memchr's, and
      // the second is skipped while the buffer holds no "\r" at all.
      const char* hit = static_cast<const char*>(std::memchr(begin, '\n', end - begin));
      if (buffer_has_cr_) {
        const char* cr =
            static_cast<const char*>(std::memchr(begin, '\r', (hit ? hit : end) - begin));
        if (cr != nullptr) hit = cr;
      }
      if (hit != nullptr) {
        const std::size_t k = static_cast<std::size_t>(hit - bytes_.data());
        if (*hit == '\n') {
          *line = MakeLine(std::string_view(bytes_.data() + pos_, k + 1 - pos_));
          pos_ = k + 1;
          return true;
        }
        if (k + 1 == bytes_.size() && !eof_) {  // "\r" at the end of the buffer: is "\n" next?
          const std::size_t offset = k - pos_;
          FillBytes();
          scan = pos_ + offset;
          continue;
        }
        std::string text(bytes_.data() + pos_, k - pos_);
        text.push_back('\n');
        *line = Value::Text(std::string_view(text));
        pos_ = (k + 1 < bytes_.size() && bytes_[k + 1] == '\n') ? k + 2 : k + 1;
        return true;
      }
      if (eof_) {
        if (pos_ == bytes_.size()) return false;
        *line = MakeLine(std::string_view(bytes_.data() + pos_, bytes_.size() - pos_));
        pos_ = bytes_.size();
        return true;
      }
      const std::size_t offset = bytes_.size() - pos_;
      FillBytes();
      scan = pos_ + offset;
    }
  }

  // Moves whole code units from the byte buffer into the unit buffer.
  void FillUnits() {
    if (upos_ > 0) {
      units_.erase(0, upos_);
      upos_ = 0;
    }
    if (pos_ + 1 >= bytes_.size()) FillBytes();
    std::size_t i = pos_;
    for (; i + 1 < bytes_.size(); i += 2) {
      const auto hi = static_cast<unsigned char>(bytes_[big_endian_ ? i : i + 1]);
      const auto lo = static_cast<unsigned char>(bytes_[big_endian_ ? i + 1 : i]);
      units_.push_back(static_cast<char16_t>((hi << 8) | lo));
    }
    pos_ = i;
    if (eof_ && pos_ < bytes_.size()) {  // an odd byte at the end: keep it as an escape unit
      units_.push_back(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes_[pos_])));
      pos_ = bytes_.size();
    }
  }

  bool ReadLine16(Value* line) {
    std::size_t scan = upos_;
    for (;;) {
      const auto begin = units_.begin() + static_cast<std::ptrdiff_t>(scan);
      const auto hit =
          std::find_if(begin, units_.end(), [](char16_t u) { return u == u'\n' || u == u'\r'; });
      if (hit != units_.end()) {
        const std::size_t k = static_cast<std::size_t>(hit - units_.begin());
        if (*hit == u'\r' && k + 1 == units_.size() && !(eof_ && pos_ >= bytes_.size())) {
          const std::size_t offset = k - upos_;
          FillUnits();
          scan = upos_ + offset;
          continue;
        }
        std::u16string text(units_, upos_, k - upos_);
        text.push_back(u'\n');
        *line = Value::Text(std::u16string_view(text));
        upos_ = (*hit == u'\r' && k + 1 < units_.size() && units_[k + 1] == u'\n') ? k + 2 : k + 1;
        return true;
      }
      if (eof_ && pos_ >= bytes_.size()) {
        if (upos_ == units_.size()) return false;
        *line = Value::Text(std::u16string_view(units_).substr(upos_));
        upos_ = units_.size();
        return true;
      }
      const std::size_t offset = units_.size() - upos_;
      FillUnits();
      scan = upos_ + offset;
    }
  }

  int fd_;
  std::string path_;
  std::string bytes_;
  std::size_t pos_ = 0;
  std::u16string units_;
  std::size_t upos_ = 0;
  bool started_ = false;
  bool eof_ = false;
  bool buffer_has_cr_ = true;
  bool buffer_ascii_ = false;
  bool utf16_ = false;
  bool big_endian_ = false;
};

// A file opened for writing.
class Writer {
 public:
  // Opens the target `path` (absolute) for writing.
  explicit Writer(std::string path) : target_(std::move(path)) {
    Env* env = Env::Current();
    if (target_ == kStdoutPath) {
      fd_ = STDOUT_FILENO;
      owns_fd_ = false;
      return;
    }
    struct stat st {};
    int r = env->LinkStat(target_, &st);
    bool exists = r == 0;
    if (r < 0 && r != -ENOENT) RaiseErrno("Cannot write to", target_, r);
    if (exists && S_ISLNK(st.st_mode)) {
      std::string real;
      if (const int rr = env->RealPath(target_, &real); rr < 0) {
        RaiseErrno("Cannot write through the link", target_, rr);
      }
      target_ = real;
      if (const int rs = env->Stat(target_, &st); rs < 0)
        RaiseErrno("Cannot write to", target_, rs);
    }
    if (exists && S_ISDIR(st.st_mode)) RaiseErrno("Cannot write to", target_, EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
      if (const int ro = env->Open(target_, O_WRONLY, 0, &fd_); ro < 0) {
        RaiseErrno("Cannot open", target_, ro);
      }
      return;
    }
    const std::size_t slash = target_.rfind('/');
    const std::string dir = target_.substr(0, slash + 1);
    const std::string base = target_.substr(slash + 1);
    const unsigned mode = exists ? (st.st_mode & 07777) : 0666;
    static unsigned counter = 0;
    for (int attempt = 0;; ++attempt) {
      temp_ = dir + "." + base + ".dropkit-" + std::to_string(::getpid()) + "-" +
              std::to_string(++counter);
      r = env->Open(temp_, O_WRONLY | O_CREAT | O_EXCL, mode, &fd_);
      if (r == 0) break;
      if (r != -EEXIST || attempt > 100) {
        temp_.clear();
        RaiseErrno("Cannot create a file in the folder of", target_, r);
      }
    }
  }

  ~Writer() {
    if (fd_ >= 0 && owns_fd_) Env::Current()->Close(fd_);
    if (!temp_.empty()) Env::Current()->Unlink(temp_);
  }

  // Formats into the buffer; returns the number of bytes added.
  std::size_t Write(const Value& format, std::initializer_list<Value> args) {
    const std::size_t before = buffer_.size();
    FormatUtf8(format, args, buffer_);
    const std::size_t added = buffer_.size() - before;
    if (buffer_.size() >= kChunk) Flush();
    return added;
  }

  // Flushes, syncs and closes, then gives the file the target's name.
  void Commit() {
    Env* env = Env::Current();
    Flush();
    if (!temp_.empty()) {
      if (const int r = env->Sync(fd_); r < 0) RaiseErrno("Cannot write", target_, r);
    }
    if (owns_fd_) {
      const int fd = fd_;
      fd_ = -1;
      if (const int r = env->Close(fd); r < 0) RaiseErrno("Cannot write", target_, r);
    }
    if (!temp_.empty()) {
      if (const int r = env->Rename(temp_, target_); r < 0)
        RaiseErrno("Cannot replace", target_, r);
      temp_.clear();
    }
  }

 private:
  void Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
      const long n = Env::Current()->Write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0) {
        buffer_.clear();
        RaiseErrno("Cannot write", target_, static_cast<int>(n));
      }
      if (n == 0) {
        buffer_.clear();
        RaiseErrno("Cannot write", target_, EIO);
      }
      done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
  }

  std::string target_;
  std::string temp_;  // empty when writing directly
  std::string buffer_;
  int fd_ = -1;
  bool owns_fd_ = true;
};

struct OpenFile {
  std::unique_ptr<Reader> reader;
  std::unique_ptr<Writer> writer;
};

// Open files by identifier: slot i holds identifier i + 3.
std::vector<std::unique_ptr<OpenFile>>& Table() {
  static auto* table = new std::vector<std::unique_ptr<OpenFile>>;
  return *table;
}

int FileId(const Value& fid) {
  if ((fid.is_numeric() || fid.is_logical()) && fid.numel() == 1) {
    const double x = fid.num(0);
    if (x >= 0 && x < 1e9 && x == static_cast<int>(x)) return static_cast<int>(x);
  }
  Raise("Invalid file identifier: it must be one whole number");
}

OpenFile* Find(int id) {
  auto& table = Table();
  const std::size_t slot = static_cast<std::size_t>(id) - 3;
  return id >= 3 && slot < table.size() ? table[slot].get() : nullptr;
}

OpenFile& Lookup(const Value& fid) {
  const int id = FileId(fid);
  OpenFile* file = Find(id);
  if (file == nullptr) {
    Raise("Invalid file identifier " + std::to_string(id) + ": no file is open under it");
  }
  return *file;
}

// Stores a newly opened file under the lowest free identifier and returns it.
int Insert(OpenFile file) {
  auto& table = Table();
  std::size_t slot = 0;
  while (slot < table.size() && table[slot] != nullptr) ++slot;
  if (slot == table.size()) table.emplace_back();
  table[slot] = std::make_unique<OpenFile>(std::move(file));
  return static_cast<int>(slot) + 3;
}

// Removes a file from the table and hands it over (null when none is open under id).
std::unique_ptr<OpenFile> Remove(int id) {
  if (Find(id) == nullptr) return nullptr;
  return std::move(Table()[static_cast<std::size_t>(id) - 3]);
}

}  // namespace

Value mlfFopen(const Value& name, const Value& mode) {
  if (!name.is_char() || name.empty()) Raise("fopen: the file name must be a non-empty text");
  const std::string m = mode.utf8();
  const std::string path = AbsolutePath(name.utf8());
  OpenFile file;
  if (m == "rt" || m == "r") {
    int fd = -1;
    if (const int r = Env::Current()->Open(path, O_RDONLY, 0, &fd); r < 0) {
      RaiseErrno("Cannot open file", path, r);
    }
    file.reader = std::make_unique<Reader>(fd, path);
    struct stat st {};
    if (const int r = Env::Current()->FileStat(fd, &st); r < 0)
      RaiseErrno("Cannot open file", path, r);
    if (S_ISDIR(st.st_mode)) RaiseErrno("Cannot open file", path, EISDIR);
  } else if (m == "wt" || m == "w") {
    file.writer = std::make_unique<Writer>(path);
  } else {
    Raise("fopen: unsupported mode '" + m + "' for " + Quote(path) + " (use \"rt\" or \"wt\")");
  }
  return Value::Scalar(Insert(std::move(file)));
}

Value mlfFgets(const Value& fid) {
  OpenFile& file = Lookup(fid);
  if (!file.reader)
    Raise("fgets: file " + std::to_string(FileId(fid)) + " is not open for reading");
  Value line;
  if (!file.reader->ReadLine(&line)) return Value::Scalar(-1);
  return line;
}

Value mlfNFprintf(int nargout, const Value& fid, const Value& format,
                  std::initializer_list<Value> args) {
  OpenFile& file = Lookup(fid);
  if (!file.writer)
    Raise("fprintf: file " + std::to_string(FileId(fid)) + " is not open for writing");
  const std::size_t written = file.writer->Write(format, args);
  if (nargout > 0) return Value::Scalar(static_cast<double>(written));
  return Value();
}

Value mlfFclose(const Value& fid) {
  Lookup(fid);
  const std::unique_ptr<OpenFile> closing = Remove(FileId(fid));
  if (closing->writer) closing->writer->Commit();  // on failure the destructor removes the temp
  return Value::Scalar(0);
}

void DiscardFile(const Value& fid) noexcept {
  if (!(fid.is_numeric() || fid.is_logical()) || fid.numel() != 1) return;
  const double id = fid.num(0);
  if (id != std::floor(id) || id < 0 || id > 1e9) return;
  Remove(static_cast<int>(id));
}

void DiscardAllFiles() noexcept {
  Table().clear();
}

std::size_t OpenFileCount() {
  std::size_t n = 0;
  for (const auto& file : Table()) n += file != nullptr;
  return n;
}

Value mlfNCd(int nargout, const Value& folder) {
  if (!folder.is_char()) Raise("cd: the folder must be a text");
  const std::string path = folder.utf8();
  Env* env = Env::Current();
  if (!path.empty()) {
    if (const int r = env->ChangeDir(path); r < 0)
      RaiseErrno("Cannot change the current folder to", path, r);
  }
  if (nargout <= 0) return Value();
  std::string cwd;
  if (const int r = env->CurrentDir(&cwd); r < 0)
    RaiseErrno("Cannot read the current folder", path, r);
  return Value::Text(cwd);
}

}  // namespace dk
