// Files written all or nothing, and absolute names.
//
// A file is written all or nothing: the text goes to an unnamed file in the target's
// folder (O_TMPFILE; where the file system lacks it, a short hidden name that is removed
// on SIGINT, SIGTERM and SIGHUP), which takes the target's name only when the write is
// committed. A target the user may not write (as `>` in a shell would refuse it) is
// refused and left untouched; a replaced file keeps its permission bits (and, where the
// process may, its owner). A target that is a symbolic link is written through the
// link; a target that is not a regular file (a device, a pipe) is written directly.
// "/dev/stdout" and "-" are standard output. The file the user loaded last as input
// (SetProtectedInput) is never replaced. Every failure raises an error that names the
// file and the system's reason; running out of memory is such an error too. Every
// system call goes through the current Env.
#ifndef DROPKIT_OS_FILES_H_
#define DROPKIT_OS_FILES_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace dk {

// Raises "<what> '<path>': <the system's reason for err>" (err: an errno value, of
// either sign). Never returns.
[[noreturn]] void RaiseFileError(const std::string& what, const std::string& path, int err);

// `name` made absolute against the current folder (an absolute name as it is). Raises
// naming the file when the current folder cannot be read.
std::string AbsolutePath(const std::string& name);

// The user's input file (absolute; "" for none), which no write replaces: such a write
// is refused (RefuseProtectedInput).
void SetProtectedInput(const std::string& path);
const std::string& ProtectedInput();

// Raises "The listing would replace its own name list '<input>': ..." when `target` is
// the protected input, directly or through a link; returns otherwise.
void RefuseProtectedInput(const std::string& target);

// What a bounded read takes: any file that can be read (pipes and devices too), or
// only a regular file.
enum class FileKinds { kAny, kRegularOnly };

// The bytes of the file `path`, read whole. `what` names the file's role in messages
// ("the tree file"). A regular file is read into a text of its measured size, never
// copied to grow. Raises "Cannot read <what> '<path>': <reason>" when the file cannot be
// opened or read, is a folder, is not a regular file where `kinds` asks for one, or
// holds more than `limit` bytes (an endless device is read only that far).
std::string ReadBoundedFile(const std::string& path, std::uint64_t limit, const std::string& what,
                            FileKinds kinds = FileKinds::kAny);

// The first `n` bytes of the file `path` (all of it when it is shorter), to tell what
// kind of file it is. Raises as ReadBoundedFile does when it cannot be opened or read or
// is a folder.
std::string ReadFileStart(const std::string& path, std::size_t n, const std::string& what);

// "64 KiB", "1 GiB" or a plain count of bytes ("9 bytes").
std::string ByteSizeText(std::uint64_t bytes);

// A file being written all or nothing. The constructor opens the target (an absolute
// name, "/dev/stdout" or "-") or raises; the destructor drops an uncommitted write,
// leaving the target as it was.
class WholeFileWriter {
 public:
  explicit WholeFileWriter(const std::string& path);
  ~WholeFileWriter();
  WholeFileWriter(const WholeFileWriter&) = delete;
  WholeFileWriter& operator=(const WholeFileWriter&) = delete;

  // Room for `n` more bytes at the end of the text, to be filled before the next call;
  // then FlushIfFull writes the buffer out once it is full.
  char* Extend(std::size_t n);
  void FlushIfFull();
  // Writes `piece` after the text so far, through the buffer a bounded copy at a time.
  void WritePiece(std::string_view piece);
  // Writes `bytes` after the text so far, directly.
  void WriteBytes(std::string_view bytes);
  // Flushes and syncs the file, then gives it the target's name. Raises on failure,
  // the target then as it was.
  void Commit();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// Writes `bytes` as they are as the file `name` (relative names resolve in the current
// folder; "-" is standard output), all or nothing. Raises an error naming the file and
// the reason on any failure; the target is then as it was.
void WriteWholeFile(const std::string& name, std::string_view bytes);
// The same for the text `produce` gives, a piece at a time, to the sink it is called
// with (each piece is written before the sink returns). An error `produce` raises is
// raised again, the target left as it was.
using ByteSink = std::function<void(std::string_view)>;
void WriteWholeFile(const std::string& name, const std::function<void(const ByteSink&)>& produce);

}  // namespace dk

#endif  // DROPKIT_OS_FILES_H_
