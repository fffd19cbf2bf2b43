// How many threads the clade work spreads over.
#ifndef DROPKIT_CLADES_PARALLEL_H_
#define DROPKIT_CLADES_PARALLEL_H_

#include <cstddef>

namespace dk::clades {

// The number of threads for `count` pieces of clade work (os/parallel.h): as many as
// DROPKIT_THREADS says, else the processors but at most 8 (os/thread_count.h); at most
// `count`, at least 1. Raises as ThreadCount does for a bad DROPKIT_THREADS.
unsigned WorkerCount(std::size_t count);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_PARALLEL_H_
