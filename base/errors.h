// Errors: a C++ exception carrying the message text, and the quoting of any text that
// stands in a message. Raising one also records the text as the last error.
#ifndef DROPKIT_BASE_ERRORS_H_
#define DROPKIT_BASE_ERRORS_H_

#include <stdexcept>
#include <string>
#include <string_view>

namespace dk {

class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(const std::string& message) : std::runtime_error(message) {}
};

// A command the user cancelled ("Show cancelled."): it ends as on an error, changing
// nothing, but is no error to report.
class Cancelled : public RuntimeError {
 public:
  using RuntimeError::RuntimeError;
};

// Records `message` as the last error and throws RuntimeError. Never returns.
[[noreturn]] void Raise(const std::string& message);

// The text of the last error raised (or caught and recorded), "" when none.
std::string LastErrorText();
// Records `message` as the last error without raising it.
void SetLastError(const std::string& message);

// `text` (UTF-8) between two `quote` characters, fit to stand in a message on a terminal:
// control characters become escapes ("\n", "\t", "\r", "\x1b", "\u0085") and bytes that
// are not valid UTF-8 become "\xNN", so a file name or a box text can never move the
// cursor, ring the bell or change the terminal's colours. Everything else is kept.
std::string QuoteForMessage(std::string_view text, char quote = '\'');

// `text` escaped as QuoteForMessage escapes it, without the quotes: for a message of
// another program (NCL's) that may quote the input's own bytes.
std::string EscapeForMessage(std::string_view text);

}  // namespace dk

#endif  // DROPKIT_BASE_ERRORS_H_
