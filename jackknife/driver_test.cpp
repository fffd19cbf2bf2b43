#include "jackknife/driver.h"
