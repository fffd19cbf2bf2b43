#include "runtime/last_error.h"

namespace dk {

void mlfError(const Value& message) {
  if (message.absent() || message.empty()) return;
  Raise(message.is_char() ? message.utf8() : "Error: the message is not a text");
}

Value mlfLasterr() {
  return Value::Text(LastErrorText());
}

}  // namespace dk
