// The window system of headless executables: no windows, no command-line options.
#include "gui/headless/headless_window_system.h"
#include "gui/window_system_factory.h"

namespace dk {

std::unique_ptr<WindowSystem> MakeWindowSystem(int& /*argc*/, char** /*argv*/) {
  return std::make_unique<HeadlessWindowSystem>();
}

}  // namespace dk
