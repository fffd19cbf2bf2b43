#include "jackknife/provenance.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/errors.h"

namespace dk {

std::string IsoDateTime(const LocalTime& t, long offset_seconds) {
  const long offset_minutes = std::labs(offset_seconds) / 60;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", t.year, t.month,
                t.day, t.hour, t.minute, static_cast<int>(std::floor(t.seconds)),
                offset_seconds < 0 ? '-' : '+', offset_minutes / 60, offset_minutes % 60);
  return buf;
}

void ShowDrawnSeed(std::uint64_t seed) {
  Env::Current()->ConsoleErr("seed: " + std::to_string(seed) + "\n");
}

}  // namespace dk
