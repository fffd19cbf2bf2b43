#include "jackknife/input.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <utility>

#include "base/errors.h"
#include "jackknife/provenance.h"
#include "os/env.h"
#include "runtime/file_table.h"
#include "runtime/ops.h"

namespace dk {
namespace {

// Closes a descriptor of the current Env at the end of a scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Env::Current()->Close(fd_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Every line of a text file, each with its line break, through the run-time's reader.
std::vector<std::string> ReadLines(const std::string& path) {
  const Value fid = mlfFopen(Value::Text(path), Value::Text("rt"));
  FileGuard guard(fid);
  std::vector<std::string> lines;
  for (Value line = mlfFgets(fid); line.is_char(); line = mlfFgets(fid)) {
    lines.push_back(line.utf8());
  }
  mlfFclose(fid);
  return lines;
}

std::string WithoutBreak(const std::string& line) {
  return !line.empty() && line.back() == '\n' ? line.substr(0, line.size() - 1) : line;
}

}  // namespace

std::string ReadWholeFile(const std::string& path, std::uint64_t limit) {
  if (path.empty()) Raise("The input file name is empty");
  Env* env = Env::Current();
  int fd = -1;
  if (const int r = env->Open(path, O_RDONLY, 0, &fd); r < 0) {
    Raise("Cannot open file " + QuoteForMessage(path) + ": " + ErrnoText(r));
  }
  Descriptor file(fd);
  struct stat st {};
  if (const int r = env->FileStat(fd, &st); r < 0) {
    Raise("Cannot open file " + QuoteForMessage(path) + ": " + ErrnoText(r));
  }
  if (S_ISDIR(st.st_mode))
    Raise("Cannot open file " + QuoteForMessage(path) + ": " + ErrnoText(EISDIR));
  if (!S_ISREG(st.st_mode))
    Raise("Cannot read " + QuoteForMessage(path) + ": it is not a regular file");
  const auto too_large = [&] {
    Raise("Cannot read " + QuoteForMessage(path) + ": it is larger than " +
          std::to_string(limit >> 20) + " MiB (" + std::to_string(limit) +
          " bytes), the most an input may hold");
  };
  if (static_cast<std::uint64_t>(st.st_size) > limit) too_large();
  // Read into a text of the measured size, so that it is never copied to grow; a file
  // that grew since it was measured is read on in blocks.
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::string block;
  std::size_t done = 0;
  for (;;) {
    if (done == bytes.size()) {
      block.resize(65536);
      const long n = env->Read(fd, block.data(), block.size());
      if (n < 0) Raise("Cannot read file " + QuoteForMessage(path) + ": " + ErrnoText(int(n)));
      if (n == 0) break;
      if (bytes.size() + static_cast<std::size_t>(n) > limit) too_large();
      bytes.append(block, 0, static_cast<std::size_t>(n));
      done = bytes.size();
      continue;
    }
    const long n = env->Read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) Raise("Cannot read file " + QuoteForMessage(path) + ": " + ErrnoText(int(n)));
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

TaxonList LoadTaxa(const std::string& path, std::optional<InputFormat> format,
                   FastaNames fasta_names) {
  TaxonList list;
  list.file = path;
  std::string bytes = ReadWholeFile(path, kMaxInputBytes);
  list.size = bytes.size();
  list.sha256 = Sha256Hex(bytes);
  list.format = format ? *format : DetectInputFormat(std::string_view(bytes).substr(0, 4096));
  if (list.format == InputFormat::kList) {
    std::string().swap(bytes);  // the reader reads the file again, line by line
    list.lines = ReadLines(path);
    for (const auto& line : list.lines) list.names.push_back(WithoutBreak(line));
    return list;
  }
  ReadingOptions options;
  options.fasta_names = fasta_names;
  list.alignment = ReadAlignment(std::move(bytes), list.format, path, options);
  list.format = list.alignment->format;
  list.names = list.alignment->names;
  for (const auto& name : list.names) list.lines.push_back(name + "\n");
  return list;
}

std::vector<std::string> LoadNameFile(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& line : ReadLines(path)) {
    std::string name = WithoutBreak(line);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

}  // namespace dk
