// The window system of the desktop program: Qt, which takes its own options (such as
// -platform offscreen) out of the command line.
#include "gui/qt/qt_window_system.h"
#include "gui/window_system_factory.h"

namespace dk {

std::unique_ptr<WindowSystem> MakeWindowSystem(int& argc, char** argv) {
  return MakeQtWindowSystem(argc, argv);
}

}  // namespace dk
