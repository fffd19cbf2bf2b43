#include "base/errors.h"

#include <cstdio>
#include <mutex>

#include "base/utf8.h"

namespace dk {
namespace {

// The last error, which threads that prune or count in parallel may raise at once.
struct LastError {
  std::mutex mutex;
  std::string text;
};

LastError& Last() {
  static LastError* last = new LastError;
  return *last;
}

}  // namespace

std::string LastErrorText() {
  LastError& last = Last();
  const std::lock_guard lock(last.mutex);
  return last.text;
}

void SetLastError(const std::string& message) {
  LastError& last = Last();
  const std::lock_guard lock(last.mutex);
  last.text = message;
}

void Raise(const std::string& message) {
  SetLastError(message);
  throw RuntimeError(message);
}

std::string EscapeForMessage(std::string_view text) {
  std::string out = QuoteForMessage(text, ' ');
  return out.substr(1, out.size() - 2);
}

std::string QuoteForMessage(std::string_view text, char quote) {
  std::string out(1, quote);
  const std::u16string units = DecodeUtf8(text);
  char buf[8];
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u == u'\n') {
      out += "\\n";
    } else if (u == u'\t') {
      out += "\\t";
    } else if (u == u'\r') {
      out += "\\r";
    } else if (u < 0x20 || u == 0x7F) {
      std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(u));
      out += buf;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {  // a byte that is not valid UTF-8
      std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(u - 0xDC00));
      out += buf;
    } else if ((u >= 0x80 && u <= 0x9F) || u == 0x2028 || u == 0x2029 ||
               (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069)) {
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(u));
      out += buf;
    } else {
      std::size_t end = i + 1;
      if (u >= 0xD800 && u <= 0xDBFF && end < units.size()) ++end;  // keep a pair together
      EncodeUtf8(std::u16string_view(units).substr(i, end - i), out);
      i = end - 1;
    }
  }
  out += quote;
  return out;
}

}  // namespace dk
