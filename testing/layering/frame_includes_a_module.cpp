// Must not build: the calling frame includes a module's header, a layer above it.
#include "generator/randlist.h"
