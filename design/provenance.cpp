#include "design/provenance.h"

#include <openssl/evp.h>

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
