// The dropkit program: hands the command line and the program's record to the
// graphics main, which opens the window and runs until it is closed.
#include "gui/graphics.h"
#include "gui/mainhg.h"
#include "random/random.h"
#include "review/list_review.h"
#include "shell/registry.h"
#include "window/dropkit.h"

int main(int argc, char** argv) {
  // Every draw of the window can be made again: without a seed set, the first draw
  // starts the generator from a whole-number seed drawn from entropy, and shows it.
  dk::SetEntropyStart(dk::EntropyStart::kSeed);
  // Load takes an alignment too, as dropkit-batch does, and refuses what is not text.
  dk::SetListSourceReader(dk::ReadAlignmentAsList);
  // Help > About: the version, and where the documentation is.
  dk::SetAboutText(dk::AboutDropkit());
  return dk::mclMainhg(argc, argv, dk::mlxDropkit, 1, dk::main_info);
}
