#include "jackknife/input.h"
