// Spreads independent pieces of work over a few threads.
#ifndef DROPKIT_CLADES_PARALLEL_H_
#define DROPKIT_CLADES_PARALLEL_H_

#include <cstddef>
#include <functional>

namespace dk::clades {

// The number of threads ParallelFor uses for `count` pieces: at most the machine's
// hardware threads, at most 8, at most `count`, at least 1.
unsigned WorkerCount(std::size_t count);

// Calls work(i, worker) once for each i in [0, count), on WorkerCount(count) threads
// (the calling one among them); `worker` is the thread's number, below WorkerCount.
// Pieces are handed out in increasing order. `work` must not throw: it records its
// failures for the caller to raise afterwards, on the calling thread.
void ParallelFor(std::size_t count, const std::function<void(std::size_t, unsigned)>& work);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_PARALLEL_H_
