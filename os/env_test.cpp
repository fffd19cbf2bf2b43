#include "os/env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace dk {
namespace {

// Sets the TZ variable for a scope, restoring the old value after.
class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedZone() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST(EnvTest, ZoneOffsetFollowsTheRulesInForceAtThatTime) {
  {
    ScopedZone zone("UTC0");
    EXPECT_EQ(Env::Default()->ZoneOffset({2026, 12, 7, 14, 5, 30}), 0);
  }
  {
    // A rule written out in full needs no time zone database.
    ScopedZone zone("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(Env::Default()->ZoneOffset({2026, 1, 15, 12, 0, 0}), -5 * 3600);
    EXPECT_EQ(Env::Default()->ZoneOffset({2026, 7, 15, 12, 0, 0}), -4 * 3600);
  }
  {
    ScopedZone zone("IST-5:30");
    EXPECT_EQ(Env::Default()->ZoneOffset({2026, 7, 15, 12, 0, 0}), 5 * 3600 + 30 * 60);
  }
}

}  // namespace
}  // namespace dk
