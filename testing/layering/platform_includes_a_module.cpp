// Must not build: the run-time includes a module's header, a layer above it.
#include "window/dropkit.h"
