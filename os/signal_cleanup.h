// Files and folders that must not outlive an interrupted process, and stretches of work
// that an interruption must not cut in half.
//
// A handler for SIGINT, SIGTERM and SIGHUP removes every recorded path (a folder with
// the files in it) and then ends the process by the same signal. It is installed on
// first use, and only for signals whose handling nobody else has set. While a
// DeferSignals object lives, the handler only notes the signal; the last one to go
// does the removal and ends the process, so the work it guarded is either not begun
// or complete.
//
// Threading: any thread may record, release and defer; the handler runs on whichever
// thread the signal reaches.
#ifndef DROPKIT_OS_SIGNAL_CLEANUP_H_
#define DROPKIT_OS_SIGNAL_CLEANUP_H_

#include <string>

namespace dk {

// Records `path` (absolute) for removal on a signal; a folder is removed with the files
// directly in it. Returns a slot for ReleaseOnSignal, or -1 when the path cannot be
// recorded (a very long name, too many at once), in which case a signal may leave it.
int RemoveOnSignal(const std::string& path, bool folder);

// Forgets the path of `slot` (-1 does nothing).
void ReleaseOnSignal(int slot);

// Holds back the end of the process by SIGINT, SIGTERM or SIGHUP for its life.
class DeferSignals {
 public:
  DeferSignals();
  ~DeferSignals();
  DeferSignals(const DeferSignals&) = delete;
  DeferSignals& operator=(const DeferSignals&) = delete;
};

}  // namespace dk

#endif  // DROPKIT_OS_SIGNAL_CLEANUP_H_
