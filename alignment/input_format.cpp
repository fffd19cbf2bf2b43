#include "alignment/input_format.h"

#include <cstddef>

namespace dk {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[i]) != prefix[i]) return false;
  }
  return true;
}

// True for a line of two whole numbers separated by blanks, blanks around allowed.
bool IsPhylipHeader(std::string_view line) {
  std::size_t i = 0;
  int numbers = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    if (!IsDigit(line[i])) return false;
    while (i < line.size() && IsDigit(line[i])) ++i;
    if (i < line.size() && !IsBlank(line[i])) return false;
    ++numbers;
  }
  return numbers == 2;
}

}  // namespace

std::optional<InputFormat> ParseInputFormat(std::string_view name) {
  for (const InputFormat format : kNamedInputFormats) {
    if (name == InputFormatName(format)) return format;
  }
  return std::nullopt;
}

const char* InputFormatName(InputFormat format) {
  switch (format) {
    case InputFormat::kList:
      return "list";
    case InputFormat::kFasta:
      return "fasta";
    case InputFormat::kPhylip:
    case InputFormat::kPhylipStrict:
      return "phylip";
    case InputFormat::kPhylipRelaxed:
      return "phylip-relaxed";
    case InputFormat::kNexus:
      return "nexus";
  }
  return "list";
}

const char* DesignFormatName(InputFormat format) {
  switch (format) {
    case InputFormat::kList:
      return "list";
    case InputFormat::kFasta:
      return "fasta";
    case InputFormat::kPhylip:
    case InputFormat::kPhylipStrict:
    case InputFormat::kPhylipRelaxed:
      return "phylip";
    case InputFormat::kNexus:
      return "nexus";
  }
  return "list";
}

bool IsAlignmentFormat(InputFormat format) {
  return format != InputFormat::kList;
}

InputFormat DetectInputFormat(std::string_view head) {
  if (head.size() >= 2 &&
      ((head[0] == '\xFF' && head[1] == '\xFE') || (head[0] == '\xFE' && head[1] == '\xFF'))) {
    return InputFormat::kList;
  }
  if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
  // Skip blank lines; the first line with something on it decides.
  for (;;) {
    std::size_t i = 0;
    while (i < head.size() && (IsBlank(head[i]) || head[i] == '\r')) ++i;
    if (i < head.size() && head[i] == '\n') {
      head.remove_prefix(i + 1);
      continue;
    }
    break;
  }
  std::size_t start = 0;
  while (start < head.size() && IsBlank(head[start])) ++start;
  const std::string_view rest = head.substr(start);
  if (!rest.empty() && rest[0] == '>') return InputFormat::kFasta;
  if (StartsWithNoCase(rest, "#NEXUS")) return InputFormat::kNexus;
  std::size_t end = head.find_first_of("\r\n");
  if (end == std::string_view::npos) end = head.size();
  if (IsPhylipHeader(head.substr(0, end))) return InputFormat::kPhylip;
  return InputFormat::kList;
}

}  // namespace dk
