// Text files read one line at a time, within bounds.
//
// A file is UTF-8 (a byte-order mark at the start is dropped) or UTF-16 of either byte
// order after its byte-order mark. "\n", "\r\n" and a lone "\r" each end a line, which
// is handed out ending in "\n" (the last line as it stands). A UTF-8 line's bytes are
// handed out as they are, valid UTF-8 or not; a UTF-16 file's units that are not
// characters (a lone surrogate, an odd last byte) read as U+FFFD.
//
// Reading is bounded (TextLimits): a line longer than a name can be, or a file with more
// lines or bytes than a name list can hold, ends the read with an error naming the file
// and the line, so an endless stream (/dev/zero, `yes |`) cannot exhaust memory. Each
// step costs time in proportion to the bytes it reads. Every system call goes through
// the current Env.
#ifndef DROPKIT_OS_TEXT_LINES_H_
#define DROPKIT_OS_TEXT_LINES_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dk {

// The bounds on reading a text file.
struct TextLimits {
  std::size_t line_bytes = std::size_t{64} << 10;  // longest line, line break excluded
  std::size_t lines = 20'000'000;                  // most lines in one file
  std::uint64_t bytes = std::uint64_t{1} << 30;    // most bytes in one file
};

class TextLineReader {
 public:
  // One line, valid until the next call to Next.
  struct Line {
    bool utf16 = false;         // the file is UTF-16: the line is `units`, else `bytes`
    std::string_view bytes;     // a UTF-8 file's line
    std::u16string_view units;  // a UTF-16 file's line
    bool ascii = false;         // true: every byte of `bytes` is below 0x80 (false: unknown)
  };

  // Opens the file `path` (a name the messages use as it stands). Raises "Cannot open
  // file '<path>': <reason>" when it cannot be opened or is a folder.
  static std::unique_ptr<TextLineReader> Open(const std::string& path, const TextLimits& limits);
  // Reads `bytes`, the whole content of the file `path`, already in memory. Raises, as
  // reading would, when there are more than limits.bytes.
  TextLineReader(std::string bytes, std::string path, const TextLimits& limits);
  TextLineReader(const TextLineReader&) = delete;
  TextLineReader& operator=(const TextLineReader&) = delete;
  ~TextLineReader();

  // Reads the next line into *line and returns true; false at the end of the file.
  // Raises, naming the file, when it cannot be read or a bound is crossed.
  bool Next(Line* line);

  const std::string& path() const { return path_; }
  // The number of the line being read, counted from 1.
  std::size_t line_number() const { return lines_ + 1; }

 private:
  TextLineReader(int fd, std::string path, const TextLimits& limits);

  [[noreturn]] void RaiseTooManyLines() const;
  [[noreturn]] void RaiseTooManyBytes() const;
  [[noreturn]] void RaiseLongLine() const;
  std::size_t FillBytes();
  void Start();
  bool NextUtf8(Line* line);
  std::size_t FillUnits();
  bool units_done() const { return eof_ && pos_ >= bytes_.size(); }
  bool NextUtf16(Line* line);

  int fd_ = -1;  // -1: the bytes were given whole
  std::string path_;
  TextLimits limits_;
  std::string bytes_;
  std::size_t pos_ = 0;
  std::u16string units_;
  std::size_t upos_ = 0;
  std::string line_;       // a line ended by "\r", with "\n" in its place
  std::u16string line16_;  // a UTF-16 line
  std::size_t lines_ = 0;
  std::uint64_t total_ = 0;
  bool started_ = false;
  bool eof_ = false;
  bool has_cr_ = false;
  bool ascii_ = true;
  bool utf16_ = false;
  bool big_endian_ = false;
};

// Every line of the text file `path` as UTF-8, each with its "\n" (the last as it
// stands), within `limits`. Raises as TextLineReader does.
std::vector<std::string> ReadTextLines(const std::string& path, const TextLimits& limits);
// The same for `bytes`, the whole content of the file `path`.
std::vector<std::string> TextLines(std::string bytes, const std::string& path,
                                   const TextLimits& limits);

}  // namespace dk

#endif  // DROPKIT_OS_TEXT_LINES_H_
