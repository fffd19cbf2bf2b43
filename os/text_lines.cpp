#include "os/text_lines.h"

#include <emmintrin.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/errors.h"
#include "base/utf8.h"
#include "os/env.h"
#include "os/files.h"

namespace dk {
namespace {

constexpr std::size_t kReadChunk = 1 << 16;
constexpr char16_t kReplacement = 0xFFFD;

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

}  // namespace

std::unique_ptr<TextLineReader> TextLineReader::Open(const std::string& path,
                                                     const TextLimits& limits) {
  Env* env = Env::Current();
  int fd = -1;
  if (const int r = env->Open(path, O_RDONLY, 0, &fd); r < 0) {
    RaiseFileError("Cannot open file", path, r);
  }
  std::unique_ptr<TextLineReader> reader(new TextLineReader(fd, path, limits));
  struct stat st {};
  if (const int r = env->FileStat(fd, &st); r < 0) RaiseFileError("Cannot open file", path, r);
  if (S_ISDIR(st.st_mode)) RaiseFileError("Cannot open file", path, EISDIR);
  return reader;
}

TextLineReader::TextLineReader(int fd, std::string path, const TextLimits& limits)
    : fd_(fd), path_(std::move(path)), limits_(limits) {}

TextLineReader::TextLineReader(std::string bytes, std::string path, const TextLimits& limits)
    : path_(std::move(path)), limits_(limits), bytes_(std::move(bytes)) {
  eof_ = true;
  total_ = bytes_.size();
  if (total_ > limits_.bytes) RaiseTooManyBytes();
  has_cr_ = bytes_.find('\r') != std::string::npos;
  ascii_ = IsAscii(bytes_);
}

TextLineReader::~TextLineReader() {
  if (fd_ >= 0) Env::Current()->Close(fd_);
}

bool TextLineReader::Next(Line* line) {
  if (!started_) Start();
  const bool got = utf16_ ? NextUtf16(line) : NextUtf8(line);
  if (got && ++lines_ > limits_.lines) RaiseTooManyLines();
  return got;
}

void TextLineReader::RaiseTooManyLines() const {
  Raise("Cannot read " + QuoteForMessage(path_) + ": it has more than " +
        std::to_string(limits_.lines) + " lines, the most one list may hold");
}

void TextLineReader::RaiseTooManyBytes() const {
  Raise("Cannot read " + QuoteForMessage(path_) + ": it is larger than " +
        ByteSizeText(limits_.bytes) + ", the most one list may hold");
}

void TextLineReader::RaiseLongLine() const {
  Raise("Cannot read " + QuoteForMessage(path_) + ": line " + std::to_string(line_number()) +
        " is longer than " + ByteSizeText(limits_.line_bytes) +
        ", far longer than any name (is it a list of names, one per line?)");
}

// Drops the bytes already consumed and reads one more chunk; returns how far the
// unconsumed bytes moved toward the start. Sets eof_ at the end of the file.
std::size_t TextLineReader::FillBytes() {
  if (fd_ < 0) return 0;  // the bytes were given whole
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
  if (total_ > limits_.bytes) RaiseTooManyBytes();
  // Only the new bytes are examined: most files have no "\r" and no byte above 0x7F,
  // and knowing so spares a search and a check per line.
  const std::string_view added(bytes_.data() + old, static_cast<std::size_t>(n));
  has_cr_ = has_cr_ || added.find('\r') != std::string_view::npos;
  ascii_ = ascii_ && IsAscii(added);
  return shift;
}

void TextLineReader::Start() {
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

bool TextLineReader::NextUtf8(Line* line) {
  line->utf16 = false;
  line->units = {};
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
      line->bytes = std::string_view(bytes_.data() + pos_, k + 1 - pos_);
      line->ascii = ascii_;
      pos_ = k + 1;
      return true;
    }
    if (hit != nullptr && (k + 1 < bytes_.size() || eof_)) {  // "\r" or "\r\n"
      line_.assign(bytes_.data() + pos_, k - pos_);
      line_.push_back('\n');
      line->bytes = line_;
      line->ascii = ascii_;
      pos_ = (k + 1 < bytes_.size() && bytes_[k + 1] == '\n') ? k + 2 : k + 1;
      return true;
    }
    if (hit == nullptr && eof_) {
      if (pos_ == bytes_.size()) return false;
      line->bytes = std::string_view(bytes_.data() + pos_, bytes_.size() - pos_);
      line->ascii = ascii_;
      pos_ = bytes_.size();
      return true;
    }
    // No line break yet, or a "\r" last in the buffer whose "\n" may come next.
    scan = k - FillBytes();
  }
}

// Moves the whole code units of the byte buffer into the unit buffer, dropping the
// units already consumed first; returns how far the unconsumed units moved.
std::size_t TextLineReader::FillUnits() {
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

bool TextLineReader::NextUtf16(Line* line) {
  line->utf16 = true;
  line->bytes = {};
  line->ascii = false;
  std::size_t scan = upos_;
  for (;;) {
    const auto begin = units_.begin() + static_cast<std::ptrdiff_t>(scan);
    const auto hit =
        std::find_if(begin, units_.end(), [](char16_t u) { return u == u'\n' || u == u'\r'; });
    const std::size_t k = static_cast<std::size_t>(hit - units_.begin());
    if (k - upos_ > limits_.line_bytes) RaiseLongLine();
    if (hit != units_.end() && (*hit == u'\n' || k + 1 < units_.size() || units_done())) {
      line16_.assign(units_, upos_, k - upos_);
      line16_.push_back(u'\n');
      ReplaceLoneSurrogates(line16_);
      line->units = line16_;
      upos_ = (*hit == u'\r' && k + 1 < units_.size() && units_[k + 1] == u'\n') ? k + 2 : k + 1;
      return true;
    }
    if (hit == units_.end() && units_done()) {
      if (upos_ == units_.size()) return false;
      line16_.assign(units_, upos_);
      ReplaceLoneSurrogates(line16_);
      line->units = line16_;
      upos_ = units_.size();
      return true;
    }
    scan = k - FillUnits();
  }
}

namespace {

std::vector<std::string> AllLines(TextLineReader& reader) {
  std::vector<std::string> lines;
  TextLineReader::Line line;
  while (reader.Next(&line)) {
    lines.push_back(line.utf16 ? EncodeUtf8(line.units) : std::string(line.bytes));
  }
  return lines;
}

}  // namespace

std::vector<std::string> ReadTextLines(const std::string& path, const TextLimits& limits) {
  return AllLines(*TextLineReader::Open(path, limits));
}

std::vector<std::string> TextLines(std::string bytes, const std::string& path,
                                   const TextLimits& limits) {
  TextLineReader reader(std::move(bytes), path, limits);
  return AllLines(reader);
}

}  // namespace dk
