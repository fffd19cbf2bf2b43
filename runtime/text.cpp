#include "runtime/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "base/utf8.h"
#include "os/env.h"

namespace dk {
namespace {

// Walks the items of a format's arguments: a text is one item, a numeric array one item
// per element.
class Items {
 public:
  Items(const Value* begin, const Value* end) : it_(begin), end_(end) {
    for (const Value* a = begin; a != end; ++a) {
      if (a->absent() || a->unassigned()) Raise("sprintf: an argument has no value");
      if (!a->is_char() && !a->is_numeric() && !a->is_logical()) {
        Raise(std::string("sprintf: cannot format a ") + ClassName(a->class_id()) + " argument");
      }
    }
    SkipEmpty();
  }
  bool done() const { return it_ == end_; }
  bool is_text() const { return it_->is_char(); }
  const Value& text() const { return *it_; }
  double number() const { return it_->num(element_); }
  std::size_t taken() const { return taken_; }
  void Next() {
    ++taken_;
    if (it_->is_char() || ++element_ >= it_->numel()) {
      ++it_;
      element_ = 0;
      SkipEmpty();
    }
  }

 private:
  void SkipEmpty() {
    while (it_ != end_ && !it_->is_char() && it_->numel() == 0) ++it_;
  }
  const Value* it_;
  const Value* end_;
  std::size_t element_ = 0;
  std::size_t taken_ = 0;
};

// Appends to 16-bit units.
struct UnitSink {
  std::u16string& out;
  void Unit(char16_t u) { out.push_back(u); }
  void Ascii(std::string_view s) { out.append(s.begin(), s.end()); }
  void Text(const Value& v) {
    const std::size_t n = v.numel();
    if (v.narrow()) {
      const unsigned char* b = v.narrow_bytes();
      out.append(b, b + n);
    } else {
      for (std::size_t i = 0; i < n; ++i) out.push_back(v.unit(i));
    }
  }
};

// Appends UTF-8 bytes, as a file gets them.
struct ByteSink {
  std::string& out;
  char16_t pending_high = 0;  // a high surrogate waiting for its partner
  void Unit(char16_t u) {
    if (u < 0x80 && pending_high == 0) {
      out.push_back(static_cast<char>(u));
      return;
    }
    std::u16string units;
    if (pending_high != 0) units.push_back(std::exchange(pending_high, 0));
    if (u >= 0xD800 && u <= 0xDBFF && units.empty()) {
      pending_high = u;
      return;
    }
    units.push_back(u);
    EncodeUtf8(units, out);
  }
  void Ascii(std::string_view s) { out.append(s); }
  void Text(const Value& v) { AppendUtf8(v.text_view(), out); }
  ~ByteSink() {
    if (pending_high != 0) EncodeUtf8(std::u16string(1, pending_high), out);
  }
};

template <typename Sink>
void AppendWhole(Sink& out, double x) {
  if (!std::isfinite(x) || x != std::floor(x)) {
    out.Ascii(FormatNumber(x));
    return;
  }
  char buf[400];
  const auto r =
      std::to_chars(buf, buf + sizeof buf, x == 0 ? 0.0 : x, std::chars_format::fixed, 0);
  out.Ascii(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

template <typename Sink>
void AppendFixed(Sink& out, double x) {
  if (!std::isfinite(x)) {
    out.Ascii(FormatNumber(x));
    return;
  }
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 6);
  out.Ascii(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

// A format of plain ASCII with exactly one conversion (%s, %i, %d or %f) and no other
// percent sign: the text before the conversion and after it, with "\\n" turned into line
// breaks. With one argument, a text of one row or one number, such a format gives
// before + the item + after, which the general loop below would give too.
struct OneConversion {
  std::string before, after;
  char conversion = 0;
};

// Compiles `format`; false when it is not such a format.
bool CompileOneConversion(const Value& format, OneConversion* out) {
  if (!format.is_char() || !format.ascii()) return false;
  const std::string_view f = format.text_view().bytes();
  std::string* part = &out->before;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i] == '\\' && i + 1 < f.size() && f[i + 1] == 'n') {
      part->push_back('\n');
      ++i;
    } else if (f[i] != '%') {
      part->push_back(f[i]);
    } else if (part == &out->before && i + 1 < f.size() &&
               std::string_view("sidf").find(f[i + 1]) != std::string_view::npos) {
      out->conversion = f[++i];
      part = &out->after;
    } else {
      return false;
    }
  }
  return out->conversion != 0;
}

// The compiled forms of the formats used last. Each entry holds its format, so that an
// array compared by identity is still the same text.
class FormatCache {
 public:
  // The compiled form of `format`, or nullptr when it has not one conversion.
  const OneConversion* Find(const Value& format) {
    if (entries_[last_].format.same_array(format)) return Found(entries_[last_]);
    for (std::size_t k = 0; k < kEntries; ++k) {
      if (entries_[k].format.same_array(format)) {
        last_ = k;
        return Found(entries_[k]);
      }
    }
    last_ = next_;
    Entry& e = entries_[next_];
    next_ = (next_ + 1) % kEntries;
    e.compiled = OneConversion();
    e.ok = CompileOneConversion(format, &e.compiled);
    e.format = format;
    return e.ok ? &e.compiled : nullptr;
  }

 private:
  static constexpr std::size_t kEntries = 4;
  struct Entry {
    Value format;
    bool ok = false;
    OneConversion compiled;
  };
  static const OneConversion* Found(const Entry& e) { return e.ok ? &e.compiled : nullptr; }
  Entry entries_[kEntries];
  std::size_t next_ = 0;  // the entry to fill next
  std::size_t last_ = 0;  // the entry found last: a listing asks for one format many times
};

FormatCache& Formats() {
  static auto* cache = new FormatCache;  // lives as long as the program: values outlive it
  return *cache;
}

// The item of `arg` under the conversion, as the general loop writes it; false (nothing
// written) for an argument that is not a text of one row or a single number.
template <typename Sink>
bool FormatOneItem(const OneConversion& f, const Value& arg, Sink& out) {
  if (arg.is_char() ? arg.rows() > 1
                    : !((arg.is_numeric() || arg.is_logical()) && arg.numel() == 1)) {
    return false;
  }
  out.Ascii(f.before);
  if (arg.is_char()) {
    out.Text(arg);
  } else if (f.conversion == 's') {
    out.Ascii(FormatNumber(arg.num(0)));
  } else if (f.conversion == 'f') {
    AppendFixed(out, arg.num(0));
  } else {
    AppendWhole(out, arg.num(0));
  }
  out.Ascii(f.after);
  return true;
}

template <typename Sink>
void Format(const Value& format, std::initializer_list<Value> args, Sink& out,
            bool shortcut = true) {
  if (shortcut && args.size() == 1) {
    const OneConversion* one = Formats().Find(format);
    if (one != nullptr && FormatOneItem(*one, *args.begin(), out)) return;
  }
  if (!format.is_char()) Raise("sprintf: the format must be a text");
  const std::size_t n = format.numel();
  const unsigned char* narrow = format.narrow() ? format.narrow_bytes() : nullptr;
  const auto unit = [&](std::size_t i) -> char16_t { return narrow ? narrow[i] : format.unit(i); };
  Items items(args.begin(), args.end());
  bool stop = false;
  do {
    const std::size_t before = items.taken();
    for (std::size_t i = 0; i < n && !stop; ++i) {
      const char16_t c = unit(i);
      if (c == u'\\' && i + 1 < n && unit(i + 1) == u'n') {
        out.Unit(u'\n');
        ++i;
      } else if (c != u'%') {
        out.Unit(c);
      } else if (i + 1 >= n) {
        Raise("sprintf: the format ends with a lone '%'");
      } else {
        const char16_t conv = unit(++i);
        if (conv == u'%') {
          out.Unit(u'%');
          continue;
        }
        if (conv != u's' && conv != u'i' && conv != u'd' && conv != u'f') {
          Raise("sprintf: unsupported conversion '%" + EncodeUtf8(std::u16string(1, conv)) +
                "' in the format");
        }
        if (items.done()) {
          stop = true;
          break;
        }
        if (items.is_text()) {
          out.Text(items.text());
        } else if (conv == u's') {
          out.Ascii(FormatNumber(items.number()));
        } else if (conv == u'f') {
          AppendFixed(out, items.number());
        } else {
          AppendWhole(out, items.number());
        }
        items.Next();
      }
    }
    if (items.taken() == before) break;  // the format took no item: running it again repeats it
  } while (!stop && !items.done());
}

// The units of a text argument of a join. Raises for anything but a text of one row.
void CheckJoinable(const Value& v) {
  if (!v.is_char()) Raise(std::string("strcat: cannot join a ") + ClassName(v.class_id()));
  if (v.rows() > 1) Raise("strcat: cannot join a text of several rows");
}

// The power of ten of a valid decimal number's leading digit, plus one: positive for a
// number of 1 or more, 0 or negative below 1, and very negative for zero.
long long DecimalMagnitude(std::string_view body) {
  long long place = 0;  // digits before the point, less the zeros after it that lead
  bool seen_nonzero = false, after_point = false;
  std::size_t k = 0;
  for (; k < body.size() && body[k] != 'e' && body[k] != 'E'; ++k) {
    const char c = body[k];
    if (c == '.') {
      after_point = true;
    } else if (!seen_nonzero && c == '0') {
      if (after_point) --place;
    } else {
      seen_nonzero = true;
      if (!after_point) ++place;
    }
  }
  if (!seen_nonzero) return std::numeric_limits<long long>::min();
  long long exponent = 0;
  if (k < body.size()) {
    std::size_t e = k + 1;
    const bool negative = body[e] == '-';
    if (body[e] == '+' || body[e] == '-') ++e;
    for (; e < body.size(); ++e) {
      exponent = std::min<long long>(exponent * 10 + (body[e] - '0'), 1000000000);
    }
    if (negative) exponent = -exponent;
  }
  return place + exponent;
}

// Reads one number token; returns false when the token is not a number.
bool ParseNumber(std::string_view tok, double* out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < tok.size() && (tok[i] == '+' || tok[i] == '-')) negative = tok[i++] == '-';
  std::string_view body = tok.substr(i);
  auto lower_equals = [](std::string_view s, std::string_view word) {
    if (s.size() != word.size()) return false;
    for (std::size_t k = 0; k < s.size(); ++k) {
      if (std::tolower(static_cast<unsigned char>(s[k])) != word[k]) return false;
    }
    return true;
  };
  if (lower_equals(body, "inf")) {
    *out = negative ? -INFINITY : INFINITY;
    return true;
  }
  if (lower_equals(body, "nan")) {
    *out = NAN;
    return true;
  }
  // Validate digits [. digits] [e [sign] digits] ourselves; from_chars does the rounding.
  std::size_t k = 0, digits = 0;
  while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k]))) ++k, ++digits;
  if (k < body.size() && body[k] == '.') {
    ++k;
    while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k]))) ++k, ++digits;
  }
  if (digits == 0) return false;
  if (k < body.size() && (body[k] == 'e' || body[k] == 'E')) {
    ++k;
    if (k < body.size() && (body[k] == '+' || body[k] == '-')) ++k;
    std::size_t exp_digits = 0;
    while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k]))) ++k, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  if (k != body.size()) return false;
  double x = 0;
  const auto r = std::from_chars(body.data(), body.data() + body.size(), x);
  if (r.ec == std::errc::result_out_of_range) {
    x = DecimalMagnitude(body) > 0 ? INFINITY : 0.0;  // too large reads as Inf, too small as 0
  } else if (r.ec != std::errc() || r.ptr != body.data() + body.size()) {
    return false;
  }
  *out = negative ? -x : x;
  return true;
}

}  // namespace

Value mlfSprintf(const Value& format, std::initializer_list<Value> args) {
  // A one-conversion format with a text of units below 256 (a name) is made in bytes.
  if (args.size() == 1 && args.begin()->narrow()) {
    if (const OneConversion* one = Formats().Find(format)) {
      const Value& arg = *args.begin();
      if (arg.rows() <= 1) {
        static auto* bytes = new std::string;  // reused: formats run on one thread
        bytes->assign(one->before);
        bytes->append(arg.text_view().bytes());
        bytes->append(one->after);
        return arg.ascii() ? Value::AsciiText(*bytes) : Value::NarrowText(*bytes);
      }
    }
  }
  std::u16string out;
  UnitSink sink{out};
  Format(format, args, sink);
  return Value::Text(std::u16string_view(out));
}

void FormatUtf8(const Value& format, std::initializer_list<Value> args, std::string& out) {
  ByteSink sink{out};
  Format(format, args, sink);
}

Value SprintfByTheGeneralRules(const Value& format, std::initializer_list<Value> args) {
  std::u16string out;
  UnitSink sink{out};
  Format(format, args, sink, false);
  return Value::Text(std::u16string_view(out));
}

void FormatUtf8ByTheGeneralRules(const Value& format, std::initializer_list<Value> args,
                                 std::string& out) {
  ByteSink sink{out};
  Format(format, args, sink, false);
}

bool OneItemPieces(const Value& format, std::string_view* before, std::string_view* after) {
  const OneConversion* one = Formats().Find(format);
  if (one == nullptr) return false;
  *before = one->before;
  *after = one->after;
  return true;
}

void AppendUtf8(const TextView& text, std::string& out) {
  switch (text.kind) {
    case TextView::Kind::kAscii:
      out.append(text.bytes());
      return;
    case TextView::Kind::kNarrow:
      for (const char c : text.bytes()) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
          out.push_back(c);
        } else {
          out.push_back(static_cast<char>(0xC0 | (b >> 6)));
          out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
      }
      return;
    case TextView::Kind::kWide:
      EncodeUtf8(text.wide(), out);
      return;
  }
}

Value mlfStr2num(const Value& text) {
  if (!text.is_char() || text.rows() > 1) return Value::Empty();
  const std::string s = text.utf8();
  std::vector<double> numbers;
  std::size_t i = 0;
  const auto is_sep = [](char c) {
    return c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r';
  };
  while (i < s.size()) {
    while (i < s.size() && is_sep(s[i])) ++i;
    if (i == s.size()) break;
    std::size_t j = i;
    while (j < s.size() && !is_sep(s[j])) ++j;
    double x = 0;
    if (!ParseNumber(std::string_view(s).substr(i, j - i), &x)) return Value::Empty();
    numbers.push_back(x);
    i = j;
  }
  if (numbers.empty()) return Value::Empty();
  return Value::Row(numbers);
}

Value mlfStrcat(Value first, const Value& second) {
  CheckJoinable(first);
  CheckJoinable(second);
  const std::size_t n =
      LengthWithoutEndOfLine(second.numel(), [&](std::size_t i) { return second.unit(i); });
  if (second.narrow()) {  // the bytes as they are
    TextView piece = second.text_view();
    piece.size = n;
    if (first.empty())
      return second.ascii() ? Value::AsciiText(piece.bytes()) : Value::NarrowText(piece.bytes());
    first.append_text(piece);
    return first;
  }
  std::u16string piece(n, u'\0');
  for (std::size_t i = 0; i < n; ++i) piece[i] = second.unit(i);
  if (first.empty()) return Value::Text(std::u16string_view(piece));
  first.append_text(piece);
  return first;
}

std::string DisplayText(const Value& v) {
  if (v.absent() || v.unassigned()) return "(no value)";
  if (v.is_char()) {
    if (v.rows() <= 1) return v.utf8();
    std::string out;
    const std::u16string u = v.units();
    for (std::size_t r = 0; r < v.rows(); ++r) {
      std::u16string row;
      for (std::size_t c = 0; c < v.cols(); ++c) row.push_back(u[c * v.rows() + r]);
      out += (r ? "\n" : "") + EncodeUtf8(row);
    }
    return out;
  }
  if (v.is_numeric() || v.is_logical()) {
    if (v.empty()) return "[]";
    std::string out;
    for (std::size_t r = 0; r < v.rows(); ++r) {
      if (r) out += "\n";
      for (std::size_t c = 0; c < v.cols(); ++c) {
        if (c) out += "  ";
        out += FormatNumber(v.num(c * v.rows() + r));
      }
    }
    return out;
  }
  const std::string size = std::to_string(v.rows()) + "x" + std::to_string(v.cols());
  return "[" + size + " " + ClassName(v.class_id()) + "]";
}

void mlfDisp(const Value& v) {
  Env::Current()->ConsoleOut(DisplayText(v) + "\n");
}

void mclPrintArray(const Value& v, const char* name) {
  const std::string text = DisplayText(v);
  const bool multiline = text.find('\n') != std::string::npos;
  Env::Current()->ConsoleOut(std::string(name) + " =" + (multiline ? "\n" : " ") + text + "\n");
}

void mclPrintAns(const Value& v) {
  if (!v.absent()) mclPrintArray(v, "ans");
}

std::string QuoteForMessage(const Value& v, char quote) {
  return QuoteForMessage(DisplayText(v), quote);
}

}  // namespace dk
