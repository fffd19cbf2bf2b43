#include "jackknife/jobs.h"
