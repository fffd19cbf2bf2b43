#include "runtime/file_table.h"

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
#include "os/text_lines.h"
#include "runtime/text.h"

namespace dk {
namespace {

ReadLimits read_limits;

// A file opened for reading: its lines, each made a text in the same array as the one
// before while no one holds that one.
struct Reader {
  std::unique_ptr<TextLineReader> lines;
  TextScratch made;
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
    file.reader = std::make_unique<Reader>();
    file.reader->lines = TextLineReader::Open(path, read_limits);
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
  Raise("Out of memory while reading " + QuoteForMessage(reader.lines->path()) + " at line " +
        std::to_string(reader.lines->line_number()));
}

}  // namespace

Value mlfFgets(const Value& fid) {
  OpenFile& file = Lookup(fid);
  if (!file.reader) RaiseNotOpenFor("fgets", fid, "reading");
  Reader& reader = *file.reader;
  TextLineReader::Line line;
  try {
    if (!reader.lines->Next(&line)) return Value::Scalar(-1);
    if (line.utf16) return Value::Text(line.units);
    return line.ascii ? reader.made.Make(line.bytes, true) : Value::Text(line.bytes);
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemoryReading(reader);
  }
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
