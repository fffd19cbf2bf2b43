#include "jackknife/design_outputs.h"
