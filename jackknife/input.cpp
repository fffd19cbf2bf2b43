#include "jackknife/input.h"

#include <utility>

#include "base/errors.h"
#include "jackknife/provenance.h"
#include "os/files.h"
#include "os/text_lines.h"

namespace dk {
namespace {

std::string WithoutBreak(const std::string& line) {
  return !line.empty() && line.back() == '\n' ? line.substr(0, line.size() - 1) : line;
}

}  // namespace

TaxonList LoadTaxa(const std::string& path, std::optional<InputFormat> format,
                   FastaNames fasta_names, const TextLimits& limits) {
  TaxonList list;
  list.file = path;
  if (path.empty()) Raise("The input file name is empty");
  std::string bytes = ReadBoundedFile(path, kMaxInputBytes, "the input", FileKinds::kRegularOnly);
  list.size = bytes.size();
  list.sha256 = Sha256Hex(bytes);
  list.format = format ? *format : DetectInputFormat(std::string_view(bytes).substr(0, 4096));
  if (list.format == InputFormat::kList) {
    list.lines = TextLines(std::move(bytes), path, limits);
    for (const auto& line : list.lines) list.names.push_back(WithoutBreak(line));
    return list;
  }
  ReadingOptions options;
  options.fasta_names = fasta_names;
  list.alignment = ReadAlignment(std::move(bytes), list.format, path, options);
  list.format = list.alignment->format;
  list.names = list.alignment->names;
  for (const auto& name : list.names) list.lines.push_back(name + "\n");
  return list;
}

std::vector<std::string> LoadNameFile(const std::string& path, const TextLimits& limits) {
  std::vector<std::string> names;
  for (const auto& line : ReadTextLines(path, limits)) {
    std::string name = WithoutBreak(line);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

}  // namespace dk
