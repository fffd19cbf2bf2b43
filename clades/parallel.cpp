#include "clades/parallel.h"

#include <algorithm>

#include "os/thread_count.h"

namespace dk::clades {

unsigned WorkerCount(std::size_t count) {
  const std::size_t threads = ThreadCount(8);
  return static_cast<unsigned>(std::max<std::size_t>(1, std::min(threads, count)));
}

}  // namespace dk::clades
