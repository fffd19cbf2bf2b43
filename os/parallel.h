// Spreads independent pieces of work over a few threads.
//
// Threading: `work` runs on several threads at once, each piece once.
#ifndef DROPKIT_OS_PARALLEL_H_
#define DROPKIT_OS_PARALLEL_H_

#include <cstddef>
#include <functional>

namespace dk {

// Calls work(i, worker) once for each i in [0, count), in increasing order of handing
// out, on `threads` threads (at most `count`, at least 1; the calling one among them);
// `worker` is the thread's number. Once a call raises, no further piece is handed out;
// when all threads are done, the first error is raised again on the calling thread.
void ParallelFor(std::size_t count, unsigned threads,
                 const std::function<void(std::size_t, unsigned)>& work);

}  // namespace dk

#endif  // DROPKIT_OS_PARALLEL_H_
