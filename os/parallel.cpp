#include "os/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace dk {

void ParallelFor(std::size_t count, unsigned threads,
                 const std::function<void(std::size_t, unsigned)>& work) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  std::mutex error_mutex;
  const auto loop = [&](unsigned worker) {
    for (std::size_t i; !failed && (i = next.fetch_add(1)) < count;) {
      try {
        work(i, worker);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(error_mutex);
        if (!error) error = std::current_exception();
        failed = true;
      }
    }
  };
  const auto used =
      static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(threads, count)));
  {
    std::vector<std::jthread> pool;
    for (unsigned w = 1; w < used; ++w) pool.emplace_back(loop, w);
    loop(0);
  }  // joins the pool
  if (error) std::rethrow_exception(error);
}

}  // namespace dk
