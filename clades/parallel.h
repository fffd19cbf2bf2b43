// How many threads the clade work spreads over.
#ifndef DROPKIT_CLADES_PARALLEL_H_
#define DROPKIT_CLADES_PARALLEL_H_

#include <cstddef>

namespace dk::clades {

// The number of threads for `count` pieces of clade work (os/parallel.h): at most
// the machine's hardware threads, at most 8, at most `count`, at least 1.
unsigned WorkerCount(std::size_t count);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_PARALLEL_H_
