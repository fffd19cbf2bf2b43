// The batch command's stand-in for the program's window: a figure named "Dropkit" with
// the four edit boxes the generator reads and writes (OutBox, NumBox, RepBox, InitBox),
// built without the figure file. Tests and benchmarks of the generator use it too.
#ifndef DROPKIT_SHELL_BOX_WINDOW_H_
#define DROPKIT_SHELL_BOX_WINDOW_H_

#include <string>

#include "runtime/value.h"

namespace dk {

// Creates the window and returns the figure's handle.
// REQUIRES: graphics installed.
Value CreateBoxWindow();

// Sets the "String" of the box tagged `tag`. Raises when no object has that tag.
void SetBoxText(const char* tag, const std::string& text);

// The "String" of the box tagged `tag`, as UTF-8.
std::string BoxText(const char* tag);

}  // namespace dk

#endif  // DROPKIT_SHELL_BOX_WINDOW_H_
