// Writes the files of an output folder all at once.
//
// Files are first written into a hidden staging folder, so the target sees none of them
// until every file is complete. The staging folder stands beside the target
// (".<name>.dropkit-<pid>-<n>") and Commit renames it to the target in one step: a
// target that does not exist appears, an empty one is replaced (keeping its
// permissions). A folder that is not empty (with `force`), or an empty one whose parent
// may not be written, gets the staging folder inside it (".dropkit-<pid>-<n>"), and
// Commit moves the files out one by one, each replacing a file of the same name.
//
// The staging folder is removed when the StagedFolder is destroyed before Commit, and
// also when SIGINT, SIGTERM or SIGHUP ends the process; a signal during Commit takes
// effect once Commit is done. A staging folder that a killed process left behind (its
// process number no longer running) is removed by the next StagedFolder for the same
// target, and is not counted when the target's emptiness is checked.
//
// Threading: one thread per StagedFolder; Write may be called from several threads at
// once for different names.
#ifndef DROPKIT_OS_STAGED_FOLDER_H_
#define DROPKIT_OS_STAGED_FOLDER_H_

#include <sys/types.h>

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "os/files.h"  // ByteSink

namespace dk {

class StagedFolder {
 public:
  // Checks the target. Raises a RuntimeError naming the folder when the target exists
  // but is not a folder, is a folder that is not empty and `force` is false, or the
  // staging folder could not be created there (a missing parent, no permission).
  StagedFolder(const std::string& target, bool force);
  ~StagedFolder();
  StagedFolder(const StagedFolder&) = delete;
  StagedFolder& operator=(const StagedFolder&) = delete;

  // Marks the file `path` as an input of the run (`role` says which, "the alignment"):
  // a later Write of a name that Commit would put over that very file raises instead,
  // naming both. A path that does not exist is ignored; one that cannot be looked at
  // raises, naming it.
  void ProtectInput(const std::string& path, const std::string& role);

  // Raises, as Write would, when one of `names` would replace a protected input. Called
  // with every name before the first Write, it refuses the run before anything changes:
  // the staging folder is made by the first Write.
  void CheckOutputs(const std::vector<std::string>& names) const;

  // Writes `bytes` as the file `name` (no slashes) of the staging folder, all or nothing
  // (os/files.h WriteWholeFile). Raises naming the file on failure, and when the
  // name would replace a protected input.
  void Write(const std::string& name, std::string_view bytes);
  // The same for the text `produce` gives (os/files.h WriteWholeFile).
  void Write(const std::string& name, const std::function<void(const ByteSink&)>& produce);

  // Puts the files in place (see above). On failure raises naming the file, the target
  // then as it was: when the files move one by one, those already moved are taken back
  // and the files they replaced put back. A staging folder that cannot be removed once
  // every file is in place is left with a warning (os/env.h Warn).
  void Commit();

  const std::string& target() const { return target_; }
  const std::string& staging() const { return staging_; }

 private:
  void WriteWith(const std::string& name, const std::function<void(const std::string&)>& write);
  void MakeStaging();
  void RemoveStaging();
  // Gives the file or folder `path` (opened with `flags` added) the permission bits
  // `mode`; raises naming `replaced` on failure.
  void KeepMode(const std::string& path, int flags, unsigned mode,
                const std::string& replaced) const;
  [[noreturn]] void RaiseCannotCreate(int err) const;

  std::string target_;   // absolute
  std::string stem_;     // the staging folder's name but for its counter
  std::string staging_;  // absolute; empty until the first write, and once committed
  bool committed_ = false;
  bool replace_whole_ = false;  // Commit renames the staging folder onto the target
  bool target_exists_ = false;
  unsigned target_mode_ = 0;
  int signal_slot_ = -1;
  struct Input {
    std::string path, role;
    dev_t device;
    ino_t inode;
  };
  std::vector<Input> inputs_;
  std::mutex names_mutex_;
  std::vector<std::string> names_;
};

// Removes the folder `path` with everything in it, through the current Env. Returns 0
// or the first -errno met (ENOENT when there is no such folder).
int RemoveFolderTree(const std::string& path);

}  // namespace dk

#endif  // DROPKIT_OS_STAGED_FOLDER_H_
