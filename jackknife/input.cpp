#include "jackknife/input.h"

#include <utility>

#include "base/errors.h"
#include "jackknife/provenance.h"
#include "os/env.h"
#include "runtime/file_table.h"
#include "runtime/ops.h"

namespace dk {
namespace {

// Every line of a text file, each with its line break, through the run-time's reader.
std::vector<std::string> ReadLines(const std::string& path) {
  const Value fid = mlfFopen(Value::Text(path), Value::Text("rt"));
  FileGuard guard(fid);
  std::vector<std::string> lines;
  for (Value line = mlfFgets(fid); line.is_char(); line = mlfFgets(fid)) {
    lines.push_back(line.utf8());
  }
  mlfFclose(fid);
  return lines;
}

std::string WithoutBreak(const std::string& line) {
  return !line.empty() && line.back() == '\n' ? line.substr(0, line.size() - 1) : line;
}

}  // namespace

TaxonList LoadTaxa(const std::string& path, std::optional<InputFormat> format,
                   FastaNames fasta_names) {
  TaxonList list;
  list.file = path;
  if (path.empty()) Raise("The input file name is empty");
  std::string bytes = ReadBoundedFile(path, kMaxInputBytes, "the input", FileKinds::kRegularOnly);
  list.size = bytes.size();
  list.sha256 = Sha256Hex(bytes);
  list.format = format ? *format : DetectInputFormat(std::string_view(bytes).substr(0, 4096));
  if (list.format == InputFormat::kList) {
    std::string().swap(bytes);  // the reader reads the file again, line by line
    list.lines = ReadLines(path);
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

std::vector<std::string> LoadNameFile(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& line : ReadLines(path)) {
    std::string name = WithoutBreak(line);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

}  // namespace dk
