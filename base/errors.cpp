#include "base/errors.h"

#include <cstdio>

#include "base/utf8.h"

namespace dk {
namespace {

std::string& LastError() {
  static std::string* text = new std::string;
  return *text;
}

}  // namespace

const std::string& LastErrorText() {
  return LastError();
}

void Raise(const std::string& message) {
  LastError() = message;
  throw RuntimeError(message);
}

void SetLastError(const std::string& message) {
  LastError() = message;
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
