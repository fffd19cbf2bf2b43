#include "os/staged_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

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

// Removes what killed runs left in `folder` under names starting with `prefix`, and
// stores the names that remain in *kept. Returns 0, or -errno when the folder cannot be
// listed.
int RemoveStale(const std::string& folder, const std::string& prefix,
                std::vector<std::string>* kept) {
  std::vector<std::string> names;
  if (const int r = Env::Current()->ListDir(folder, &names); r < 0) return r;
  kept->clear();
  for (std::string& name : names) {
    if (IsStaleStaging(name, prefix) && RemoveFolderTree(folder + "/" + name) == 0) continue;
    kept->push_back(std::move(name));
  }
  return 0;
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
  std::vector<std::string> names;
  RemoveStale(parent, beside_prefix, &names);  // what cannot be listed there is left

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
    if (const int rl = RemoveStale(target_, ".dropkit-", &names); rl < 0) {
      Raise("Cannot use the folder " + QuoteForMessage(target_) + ": " + ErrnoText(rl));
    }
    empty = names.empty();
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
    const int r = Env::Current()->Stat(target_ + "/" + name, &st);
    if (r == -ENOENT) continue;
    if (r < 0) Raise("Cannot write " + QuoteForMessage(target_ + "/" + name) + ": " + ErrnoText(r));
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
  const int r = Env::Current()->Stat(path, &st);
  if (r == -ENOENT) return;
  if (r < 0) Raise("Cannot read " + role + " " + QuoteForMessage(path) + ": " + ErrnoText(r));
  inputs_.push_back({path, role, st.st_dev, st.st_ino});
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
    // The folder that replaces the target takes its permissions.
    if (target_exists_) KeepMode(staging_, O_DIRECTORY, target_mode_, target_);
    DeferSignals defer;
    if (const int r = env->Rename(staging_, target_); r < 0) {
      Raise("Cannot create the folder " + QuoteForMessage(target_) + ": " + ErrnoText(r));
    }
    staging_.clear();
    ReleaseOnSignal(std::exchange(signal_slot_, -1));
    return;
  }
  // A file that replaces one of the same name keeps that file's permissions, and the file
  // it replaces keeps a second name in the staging folder until every file is in place, so
  // that a move that fails can put back what the moves before it replaced.
  std::vector<bool> replaces(names_.size());
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::string to = target_ + "/" + names_[i];
    struct stat old {};
    const int r = env->LinkStat(to, &old);
    if (r == -ENOENT) continue;
    if (r < 0) Raise("Cannot replace " + QuoteForMessage(to) + ": " + ErrnoText(r));
    replaces[i] = true;
    // A link's file lends its permissions (a dangling link none).
    if (S_ISLNK(old.st_mode) && env->Stat(to, &old) < 0) continue;
    if (S_ISREG(old.st_mode)) KeepMode(staging_ + "/" + names_[i], 0, old.st_mode & 07777, to);
  }
  std::string kept = staging_ + "/.replaced";  // a name no output has
  while (std::find(names_.begin(), names_.end(), kept.substr(staging_.size() + 1)) != names_.end())
    kept += "_";
  if (const int r = env->MakeDir(kept, 0700); r < 0) RaiseCannotCreate(r);
  DeferSignals defer;
  std::size_t moved = 0;
  const auto put_back = [&](const std::string& to, int err) {
    while (moved > 0) {
      --moved;
      const std::string name = target_ + "/" + names_[moved];
      if (replaces[moved]) {
        env->Rename(kept + "/" + names_[moved], name);
      } else {
        env->Unlink(name);
      }
    }
    Raise("Cannot replace " + QuoteForMessage(to) + ": " + ErrnoText(err));
  };
  for (; moved < names_.size(); ++moved) {
    const std::string& name = names_[moved];
    const std::string to = target_ + "/" + name;
    if (replaces[moved]) {
      if (const int r = env->Link(to, kept + "/" + name); r < 0) put_back(to, r);
    }
    if (const int r = env->Rename(staging_ + "/" + name, to); r < 0) put_back(to, r);
  }
  if (const int r = RemoveFolderTree(staging_); r < 0 && r != -ENOENT) {
    Warn("Cannot remove the folder " + QuoteForMessage(staging_) + ": " + ErrnoText(r));
  }
  staging_.clear();
  ReleaseOnSignal(std::exchange(signal_slot_, -1));
}

void StagedFolder::KeepMode(const std::string& path, int flags, unsigned mode,
                            const std::string& replaced) const {
  Env* env = Env::Current();
  int fd = -1;
  int r = env->Open(path, O_RDONLY | O_CLOEXEC | flags, 0, &fd);
  if (r == 0) {
    r = env->FileChmod(fd, mode);
    env->Close(fd);
  }
  if (r < 0) RaiseFileError("Cannot keep the permissions of", replaced, r);
}

}  // namespace dk
