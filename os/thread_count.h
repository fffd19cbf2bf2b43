// How many threads a piece of work may run on: DROPKIT_THREADS, or else the processors.
//
// Threading: reads the environment through the current Env; call from any thread.
#ifndef DROPKIT_OS_THREAD_COUNT_H_
#define DROPKIT_OS_THREAD_COUNT_H_

namespace dk {

// The most threads DROPKIT_THREADS may ask for.
inline constexpr unsigned kMaxThreads = 256;

// DROPKIT_THREADS when it is set, else the processors the process may run on, but not
// more than `default_most`. Raises a RuntimeError quoting the setting when it is not a
// whole number from 1 to kMaxThreads.
unsigned ThreadCount(unsigned default_most);

}  // namespace dk

#endif  // DROPKIT_OS_THREAD_COUNT_H_
