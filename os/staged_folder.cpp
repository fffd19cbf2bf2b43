#include "os/staged_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/errors.h"
#include "os/env.h"
#include "os/files.h"
#include "os/signal_cleanup.h"

namespace dk {
namespace {

std::string AbsoluteFolder(const std::string& path) {
  if (path.empty()) Raise("The output folder name is empty");
  std::filesystem::path p = std::filesystem::path(AbsolutePath(path)).lexically_normal();
  if (!p.has_filename() && p.has_parent_path() && p != p.root_path()) p = p.parent_path();
  return p.string();
}

// True when `name` is "<prefix><pid>-<n>" for a process that no longer runs.
bool IsStaleStaging(const std::string& name, const std::string& prefix) {
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  const char* first = name.data() + prefix.size();
  const char* last = name.data() + name.size();
  int pid = 0;
  const auto [end, ec] = std::from_chars(first, last, pid);
  if (ec != std::errc() || end == first || end == last || *end != '-' || pid <= 0) return false;
  unsigned n = 0;
  const auto [tail, ec2] = std::from_chars(end + 1, last, n);
  if (ec2 != std::errc() || tail != last) return false;
  return pid != Env::Current()->ProcessId() && !Env::Current()->ProcessExists(pid);
}

// Removes what killed runs left in `folder` under names starting with `prefix`; returns
// the names that remain.
std::vector<std::string> RemoveStale(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  if (Env::Current()->ListDir(folder, &names) < 0) return {};
  std::vector<std::string> kept;
  for (std::string& name : names) {
    if (IsStaleStaging(name, prefix) && RemoveFolderTree(folder + "/" + name) == 0) continue;
    kept.push_back(std::move(name));
  }
  return kept;
}

}  // namespace

int RemoveFolderTree(const std::string& path) {
  Env* env = Env::Current();
  std::vector<std::string> names;
  if (const int r = env->ListDir(path, &names); r < 0) return r;
  int first = 0;
  for (const std::string& name : names) {
    const std::string child = path + "/" + name;
    struct stat st {};
    int r = env->LinkStat(child, &st);
    if (r == 0) r = S_ISDIR(st.st_mode) ? RemoveFolderTree(child) : env->Unlink(child);
    if (r < 0 && r != -ENOENT && first == 0) first = r;
  }
  const int r = env->RemoveDir(path);
  return first != 0 ? first : r;
}

StagedFolder::StagedFolder(const std::string& target, bool force)
    : target_(AbsoluteFolder(target)) {
  Env* env = Env::Current();
  const std::filesystem::path path(target_);
  const std::string parent = path.parent_path().string();
  const std::string beside_prefix = "." + path.filename().string() + ".dropkit-";
  RemoveStale(parent, beside_prefix);

  struct stat st {};
  const int r = env->Stat(target_, &st);
  if (r < 0 && r != -ENOENT)
    Raise("Cannot use the folder " + QuoteForMessage(target_) + ": " + ErrnoText(r));
  target_exists_ = r == 0;
  bool empty = true;
  if (target_exists_) {
    if (!S_ISDIR(st.st_mode)) {
      Raise("Cannot write into " + QuoteForMessage(target_) + ": it exists and is not a folder");
    }
    target_mode_ = st.st_mode & 07777;
    std::vector<std::string> names;
    if (const int rl = env->ListDir(target_, &names); rl < 0) {
      Raise("Cannot use the folder " + QuoteForMessage(target_) + ": " + ErrnoText(rl));
    }
    empty = RemoveStale(target_, ".dropkit-").empty();
    if (!empty && !force) {
      Raise("The folder " + QuoteForMessage(target_) +
            " exists and is not empty; force writing into it to replace the files of the "
            "same names (--force)");
    }
  }
  // Beside the target, so that one rename puts the whole folder in place; inside a
  // target that keeps other files, or whose parent may not be written.
  replace_whole_ = empty && (!target_exists_ || env->Access(parent, W_OK) == 0);
  // The staging folder itself is made by the first write, once the outputs are known not
  // to replace an input; whether it can be made is checked now.
  if (const int ra = env->Access(replace_whole_ ? parent : target_, W_OK); ra < 0) {
    RaiseCannotCreate(ra);
  }
  stem_ = (replace_whole_ ? parent + "/" + beside_prefix : target_ + "/.dropkit-") +
          std::to_string(Env::Current()->ProcessId()) + "-";
}

void StagedFolder::RaiseCannotCreate(int err) const {
  Raise("Cannot create a folder " + std::string(replace_whole_ ? "beside " : "in ") +
        QuoteForMessage(target_) + ": " + ErrnoText(err));
}

void StagedFolder::MakeStaging() {
  if (committed_) Raise("StagedFolder: " + QuoteForMessage(target_) + " was committed already");
  if (!staging_.empty()) return;
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    std::string candidate = stem_ + std::to_string(++counter);
    // Recorded before it is made, so that no signal can come between the two.
    const int slot = RemoveOnSignal(candidate, true);
    const int rm = Env::Current()->MakeDir(candidate, 0777);
    if (rm == 0) {
      staging_ = std::move(candidate);
      signal_slot_ = slot;
      return;
    }
    ReleaseOnSignal(slot);
    if (rm != -EEXIST || attempt > 100) RaiseCannotCreate(rm);
  }
}

void StagedFolder::CheckOutputs(const std::vector<std::string>& names) const {
  if (!target_exists_ || inputs_.empty()) return;
  for (const std::string& name : names) {
    struct stat st {};
    if (Env::Current()->Stat(target_ + "/" + name, &st) != 0) continue;
    for (const Input& input : inputs_) {
      if (input.device == st.st_dev && input.inode == st.st_ino) {
        Raise("Cannot write " + QuoteForMessage(target_ + "/" + name) + ": it is " + input.role +
              " " + QuoteForMessage(input.path) +
              ", which the output would replace; choose another folder");
      }
    }
  }
}

StagedFolder::~StagedFolder() {
  RemoveStaging();
}

void StagedFolder::RemoveStaging() {
  if (!staging_.empty()) RemoveFolderTree(staging_);
  staging_.clear();
  ReleaseOnSignal(std::exchange(signal_slot_, -1));
}

void StagedFolder::ProtectInput(const std::string& path, const std::string& role) {
  struct stat st {};
  if (Env::Current()->Stat(path, &st) == 0) inputs_.push_back({path, role, st.st_dev, st.st_ino});
}

void StagedFolder::Write(const std::string& name, std::string_view bytes) {
  WriteWith(name, [&](const std::string& path) { WriteWholeFile(path, bytes); });
}

void StagedFolder::Write(const std::string& name,
                         const std::function<void(const ByteSink&)>& produce) {
  WriteWith(name, [&](const std::string& path) { WriteWholeFile(path, produce); });
}

void StagedFolder::WriteWith(const std::string& name,
                             const std::function<void(const std::string&)>& write) {
  CheckOutputs({name});
  {
    std::lock_guard<std::mutex> lock(names_mutex_);
    MakeStaging();
  }
  const std::string path = staging_ + "/" + name;
  try {
    write(path);
  } catch (const RuntimeError& e) {
    // Name the file the user asked for, not its hidden stand-in.
    std::string message = e.what();
    const std::string hidden = QuoteForMessage(path);
    if (const std::size_t at = message.find(hidden); at != std::string::npos) {
      message.replace(at, hidden.size(), QuoteForMessage(target_ + "/" + name));
    }
    Raise(message);
  }
  std::lock_guard<std::mutex> lock(names_mutex_);
  names_.push_back(name);
}

void StagedFolder::Commit() {
  Env* env = Env::Current();
  MakeStaging();
  committed_ = true;
  if (replace_whole_) {
    if (target_exists_) {
      // The folder that replaces the target takes its permissions.
      int fd = -1;
      if (env->Open(staging_, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0, &fd) == 0) {
        env->FileChmod(fd, target_mode_);
        env->Close(fd);
      }
    }
    DeferSignals defer;
    if (const int r = env->Rename(staging_, target_); r < 0) {
      Raise("Cannot create the folder " + QuoteForMessage(target_) + ": " + ErrnoText(r));
    }
    staging_.clear();
    ReleaseOnSignal(std::exchange(signal_slot_, -1));
    return;
  }
  // A file that replaces one of the same name keeps that file's permissions.
  for (const auto& name : names_) {
    struct stat old {};
    if (env->Stat(target_ + "/" + name, &old) != 0 || !S_ISREG(old.st_mode)) continue;
    int fd = -1;
    if (env->Open(staging_ + "/" + name, O_RDONLY | O_CLOEXEC, 0, &fd) == 0) {
      env->FileChmod(fd, old.st_mode & 07777);
      env->Close(fd);
    }
  }
  DeferSignals defer;
  for (const auto& name : names_) {
    const std::string to = target_ + "/" + name;
    if (const int r = env->Rename(staging_ + "/" + name, to); r < 0) {
      Raise("Cannot replace " + QuoteForMessage(to) + ": " + ErrnoText(r));
    }
  }
  RemoveStaging();
}

}  // namespace dk
