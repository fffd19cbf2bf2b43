// The run-time's error functions: raising a value's text and reading back the last error.
#ifndef DROPKIT_RUNTIME_LAST_ERROR_H_
#define DROPKIT_RUNTIME_LAST_ERROR_H_

#include "base/errors.h"
#include "runtime/value.h"

namespace dk {

// Raises the text of `message`; does nothing for an empty value.
void mlfError(const Value& message);

// The text of the last error raised (or caught and recorded), "" when none.
Value mlfLasterr();

}  // namespace dk

#endif  // DROPKIT_RUNTIME_LAST_ERROR_H_
