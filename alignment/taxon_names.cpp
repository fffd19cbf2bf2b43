#include "alignment/taxon_names.h"

#include <emmintrin.h>

#include <cstring>

#include "alignment/ascii_text.h"

namespace dk {
namespace {

// Characters that end an unquoted NEXUS word.
constexpr char kNexusPunctuation[] = "()[]{}/\\,;:=*'\"`+-<>";

struct PunctuationTable {
  bool is[256] = {};
  constexpr PunctuationTable() {
    for (const char* p = kNexusPunctuation; *p != '\0'; ++p)
      is[static_cast<unsigned char>(*p)] = true;
  }
};
constexpr PunctuationTable kPunctuation;

bool IsPunctuation(char c) {
  return kPunctuation.is[static_cast<unsigned char>(c)];
}

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && !IsAsciiSpace(c)) || u == 0x7F;
}

// Bytes that give an unquoted name a problem: blanks, control characters, punctuation.
struct ProblemTable {
  bool is[256] = {};
  constexpr ProblemTable() {
    for (int c = 0; c < 0x20; ++c) is[c] = true;  // control characters and blanks
    is[0x20] = is[0x7F] = true;                   // the blank and DEL
    for (const char* p = kNexusPunctuation; *p != '\0'; ++p)
      is[static_cast<unsigned char>(*p)] = true;
  }
};
constexpr ProblemTable kProblem;

bool AllDigits(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Lanes of `x` from lo to hi.
__m128i InRange(__m128i x, char lo, char hi) {
  const __m128i t = _mm_sub_epi8(x, _mm_set1_epi8(lo));
  return _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(static_cast<char>(hi - lo))), t);
}

// Lanes of `x` that no plain name holds: up to the blank, from DEL up, NEXUS punctuation.
__m128i NotPlain(__m128i x) {
  // Signed, the bytes from 0x80 up are below zero: one comparison takes them with the
  // blank and the control characters.
  const __m128i low = _mm_cmplt_epi8(x, _mm_set1_epi8(0x21));
  const __m128i high = _mm_cmpeq_epi8(x, _mm_set1_epi8(0x7F));
  // The punctuation "()[]{}/\\,;:=*'\"`+-<>": three runs and five single bytes.
  const __m128i runs =
      _mm_or_si128(_mm_or_si128(InRange(x, '\'', '-'), InRange(x, ':', '>')), InRange(x, '[', ']'));
  const __m128i singles = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('"')), _mm_cmpeq_epi8(x, _mm_set1_epi8('/'))),
      _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('`')),
                   _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('{')),
                                _mm_cmpeq_epi8(x, _mm_set1_epi8('}')))));
  return _mm_or_si128(_mm_or_si128(low, high), _mm_or_si128(runs, singles));
}

}  // namespace

bool IsPlainAsciiName(std::string_view name) {
  // Sixteen bytes at a time (every x86-64 processor has the instructions); the last
  // sixteen overlap the ones before, and a shorter name is padded with the digit 0,
  // which is plain and changes no name's digits-only.
  const std::size_t n = name.size();
  if (n == 0) return false;
  __m128i not_plain = _mm_setzero_si128();
  __m128i digit = _mm_set1_epi8(-1);
  const auto look = [&](__m128i x) {
    not_plain = _mm_or_si128(not_plain, NotPlain(x));
    digit = _mm_and_si128(digit, InRange(x, '0', '9'));
  };
  if (n < 16) {
    char padded[16];
    std::memset(padded, '0', sizeof padded);
    std::memcpy(padded, name.data(), n);
    look(_mm_loadu_si128(reinterpret_cast<const __m128i*>(padded)));
  } else {
    for (std::size_t i = 0; i + 16 < n; i += 16) {
      look(_mm_loadu_si128(reinterpret_cast<const __m128i*>(name.data() + i)));
    }
    look(_mm_loadu_si128(reinterpret_cast<const __m128i*>(name.data() + n - 16)));
  }
  return _mm_movemask_epi8(not_plain) == 0 && _mm_movemask_epi8(digit) != 0xFFFF;
}

std::vector<std::string> UnquotedNameProblems(std::string_view name) {
  // Most names have no problem: one look at each byte tells so.
  bool any = false, digits_only = true;
  for (const char c : name) {
    any |= kProblem.is[static_cast<unsigned char>(c)];
    digits_only &= c >= '0' && c <= '9';
  }
  if (!any && !digits_only) return {};
  std::vector<std::string> problems;
  if (name.empty()) {
    problems.push_back("it is empty (neither format has an empty name)");
    return problems;
  }
  bool space = false, control = false;
  std::string punctuation;
  for (const char c : name) {
    if (IsAsciiSpace(c)) space = true;
    if (IsControl(c)) control = true;
    if (IsPunctuation(c) && punctuation.find(c) == std::string::npos) {
      punctuation += c;
    }
  }
  if (space) {
    problems.push_back("a blank (PHYLIP ends a name at a blank; NEXUS needs quotes)");
  }
  if (!punctuation.empty()) {
    std::string listed;
    for (const char c : punctuation) {
      if (!listed.empty()) listed += ' ';
      listed += c;
    }
    problems.push_back(
        "the punctuation " + listed +
        " (NEXUS needs quotes; tree files written from PHYLIP break on ( ) [ ] : ; , ')");
  }
  if (control) problems.push_back("a control character (neither format can hold it)");
  if (AllDigits(name)) {
    problems.push_back("only digits (NEXUS reads an unquoted number as a taxon number)");
  }
  return problems;
}

std::string NexusQuoted(std::string_view name) {
  bool plain = !name.empty() && !AllDigits(name);
  for (const char c : name) {
    if (IsAsciiSpace(c) || IsControl(c) || IsPunctuation(c)) {
      plain = false;
    }
  }
  if (plain) return std::string(name);
  std::string out = "'";
  for (const char c : name) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

}  // namespace dk
