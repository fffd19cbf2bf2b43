#include "clades/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/env.h"

namespace dk::clades {

unsigned WorkerCount(std::size_t count) {
  const std::size_t hardware = Env::Current()->Processors();
  return static_cast<unsigned>(
      std::max<std::size_t>(1, std::min({hardware, std::size_t{8}, count})));
}

void ParallelFor(std::size_t count, const std::function<void(std::size_t, unsigned)>& work) {
  std::atomic<std::size_t> next{0};
  auto loop = [&](unsigned worker) {
    for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i, worker);
  };
  const unsigned threads = WorkerCount(count);
  std::vector<std::jthread> pool;
  for (unsigned w = 1; w < threads; ++w) pool.emplace_back(loop, w);
  loop(0);
}

}  // namespace dk::clades
