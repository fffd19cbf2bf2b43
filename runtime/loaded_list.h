// A name list that a command has just loaded, reported to whoever watches: the program
// checks the names and shows what it finds, and remembers the list for later commands.
// The run-time only passes the report on; it knows nothing of the checks.
//
// Threading: one thread, as the values.
#ifndef DROPKIT_RUNTIME_LOADED_LIST_H_
#define DROPKIT_RUNTIME_LOADED_LIST_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "runtime/value.h"

namespace dk {

struct LoadedList {
  std::string path;        // the file, absolute
  Value names;             // a cell of texts: each name as read, with its line break
  std::size_t count;       // the names of the list: the first `count` elements of `names`
  bool alignment = false;  // the names are an alignment's taxa (ListSource)
};

// What Load makes of a file before it reads it as a name list: a program installs a
// reader that recognises alignments, whose taxa are then the list, and refuses a file
// that is not text. With none installed, every file is read as a name list.
struct ListSource {
  std::vector<std::string> lines;  // each taxon's name followed by "\n", in the file's order
  std::string message;             // for the OutBox: "Loaded 16 taxa from the FASTA ..."
};
// Returns nullopt for a name list; raises, naming the file, for one that cannot be loaded.
using ListSourceReader = std::optional<ListSource> (*)(const std::string& path);
ListSourceReader SetListSourceReader(ListSourceReader reader);
std::optional<ListSource> ReadListSource(const std::string& path);

// Installs `reader` for the life of the scope, and the one it replaced again on exit.
class ScopedListSourceReader {
 public:
  explicit ScopedListSourceReader(ListSourceReader reader)
      : previous_(SetListSourceReader(reader)) {}
  ~ScopedListSourceReader() { SetListSourceReader(previous_); }
  ScopedListSourceReader(const ScopedListSourceReader&) = delete;
  ScopedListSourceReader& operator=(const ScopedListSourceReader&) = delete;

 private:
  ListSourceReader previous_;
};

// Receives each report; whatever it raises passes to the command that reported.
using LoadedListObserver = void (*)(const LoadedList& list);

// Installs `observer` (nullptr: none); returns the one it replaces.
LoadedListObserver SetLoadedListObserver(LoadedListObserver observer);

// Remembers the list's file as the one most recently loaded, then reports the list to
// the observer, if one is installed.
void ReportListLoaded(const LoadedList& list);

// The file of the list most recently loaded (absolute); "" before any. No write
// replaces it (os/files.h).
const std::string& LastLoadedListPath();

}  // namespace dk

#endif  // DROPKIT_RUNTIME_LOADED_LIST_H_
