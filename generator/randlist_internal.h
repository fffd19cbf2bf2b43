// What tests and benchmarks may see of randlist's state; not for the program's own use.
#ifndef DROPKIT_GENERATOR_RANDLIST_INTERNAL_H_
#define DROPKIT_GENERATOR_RANDLIST_INTERNAL_H_

#include "runtime/value.h"

namespace dk {

// The persistent variable "stringset", "fcount" or "initval" as it stands. Raises for
// any other name.
Value RandlistPersistent(const char* name);

}  // namespace dk

#endif  // DROPKIT_GENERATOR_RANDLIST_INTERNAL_H_
