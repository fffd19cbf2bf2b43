// Figure files: a window's layout (one figure, its controls, their properties and
// callbacks) kept as a JSON document outside the program, and the loader that builds
// the graphics objects from one. docs/figure-file.md describes the format.
//
// A load either builds the whole figure or raises an error and leaves no object behind.
// Every error names the file and says what was wrong: the system's reason when the file
// cannot be read, the line and column when it is not JSON, and the place in the
// document (a JSON Pointer such as /figure/children/2/properties/Position) when the
// document does not describe a figure.
//
// Threading: one thread, as the graphics model.
#ifndef DROPKIT_GUI_FIGURE_FILE_H_
#define DROPKIT_GUI_FIGURE_FILE_H_

#include <string>
#include <string_view>

#include "runtime/value.h"

namespace dk {

// Loads the figure file `filename` (a text) and returns the handle of the figure built
// from it. A name without a folder is looked for as LocateFigureFile (paths.h) says.
// nargout is accepted and not otherwise used.
// REQUIRES: graphics installed.
Value mlfNHgload(int nargout, const Value& filename);

// Builds a figure from the text of a figure file; `source` names the file in errors.
Value LoadFigureText(std::string_view text, const std::string& source);

}  // namespace dk

#endif  // DROPKIT_GUI_FIGURE_FILE_H_
