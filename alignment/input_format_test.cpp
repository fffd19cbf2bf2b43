#include "alignment/input_format.h"
