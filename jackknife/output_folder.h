// Writes the files of an output folder all at once.
//
// Files are first written into a staging folder, so the target sees none of them until
// every file is complete. When the target does not exist, the staging folder is made
// beside it (".<name>.dropkit-<pid>-<n>") and Commit renames it to the target. When it
// does (an empty folder, or any folder with `force`), the staging folder is made inside
// it (".dropkit-<pid>-<n>") and Commit moves the files out into it one by one, in the
// order they were written, each replacing a file of the same name, then removes the
// staging folder. A StagedFolder destroyed before Commit removes the staging folder with
// everything in it.
//
// Threading: one thread per StagedFolder.
#ifndef DROPKIT_JACKKNIFE_OUTPUT_FOLDER_H_
#define DROPKIT_JACKKNIFE_OUTPUT_FOLDER_H_

#include <string>
#include <string_view>
#include <vector>

namespace dk {

class StagedFolder {
 public:
  // Checks the target and creates the staging folder. Raises a RuntimeError naming the
  // folder when the target exists but is not a folder, is a folder that is not empty
  // and `force` is false, or the staging folder cannot be created.
  StagedFolder(const std::string& target, bool force);
  ~StagedFolder();
  StagedFolder(const StagedFolder&) = delete;
  StagedFolder& operator=(const StagedFolder&) = delete;

  // Writes `bytes` as the file `name` (no slashes) of the staging folder, all or nothing
  // (platform/files.h WriteWholeFile). Raises naming the file on failure.
  void Write(const std::string& name, std::string_view bytes);

  // Puts the files in place (see above). On failure raises naming the file; files
  // already moved into an existing target stay there.
  void Commit();

  const std::string& target() const { return target_; }
  const std::string& staging() const { return staging_; }

 private:
  std::string target_;   // absolute
  std::string staging_;  // absolute; empty once committed or removed
  bool target_exists_ = false;
  std::vector<std::string> names_;
};

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_OUTPUT_FOLDER_H_
