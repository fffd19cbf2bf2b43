#include "gui/file_filters.h"

#include <cctype>

#include "base/errors.h"

namespace dk::internal {
namespace {

const FileFilter kAllFiles{"All files", "*"};

// The patterns of a text, each trimmed of blanks, joined by ";"; empty ones dropped.
std::vector<std::string> Patterns(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::size_t a = start, b = end;
    while (a < b && (text[a] == ' ' || text[a] == '\t')) ++a;
    while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t')) --b;
    if (b > a) out.push_back(text.substr(a, b - a));
    start = end + 1;
  }
  return out;
}

std::string Joined(const std::vector<std::string>& patterns) {
  std::string out;
  for (const std::string& p : patterns) out += (out.empty() ? "" : ";") + p;
  return out;
}

bool MatchesAll(const std::vector<std::string>& patterns) {
  for (const std::string& p : patterns) {
    if (p != "*" && p != "*.*") return false;
  }
  return true;
}

}  // namespace

std::string FilterName(const std::string& patterns) {
  const std::vector<std::string> list = Patterns(patterns);
  if (list.size() != 1 || list[0].rfind("*.", 0) != 0) return "Files";
  if (list[0] == "*.txt") return "Text files";
  std::string extension = list[0].substr(2);
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return extension + " files";
}

std::vector<FileFilter> FileFilters(const Value& filter) {
  std::vector<FileFilter> out;
  const auto add = [&out](const std::string& text, std::string name) {
    const std::vector<std::string> patterns = Patterns(text);
    if (patterns.empty())
      Raise("A file filter choice must name at least one pattern such as \"*.txt\"");
    if (MatchesAll(patterns)) return;  // "All files" comes last, once
    out.push_back({name.empty() ? FilterName(text) : std::move(name), Joined(patterns)});
  };
  if (filter.absent() || filter.empty()) {
    // All files alone.
  } else if (filter.is_char() && filter.rows() == 1) {
    add(filter.utf8(), "");
  } else if (filter.is_cell() && filter.cols() == 2) {
    for (std::size_t r = 0; r < filter.rows(); ++r) {
      const Value& patterns = filter.cell(r);
      const Value& name = filter.cell(filter.rows() + r);
      if (!patterns.is_char() || !name.is_char()) {
        Raise("The file filter must be a text such as \"*.txt\" or a cell of patterns and names");
      }
      add(patterns.utf8(), name.utf8());
    }
  } else {
    Raise("The file filter must be a text such as \"*.txt\" or a cell of patterns and names");
  }
  out.push_back(kAllFiles);
  return out;
}

}  // namespace dk::internal
