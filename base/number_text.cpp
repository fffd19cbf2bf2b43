#include "base/number_text.h"

#include <charconv>
#include <cmath>

namespace dk {

std::string FormatNumber(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  if (x == 0) return "0";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, static_cast<std::size_t>(r.ptr - buf));
}

}  // namespace dk
