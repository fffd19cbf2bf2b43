// Numbers as text, for messages and listings.
#ifndef DROPKIT_BASE_NUMBER_TEXT_H_
#define DROPKIT_BASE_NUMBER_TEXT_H_

#include <string>

namespace dk {

// The shortest text that reads back as `x` ("0.1", "1e+100", "42"); "NaN", "Inf", "-Inf";
// "0" for both zeros.
std::string FormatNumber(double x);

}  // namespace dk

#endif  // DROPKIT_BASE_NUMBER_TEXT_H_
