// Must not build: a module includes the program's registry, a layer above it.
#include "shell/registry.h"
