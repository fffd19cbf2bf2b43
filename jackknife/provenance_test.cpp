#include "jackknife/provenance.h"

#include "testing/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

namespace dk {
namespace {

TEST(ProvenanceTest, Sha256MatchesPublishedDigests) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(ProvenanceTest, IsoDateTimeCarriesTheOffset) {
  const LocalTime t{2026, 12, 7, 9, 5, 30.75};
  EXPECT_EQ(IsoDateTime(t, 0), "2026-12-07T09:05:30+00:00");
  EXPECT_EQ(IsoDateTime(t, 3600), "2026-12-07T09:05:30+01:00");
  EXPECT_EQ(IsoDateTime(t, -(3 * 3600 + 30 * 60)), "2026-12-07T09:05:30-03:30");
  EXPECT_EQ(IsoDateTime(t, 5 * 3600 + 45 * 60), "2026-12-07T09:05:30+05:45");
  EXPECT_EQ(IsoDateTime({1999, 1, 2, 23, 59, 59.999}, -36000), "1999-01-02T23:59:59-10:00");
}

}  // namespace
}  // namespace dk
