// The dropkit program: hands the command line and the program's record to the
// graphics main, which opens the window and runs until it is closed.
#include "platform/mainhg.h"
#include "shell/registry.h"
#include "window/dropkit.h"

int main(int argc, char** argv) {
  return dk::mclMainhg(argc, argv, dk::mlxDropkit, 1, dk::main_info);
}
