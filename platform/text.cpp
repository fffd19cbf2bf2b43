#include "platform/text.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/utf8.h"

namespace dk {
namespace {

// One argument item of a format: a text or a number.
struct Item {
  bool is_text = false;
  const Value* text = nullptr;
  double number = 0;
};

std::vector<Item> Items(std::initializer_list<Value> args) {
  std::vector<Item> items;
  for (const Value& a : args) {
    if (a.absent() || a.unassigned()) Raise("sprintf: an argument has no value");
    if (a.is_char()) {
      items.push_back({true, &a, 0});
    } else if (a.is_numeric() || a.is_logical()) {
      for (std::size_t i = 0; i < a.numel(); ++i) items.push_back({false, nullptr, a.num(i)});
    } else {
      Raise(std::string("sprintf: cannot format a ") + ClassName(a.class_id()) + " argument");
    }
  }
  return items;
}

void AppendAscii(std::u16string& out, std::string_view s) {
  out.append(s.begin(), s.end());
}

void AppendWhole(std::u16string& out, double x) {
  if (!std::isfinite(x) || x != std::floor(x)) {
    AppendAscii(out, FormatNumber(x));
    return;
  }
  char buf[400];
  const auto r =
      std::to_chars(buf, buf + sizeof buf, x == 0 ? 0.0 : x, std::chars_format::fixed, 0);
  AppendAscii(out, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void AppendFixed(std::u16string& out, double x) {
  if (!std::isfinite(x)) {
    AppendAscii(out, FormatNumber(x));
    return;
  }
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 6);
  AppendAscii(out, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

bool IsTrailingSpace(char16_t u) {
  return u == u' ' || u == u'\n' || u == u'\r';
}

std::u16string_view TrimmedUnits(const Value& v, std::u16string& scratch) {
  if (!v.is_char()) Raise(std::string("strcat: cannot join a ") + ClassName(v.class_id()));
  if (v.rows() > 1) Raise("strcat: cannot join a text of several rows");
  scratch = v.units();
  std::size_t n = scratch.size();
  while (n > 0 && IsTrailingSpace(scratch[n - 1])) --n;
  return std::u16string_view(scratch.data(), n);
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
    // Too large reads as Inf, too small as 0: decide by the sign of the decimal exponent.
    const std::size_t e = body.find_first_of("eE");
    const bool huge = e != std::string_view::npos && body[e + 1] != '-';
    x = huge ? INFINITY : 0.0;
  } else if (r.ec != std::errc() || r.ptr != body.data() + body.size()) {
    return false;
  }
  *out = negative ? -x : x;
  return true;
}

}  // namespace

Value mlfSprintf(const Value& format, std::initializer_list<Value> args) {
  if (!format.is_char()) Raise("sprintf: the format must be a text");
  const std::u16string f = format.units();
  const std::vector<Item> items = Items(args);
  std::u16string out;
  std::size_t next = 0;
  bool stop = false;
  do {
    const std::size_t before = next;
    for (std::size_t i = 0; i < f.size() && !stop; ++i) {
      const char16_t c = f[i];
      if (c == u'\\' && i + 1 < f.size() && f[i + 1] == u'n') {
        out.push_back(u'\n');
        ++i;
      } else if (c != u'%') {
        out.push_back(c);
      } else if (i + 1 >= f.size()) {
        Raise("sprintf: the format ends with a lone '%'");
      } else {
        const char16_t conv = f[++i];
        if (conv == u'%') {
          out.push_back(u'%');
          continue;
        }
        if (conv != u's' && conv != u'i' && conv != u'd' && conv != u'f') {
          Raise("sprintf: unsupported conversion '%" + EncodeUtf8(std::u16string(1, conv)) +
                "' in the format");
        }
        if (next >= items.size()) {
          stop = true;
          break;
        }
        const Item& item = items[next++];
        if (item.is_text) {
          out += item.text->units();
        } else if (conv == u's') {
          AppendAscii(out, FormatNumber(item.number));
        } else if (conv == u'f') {
          AppendFixed(out, item.number);
        } else {
          AppendWhole(out, item.number);
        }
      }
    }
    if (next == before) break;  // the format took no item: running it again would repeat it
  } while (!stop && next < items.size());
  return Value::Text(std::u16string_view(out));
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
  return Value::Row(std::move(numbers));
}

Value mlfStrcat(Value first, const Value& second) {
  std::u16string scratch;
  const std::u16string_view head = TrimmedUnits(first, scratch);
  if (head.size() != first.numel() || first.rows() != 1) {
    first = Value::Text(head);
  }
  std::u16string scratch2;
  const std::u16string_view tail = TrimmedUnits(second, scratch2);
  if (first.empty()) return Value::Text(tail);
  first.append_text(tail);
  return first;
}

std::string FormatNumber(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  if (x == 0) return "0";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, static_cast<std::size_t>(r.ptr - buf));
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

}  // namespace dk
