#include "os/thread_count.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "os/env.h"

namespace dk {

unsigned ThreadCount(unsigned default_most) {
  Env* env = Env::Current();
  if (std::string text; env->Variable("DROPKIT_THREADS", &text)) {
    const std::string_view view(text);
    unsigned count = 0;
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), count);
    if (error != std::errc() || end != view.data() + view.size() || count < 1 ||
        count > kMaxThreads) {
      Raise("DROPKIT_THREADS must be a whole number from 1 to " + std::to_string(kMaxThreads) +
            ", not " + QuoteForMessage(view, '"'));
    }
    return count;
  }
  return std::clamp(env->Processors(), 1u, std::max(default_most, 1u));
}

}  // namespace dk
