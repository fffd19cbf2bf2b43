#include "jackknife/provenance.h"

#include <openssl/evp.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "base/errors.h"

namespace dk {

std::string Sha256Hex(std::string_view bytes) {
  const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                        &EVP_MD_CTX_free);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
    Raise("Cannot compute a SHA-256 digest: the OpenSSL library failed");
  }
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

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

const char* SeedSourceName(SeedSource source) {
  switch (source) {
    case SeedSource::kOption:
      return "option";
    case SeedSource::kEntropy:
      return "entropy";
    case SeedSource::kWindow:
      return "window";
    case SeedSource::kNone:
      return "none";
  }
  return "none";
}

}  // namespace dk
