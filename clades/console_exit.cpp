#include "clades/console_exit.h"

#include <CLI/CLI.hpp>
#include <sstream>

#include "os/env.h"

namespace dk {

int ExitThroughConsole(const CLI::App& app, const CLI::Error& e) {
  std::ostringstream out, err;
  const int status = app.exit(e, out, err);
  Env::Current()->ConsoleOut(out.str());
  Env::Current()->ConsoleErr(err.str());
  return status;
}

}  // namespace dk
