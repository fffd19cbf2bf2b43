#include "runtime/file_table.h"

#include <emmintrin.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/copy_bytes.h"
#include "base/errors.h"
#include "base/utf8.h"
#include "os/env.h"
#include "os/files.h"
#include "runtime/text.h"

namespace dk {
namespace {

constexpr std::size_t kReadChunk = 1 << 16;
constexpr char16_t kReplacement = 0xFFFD;

ReadLimits read_limits;

// Units that are not characters (a surrogate without its partner) become U+FFFD.
void ReplaceLoneSurrogates(std::u16string& units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      ++i;  // a valid pair
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      units[i] = kReplacement;
    }
  }
}

// The first line break in [begin, end), or nullptr: sixteen bytes at a time with the
// vector instructions every x86-64 processor has, since for the short lines of a name
// list a library call costs more than the search itself.
const char* FindLineBreak(const char* begin, const char* end) {
  const __m128i line_break = _mm_set1_epi8('\n');
  const char* p = begin;
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, line_break));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
  return static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
}

// A file opened for reading in text mode. Every step costs time in proportion to the
// bytes it reads: each byte is examined a bounded number of times, however long its line.
class Reader {
 public:
  Reader(int fd, std::string path) : fd_(fd), path_(std::move(path)), limits_(read_limits) {}
  ~Reader() { Env::Current()->Close(fd_); }

  // Reads the next line into *line; false at the end of the file.
  bool ReadLine(Value* line) {
    if (!started_) Start();
    const bool got = utf16_ ? ReadLine16(line) : ReadLine8(line);
    if (got && ++lines_ > limits_.lines) RaiseTooManyLines();
    return got;
  }

  const std::string& path() const { return path_; }
  // The number of the line being read, counted from 1.
  std::size_t line_number() const { return lines_ + 1; }

 private:
  [[noreturn, gnu::noinline]] void RaiseTooManyLines() const {
    Raise("Cannot read " + QuoteForMessage(path_) + ": it has more than " +
          std::to_string(limits_.lines) + " lines, the most one list may hold");
  }

  [[noreturn, gnu::noinline]] void RaiseLongLine() const {
    Raise("Cannot read " + QuoteForMessage(path_) + ": line " + std::to_string(line_number()) +
          " is longer than " + ByteSizeText(limits_.line_bytes) +
          ", far longer than any name (is it a list of names, one per line?)");
  }

  // Drops the bytes already consumed and reads one more chunk; returns how far the
  // unconsumed bytes moved toward the start. Sets eof_ at the end of the file.
  std::size_t FillBytes() {
    const std::size_t shift = pos_;
    if (pos_ > 0) {
      bytes_.erase(0, pos_);
      pos_ = 0;
      has_cr_ = std::memchr(bytes_.data(), '\r', bytes_.size()) != nullptr;
      ascii_ = IsAscii(bytes_);
    }
    const std::size_t old = bytes_.size();
    bytes_.resize(old + kReadChunk);
    const long n = Env::Current()->Read(fd_, bytes_.data() + old, kReadChunk);
    if (n < 0) {
      bytes_.resize(old);
      RaiseFileError("Cannot read file", path_, static_cast<int>(n));
    }
    bytes_.resize(old + static_cast<std::size_t>(n));
    if (n == 0) eof_ = true;
    total_ += static_cast<std::uint64_t>(n);
    if (total_ > limits_.bytes) {
      Raise("Cannot read " + QuoteForMessage(path_) + ": it is larger than " +
            ByteSizeText(limits_.bytes) + ", the most one list may hold");
    }
    // Only the new bytes are examined: most files have no "\r" and no byte above 0x7F,
    // and knowing so spares a search and a check per line.
    const std::string_view added(bytes_.data() + old, static_cast<std::size_t>(n));
    has_cr_ = has_cr_ || added.find('\r') != std::string_view::npos;
    ascii_ = ascii_ && IsAscii(added);
    return shift;
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

  Value MakeLine(std::string_view bytes) {
    return ascii_ ? lines_made_.Make(bytes, true) : Value::Text(bytes);
  }

  bool ReadLine8(Value* line) {
    std::size_t scan = pos_;  // bytes before it hold no line break of this line
    for (;;) {
      const char* begin = bytes_.data() + scan;
      const char* end = bytes_.data() + bytes_.size();
      const char* hit = FindLineBreak(begin, end);
      if (has_cr_) {
        const char* cr = static_cast<const char*>(
            std::memchr(begin, '\r', static_cast<std::size_t>((hit ? hit : end) - begin)));
        if (cr != nullptr) hit = cr;
      }
      const std::size_t k = hit ? static_cast<std::size_t>(hit - bytes_.data()) : bytes_.size();
      if (k - pos_ > limits_.line_bytes) RaiseLongLine();
      if (hit != nullptr && *hit == '\n') {
        *line = MakeLine(std::string_view(bytes_.data() + pos_, k + 1 - pos_));
        pos_ = k + 1;
        return true;
      }
      if (hit != nullptr && (k + 1 < bytes_.size() || eof_)) {  // "\r" or "\r\n"
        std::string text(bytes_.data() + pos_, k - pos_);
        text.push_back('\n');
        *line = Value::Text(std::string_view(text));
        pos_ = (k + 1 < bytes_.size() && bytes_[k + 1] == '\n') ? k + 2 : k + 1;
        return true;
      }
      if (hit == nullptr && eof_) {
        if (pos_ == bytes_.size()) return false;
        *line = MakeLine(std::string_view(bytes_.data() + pos_, bytes_.size() - pos_));
        pos_ = bytes_.size();
        return true;
      }
      // No line break yet, or a "\r" last in the buffer whose "\n" may come next.
      scan = k - FillBytes();
    }
  }

  // Moves the whole code units of the byte buffer into the unit buffer, dropping the
  // units already consumed first; returns how far the unconsumed units moved.
  std::size_t FillUnits() {
    const std::size_t shift = upos_;
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
    if (eof_ && pos_ < bytes_.size()) {  // an odd byte at the end is no character
      units_.push_back(kReplacement);
      pos_ = bytes_.size();
    }
    return shift;
  }

  bool units_done() const { return eof_ && pos_ >= bytes_.size(); }

  bool ReadLine16(Value* line) {
    std::size_t scan = upos_;
    for (;;) {
      const auto begin = units_.begin() + static_cast<std::ptrdiff_t>(scan);
      const auto hit =
          std::find_if(begin, units_.end(), [](char16_t u) { return u == u'\n' || u == u'\r'; });
      const std::size_t k = static_cast<std::size_t>(hit - units_.begin());
      if (k - upos_ > limits_.line_bytes) RaiseLongLine();
      if (hit != units_.end() && (*hit == u'\n' || k + 1 < units_.size() || units_done())) {
        std::u16string text(units_, upos_, k - upos_);
        text.push_back(u'\n');
        ReplaceLoneSurrogates(text);
        *line = Value::Text(std::u16string_view(text));
        upos_ = (*hit == u'\r' && k + 1 < units_.size() && units_[k + 1] == u'\n') ? k + 2 : k + 1;
        return true;
      }
      if (hit == units_.end() && units_done()) {
        if (upos_ == units_.size()) return false;
        std::u16string text(units_, upos_);
        ReplaceLoneSurrogates(text);
        *line = Value::Text(std::u16string_view(text));
        upos_ = units_.size();
        return true;
      }
      scan = k - FillUnits();
    }
  }

  int fd_;
  std::string path_;
  ReadLimits limits_;
  std::string bytes_;
  std::size_t pos_ = 0;
  std::u16string units_;
  std::size_t upos_ = 0;
  std::size_t lines_ = 0;
  TextScratch lines_made_;  // the line handed out last, made anew while no one holds it
  std::uint64_t total_ = 0;
  bool started_ = false;
  bool eof_ = false;
  bool has_cr_ = false;
  bool ascii_ = true;
  bool utf16_ = false;
  bool big_endian_ = false;
};

// A file opened for writing: formatted text, written all or nothing.
class TextWriter {
 public:
  explicit TextWriter(const std::string& path) : file_(path) {}

  // Formats into the file's buffer; returns the number of bytes added.
  std::size_t Write(const Value& format, std::initializer_list<Value> args) {
    std::size_t added;
    if (!WriteOneAsciiText(format, args, &added)) {
      formatted_.clear();
      FormatUtf8(format, args, formatted_);
      added = formatted_.size();
      if (added > 0) std::memcpy(file_.Extend(added), formatted_.data(), added);
    }
    file_.FlushIfFull();
    return added;
  }

  void Commit() { file_.Commit(); }

 private:
  // The short way for what a listing writes most, one name of plain ASCII under a
  // format such as "\n%s": the format's compiled bytes around the name and the name's
  // bytes, straight into the buffer. False, writing nothing, for anything else.
  bool WriteOneAsciiText(const Value& format, std::initializer_list<Value> args,
                         std::size_t* added) {
    if (args.size() != 1) return false;
    const Value& text = *args.begin();
    if (!text.ascii() || text.rows() != 1) return false;
    std::string_view before, after;
    if (!OneItemPieces(format, &before, &after)) return false;
    const std::size_t n = text.numel();
    *added = before.size() + n + after.size();
    char* out = file_.Extend(*added);
    CopyBytes(out, before.data(), before.size());
    CopyBytes(out + before.size(), text.narrow_bytes(), n);
    CopyBytes(out + before.size() + n, after.data(), after.size());
    return true;
  }

  WholeFileWriter file_;
  std::string formatted_;  // what the general way formatted, on its way to the buffer
};

struct OpenFile {
  std::unique_ptr<Reader> reader;
  std::unique_ptr<TextWriter> writer;
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

// The file looked up last, which the next lookup is nearly always for (a listing writes
// a million names to one file), and the identifier's array it was looked up by, which
// is held so that it cannot change; forgotten whenever the table changes.
int last_id = -1;
OpenFile* last_file = nullptr;
Value last_fid;

void ForgetLastLookup() {
  last_id = -1;
  last_fid = Value();
}

OpenFile& LookupAnew(const Value& fid);

OpenFile& Lookup(const Value& fid) {
  if (fid.same_array(last_fid) && last_id >= 0) return *last_file;
  return LookupAnew(fid);
}

[[gnu::noinline]] OpenFile& LookupAnew(const Value& fid) {
  const int id = FileId(fid);
  if (id == last_id) return *last_file;
  OpenFile* file = Find(id);
  if (file == nullptr) {
    Raise("Invalid file identifier " + std::to_string(id) + ": no file is open under it");
  }
  last_id = id;
  last_file = file;
  last_fid = fid;
  return *file;
}

// Stores a newly opened file under the lowest free identifier and returns it.
int Insert(OpenFile file) {
  ForgetLastLookup();
  auto& table = Table();
  std::size_t slot = 0;
  while (slot < table.size() && table[slot] != nullptr) ++slot;
  if (slot == table.size()) table.emplace_back();
  table[slot] = std::make_unique<OpenFile>(std::move(file));
  return static_cast<int>(slot) + 3;
}

// Removes a file from the table and hands it over (null when none is open under id).
std::unique_ptr<OpenFile> Remove(int id) {
  ForgetLastLookup();
  if (Find(id) == nullptr) return nullptr;
  return std::move(Table()[static_cast<std::size_t>(id) - 3]);
}

}  // namespace

ReadLimits CurrentReadLimits() {
  return read_limits;
}

ReadLimits SetReadLimits(const ReadLimits& limits) {
  return std::exchange(read_limits, limits);
}

Value mlfFopen(const Value& name, const Value& mode) {
  if (!name.is_char() || name.empty()) Raise("fopen: the file name must be a non-empty text");
  const std::string m = mode.utf8();
  const std::string path = AbsolutePath(name.utf8());
  OpenFile file;
  if (m == "rt" || m == "r") {
    int fd = -1;
    if (const int r = Env::Current()->Open(path, O_RDONLY, 0, &fd); r < 0) {
      RaiseFileError("Cannot open file", path, r);
    }
    file.reader = std::make_unique<Reader>(fd, path);
    struct stat st {};
    if (const int r = Env::Current()->FileStat(fd, &st); r < 0)
      RaiseFileError("Cannot open file", path, r);
    if (S_ISDIR(st.st_mode)) RaiseFileError("Cannot open file", path, EISDIR);
  } else if (m == "wt" || m == "w") {
    file.writer = std::make_unique<TextWriter>(path);
  } else {
    Raise("fopen: unsupported mode '" + m + "' for " + QuoteForMessage(path) +
          " (use \"rt\" or \"wt\")");
  }
  return Value::Scalar(Insert(std::move(file)));
}

namespace {

[[noreturn, gnu::noinline]] void RaiseNotOpenFor(const char* what, const Value& fid,
                                                 const char* mode) {
  Raise(std::string(what) + ": file " + std::to_string(FileId(fid)) + " is not open for " + mode);
}

[[noreturn, gnu::noinline]] void RaiseOutOfMemoryReading(const Reader& reader) {
  Raise("Out of memory while reading " + QuoteForMessage(reader.path()) + " at line " +
        std::to_string(reader.line_number()));
}

}  // namespace

Value mlfFgets(const Value& fid) {
  OpenFile& file = Lookup(fid);
  if (!file.reader) RaiseNotOpenFor("fgets", fid, "reading");
  Value line;
  try {
    if (!file.reader->ReadLine(&line)) return Value::Scalar(-1);
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemoryReading(*file.reader);
  }
  return line;
}

Value mlfNFprintf(int nargout, const Value& fid, const Value& format,
                  std::initializer_list<Value> args) {
  OpenFile& file = Lookup(fid);
  if (!file.writer) RaiseNotOpenFor("fprintf", fid, "writing");
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
  ForgetLastLookup();
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
      RaiseFileError("Cannot change the current folder to", path, r);
  }
  if (nargout <= 0) return Value();
  std::string cwd;
  if (const int r = env->CurrentDir(&cwd); r < 0)
    RaiseFileError("Cannot read the current folder", path, r);
  return Value::Text(cwd);
}

}  // namespace dk
