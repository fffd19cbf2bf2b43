#include "alignment/pruned.h"
