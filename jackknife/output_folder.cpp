#include "jackknife/output_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace dk {
namespace {

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

std::string AbsoluteFolder(const std::string& path) {
  if (path.empty()) Raise("The output folder name is empty");
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec).lexically_normal();
  if (ec) Raise("Cannot use the folder '" + path + "': " + ec.message());
  if (!p.has_filename() && p.has_parent_path() && p != p.root_path()) p = p.parent_path();
  return p.string();
}

}  // namespace

StagedFolder::StagedFolder(const std::string& target, bool force)
    : target_(AbsoluteFolder(target)) {
  Env* env = Env::Current();
  struct stat st {};
  const int r = env->Stat(target_, &st);
  if (r < 0 && r != -ENOENT) Raise("Cannot use the folder " + Quote(target_) + ": " + ErrnoText(r));
  target_exists_ = r == 0;
  if (target_exists_) {
    if (!S_ISDIR(st.st_mode)) {
      Raise("Cannot write into " + Quote(target_) + ": it exists and is not a folder");
    }
    std::error_code ec;
    const bool empty = std::filesystem::is_empty(target_, ec);
    if (ec) Raise("Cannot use the folder " + Quote(target_) + ": " + ec.message());
    if (!empty && !force) {
      Raise("The folder " + Quote(target_) +
            " exists and is not empty; force writing into it to replace the files of the "
            "same names (--force)");
    }
  }
  // Beside a new target, so that one rename makes it; inside an existing one, so that
  // its files move by rename and its parent need not be writable.
  const std::filesystem::path path(target_);
  const std::string stem = (target_exists_ ? target_ + "/.dropkit-"
                                           : path.parent_path().string() + "/." +
                                                 path.filename().string() + ".dropkit-") +
                           std::to_string(::getpid()) + "-";
  static unsigned counter = 0;
  for (int attempt = 0;; ++attempt) {
    std::string candidate = stem + std::to_string(++counter);
    if (::mkdir(candidate.c_str(), 0777) == 0) {
      staging_ = std::move(candidate);
      break;
    }
    if (errno != EEXIST || attempt > 100) {
      Raise("Cannot create a folder " + std::string(target_exists_ ? "in " : "beside ") +
            Quote(target_) + ": " + ErrnoText(errno));
    }
  }
}

StagedFolder::~StagedFolder() {
  if (staging_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(staging_, ec);
}

void StagedFolder::Write(const std::string& name, std::string_view bytes) {
  if (staging_.empty()) Raise("StagedFolder: write of " + Quote(name) + " after Commit");
  WriteWholeFile(staging_ + "/" + name, bytes);
  names_.push_back(name);
}

void StagedFolder::Commit() {
  Env* env = Env::Current();
  if (!target_exists_) {
    if (const int r = env->Rename(staging_, target_); r < 0) {
      Raise("Cannot create the folder " + Quote(target_) + ": " + ErrnoText(r));
    }
    staging_.clear();
    return;
  }
  for (const auto& name : names_) {
    const std::string to = target_ + "/" + name;
    if (const int r = env->Rename(staging_ + "/" + name, to); r < 0) {
      Raise("Cannot replace " + Quote(to) + ": " + ErrnoText(r));
    }
  }
  std::error_code ec;
  std::filesystem::remove(staging_, ec);
  staging_.clear();
}

}  // namespace dk
