#include "clades/parallel.h"

#include <algorithm>

#include "os/env.h"

namespace dk::clades {

unsigned WorkerCount(std::size_t count) {
  const std::size_t hardware = Env::Current()->Processors();
  return static_cast<unsigned>(
      std::max<std::size_t>(1, std::min({hardware, std::size_t{8}, count})));
}

}  // namespace dk::clades
