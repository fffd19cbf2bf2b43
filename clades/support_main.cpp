// dropkit-support: the clade-survival command on its own (as `dropkit-batch support`).
#include "clades/support_command.h"

int main(int argc, char** argv) {
  return SupportCommand(argc, argv);
}
