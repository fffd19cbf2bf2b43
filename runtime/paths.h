// File names: splitting and joining them, and finding a figure file named without a
// folder.
//
// Names use "/" as the only separator. Splitting and joining are pure text operations
// and never touch the disk; the figure-file search reads the disk through the current
// Env.
#ifndef DROPKIT_RUNTIME_PATHS_H_
#define DROPKIT_RUNTIME_PATHS_H_

#include <string>
#include <vector>

#include "runtime/value.h"

namespace dk {

// The three parts of a file name. Each is a text; a missing part is the empty text.
struct FileParts {
  Value path;  // the folder, without a final "/" unless it is the root "/"
  Value name;  // the base name
  Value ext;   // the extension with its leading dot (".fig")
};

// Splits `filename` (a text) at its last "/" and at the last "." after it:
// "a/b/c.fig" gives "a/b", "c", ".fig"; "Dropkit" gives "", "Dropkit", "";
// "/c.fig" gives "/", "c", ".fig"; ".fig" gives "", "", ".fig".
// Raises for a value that is not a one-row text (the empty matrix counts as "").
FileParts mlfFileparts(const Value& filename);

// Joins a folder and a name with one "/" between them, adding one only where neither
// side has it and dropping one where both do. An empty side gives the other unchanged.
// Raises for values that are not texts (the empty matrix counts as "").
Value mlfFullfile(const Value& path, const Value& name);

// The folder of the running program, from /proc/self/exe; "" when it cannot be read.
std::string ProgramFolder();

// The folders searched, in order and without repeats, for a figure file named without
// a folder: where an installed program keeps it (<program folder>/../share/dropkit, as
// the install's layout sets it), then the program's own folder (a build tree, where the
// build copies the file beside the programs). Never the current folder: a folder the
// user happens to work in must not change the program; a name with a folder
// ("./X.fig") is used as given. Folders that cannot be determined are left out.
std::vector<std::string> FigureFileFolders();

// Where an installed program's documentation is (README.md and the docs folder): the
// folder doc/dropkit beside its data folder (<program folder>/../share/doc/dropkit, as
// the install lays it out); "" when that holds no README.md, as for a program run from
// its build tree.
std::string DocsFolder();

// The file that a figure file name stands for. A name that holds a "/" is used as
// given. A bare name is looked for as a regular file in FigureFileFolders(), in order;
// the first hit is returned as folder + "/" + name. Raises an error naming the file and
// every folder searched when none holds it.
std::string LocateFigureFile(const std::string& filename);

}  // namespace dk

#endif  // DROPKIT_RUNTIME_PATHS_H_
