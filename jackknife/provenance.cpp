#include "jackknife/provenance.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "base/errors.h"

namespace dk {

long LocalZoneOffset(const LocalTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = static_cast<int>(t.seconds);
  tm.tm_isdst = -1;
  const std::time_t instant = std::mktime(&tm);
  std::tm local{};
  if (instant == static_cast<std::time_t>(-1) || ::localtime_r(&instant, &local) == nullptr) {
    return 0;
  }
  return local.tm_gmtoff;
}

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
