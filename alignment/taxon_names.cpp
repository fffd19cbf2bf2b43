#include "alignment/taxon_names.h"

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

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && !IsSpace(c)) || u == 0x7F;
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

}  // namespace

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
    if (IsSpace(c)) space = true;
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
    if (IsSpace(c) || IsControl(c) || IsPunctuation(c)) {
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
