// Chooses the window system of an executable. Which definition is linked (headless or
// Qt) is decided when the executable is built, so callers never choose.
#ifndef DROPKIT_GUI_WINDOW_SYSTEM_FACTORY_H_
#define DROPKIT_GUI_WINDOW_SYSTEM_FACTORY_H_

#include <memory>

#include "gui/window_system.h"

namespace dk {

// Creates the window system, which may take its own options out of the command line
// (argc and argv are updated). Call once, before any graphics object exists.
std::unique_ptr<WindowSystem> MakeWindowSystem(int& argc, char** argv);

}  // namespace dk

#endif  // DROPKIT_GUI_WINDOW_SYSTEM_FACTORY_H_
