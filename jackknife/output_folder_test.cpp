#include "jackknife/output_folder.h"
