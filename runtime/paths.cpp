#include "runtime/paths.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "base/errors.h"
#include "os/env.h"

namespace dk {
namespace {

// Where an installed program keeps its data, relative to the program's own folder.
#ifdef DROPKIT_DATA_FROM_BIN
constexpr std::string_view kDataFromProgram = DROPKIT_DATA_FROM_BIN;
#else
constexpr std::string_view kDataFromProgram = "../share/dropkit";
#endif

// The units of a text argument; the empty matrix counts as the empty text.
std::u16string TextUnits(const Value& v, const char* what) {
  if (!v.absent() && v.empty() && (v.is_char() || v.is_numeric())) return u"";
  if (!v.is_char() || v.rows() != 1) {
    Raise(std::string(what) + " must be a text, not a " +
          (v.absent() ? std::string("missing value") : ClassName(v.class_id())));
  }
  return v.units();
}

Value TextOf(std::u16string_view units) {
  return Value::Text(units);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return Env::Current()->Stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

FileParts mlfFileparts(const Value& filename) {
  const std::u16string s = TextUnits(filename, "fileparts: the file name");
  const std::size_t slash = s.rfind(u'/');
  std::u16string_view folder;
  std::u16string_view file = s;
  if (slash != std::u16string::npos) {
    folder = std::u16string_view(s).substr(0, slash);
    // A name directly under the root keeps the root as its folder.
    if (folder.empty()) folder = std::u16string_view(s).substr(0, 1);
    file = std::u16string_view(s).substr(slash + 1);
  }
  const std::size_t dot = file.rfind(u'.');
  if (dot == std::u16string_view::npos) return {TextOf(folder), TextOf(file), Value::EmptyText()};
  return {TextOf(folder), TextOf(file.substr(0, dot)), TextOf(file.substr(dot))};
}

Value mlfFullfile(const Value& path, const Value& name) {
  const std::u16string folder = TextUnits(path, "fullfile: the folder");
  const std::u16string file = TextUnits(name, "fullfile: the file name");
  if (folder.empty()) return TextOf(file);
  if (file.empty()) return TextOf(folder);
  const bool folder_ends = folder.back() == u'/';
  const bool file_starts = file.front() == u'/';
  if (folder_ends && file_starts) return TextOf(folder + file.substr(1));
  if (folder_ends || file_starts) return TextOf(folder + file);
  return TextOf(folder + u'/' + file);
}

std::string ProgramFolder() {
  std::string exe;
  if (Env::Current()->RealPath("/proc/self/exe", &exe) != 0) return "";
  const std::size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

std::vector<std::string> FigureFileFolders() {
  std::vector<std::string> folders;
  const auto add = [&folders](std::string folder) {
    if (folder.empty()) return;
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(std::move(folder));
    }
  };
  if (const std::string program = ProgramFolder(); !program.empty()) {
    add((std::filesystem::path(program) / kDataFromProgram).lexically_normal().string());
    add(program);
  }
  return folders;
}

std::string DocsFolder() {
  const std::string program = ProgramFolder();
  if (program.empty()) return "";
  const std::string folder =
      (std::filesystem::path(program) / kDataFromProgram / "../doc/dropkit").lexically_normal();
  return IsRegularFile(JoinFolder(folder, "README.md")) ? folder : "";
}

std::string LocateFigureFile(const std::string& filename) {
  if (filename.empty()) Raise("Cannot find a figure file with an empty name");
  if (filename.find('/') != std::string::npos) return filename;
  const std::vector<std::string> folders = FigureFileFolders();
  for (const std::string& folder : folders) {
    const std::string candidate = JoinFolder(folder, filename);
    if (IsRegularFile(candidate)) return candidate;
  }
  std::string searched;
  for (const std::string& folder : folders) {
    searched += (searched.empty() ? "" : ", ") + folder;
  }
  Raise("Cannot find figure file " + QuoteForMessage(filename) +
        ": it is in none of the folders searched (" + searched + ")");
}

}  // namespace dk
