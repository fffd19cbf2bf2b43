#include "os/signal_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstring>

#include "os/env.h"

namespace dk {
namespace {

constexpr int kSlots = 16;
constexpr std::size_t kPathBytes = 4096;

struct Slot {
  std::atomic<bool> claimed;  // taken by a thread, which may still be filling it in
  std::atomic<bool> ready;    // filled in: the handler acts on it
  bool folder;
  char path[kPathBytes];
};
Slot slots[kSlots];

std::atomic<int> defer_depth{0};
std::atomic<int> pending_signal{0};

// Removes the files directly in the folder `path`, then the folder, with system calls
// only (the handler may not allocate). A file made while it runs is caught by the next
// round.
void RemoveFolderNow(const char* path) {
  for (int round = 0; round < 100; ++round) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    alignas(8) char buf[8192];
    for (;;) {
      const long n = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
      if (n <= 0) break;
      for (long at = 0; at < n;) {
        const auto* d = reinterpret_cast<const struct dirent64*>(buf + at);
        at += d->d_reclen;
        const char* name = d->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        ::unlinkat(fd, name, 0);
      }
    }
    ::close(fd);
    if (::rmdir(path) == 0 || errno == ENOENT) return;
  }
}

void RemoveRecorded() {
  for (Slot& slot : slots) {
    if (!slot.ready.load()) continue;
    if (slot.folder) {
      RemoveFolderNow(slot.path);
    } else {
      ::unlink(slot.path);
    }
  }
}

// In the handler: async-signal-safe calls only, straight to the system.
void EndBy(int sig) {
  RemoveRecorded();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

extern "C" void OnSignal(int sig) {
  if (defer_depth.load() > 0) {
    pending_signal.store(sig);
    return;
  }
  EndBy(sig);
}

void InstallOnce() {
  static const bool installed = [] {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
      Env::Current()->HandleSignal(sig, OnSignal, /*only_if_default=*/true);
    }
    return true;
  }();
  (void)installed;
}

}  // namespace

int RemoveOnSignal(const std::string& path, bool folder) {
  InstallOnce();
  if (path.size() >= kPathBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    Slot& slot = slots[i];
    bool expected = false;
    if (slot.claimed.load() || !slot.claimed.compare_exchange_strong(expected, true)) continue;
    slot.folder = folder;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.ready.store(true);
    return i;
  }
  return -1;
}

void ReleaseOnSignal(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  slots[slot].ready.store(false);
  slots[slot].claimed.store(false);
}

DeferSignals::DeferSignals() {
  InstallOnce();
  defer_depth.fetch_add(1);
}

DeferSignals::~DeferSignals() {
  if (defer_depth.fetch_sub(1) == 1) {
    if (const int sig = pending_signal.exchange(0); sig != 0) EndBy(sig);
  }
}

}  // namespace dk
