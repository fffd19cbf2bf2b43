#include "platform/errors.h"

#include "platform/env.h"

namespace dk {
namespace {

std::string& LastError() {
  static std::string* text = new std::string;
  return *text;
}

}  // namespace

void Raise(const std::string& message) {
  LastError() = message;
  throw RuntimeError(message);
}

void mlfError(const Value& message) {
  if (message.absent() || message.empty()) return;
  Raise(message.is_char() ? message.utf8() : "Error: the message is not a text");
}

Value mlfLasterr() {
  return Value::Text(LastError());
}

void SetLastError(const std::string& message) {
  LastError() = message;
}

void Warn(const std::string& message) {
  Env::Current()->ConsoleErr("Warning: " + message + "\n");
}

}  // namespace dk
