// The run-time's files and the current folder.
//
// Files are named by identifiers 3 and up, handed out by mlfFopen and valid until
// mlfFclose or DiscardFile. Reading is in text mode, line by line and bounded, as
// os/text_lines.h reads; bytes that are not valid UTF-8 become escape units that writing
// turns back into the same bytes. Pipes and process substitutions read like files within
// the bounds. Writing is UTF-8, all or nothing (os/files.h).
#ifndef DROPKIT_RUNTIME_FILE_TABLE_H_
#define DROPKIT_RUNTIME_FILE_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "os/files.h"
#include "os/text_lines.h"
#include "runtime/value.h"

namespace dk {

// The bounds on reading a file in text mode.
using ReadLimits = TextLimits;
// The bounds in force (TextLimits' defaults until changed).
ReadLimits CurrentReadLimits();
// Sets the bounds for files opened from now on; returns the previous ones.
ReadLimits SetReadLimits(const ReadLimits& limits);

// Opens the file `name` (relative names resolve in the current folder) with mode "rt"
// (read text) or "wt" (write text) and returns its identifier.
Value mlfFopen(const Value& name, const Value& mode);

// The next line of a file opened for reading, with its line break ("\n") when it had
// one; the number -1 at the end of the file.
Value mlfFgets(const Value& fid);

// Writes `format` formatted with `args` (as mlfSprintf does) to a file opened for
// writing. Returns the number of bytes written when nargout > 0, else an absent value.
Value mlfNFprintf(int nargout, const Value& fid, const Value& format,
                  std::initializer_list<Value> args = {});

// Closes a file. A file being written is completed: its text is flushed and synced and
// it takes the target's name. On failure the temporary file is removed, the target is
// left as it was, the identifier is released and an error is raised. Returns 0.
Value mlfFclose(const Value& fid);

// Closes a file without completing it: a file being written is dropped (its temporary
// removed, the target untouched). Does nothing for an identifier that is not open.
// Never raises.
void DiscardFile(const Value& fid) noexcept;

// Discards every file still open (at the end of the program). Never raises.
void DiscardAllFiles() noexcept;

// The number of files open now.
std::size_t OpenFileCount();

// Makes `folder` the current folder. With nargout > 0 returns the new current folder;
// otherwise returns an absent value (no answer to display). An empty text changes
// nothing. Raises an error naming the folder and the reason on failure.
Value mlfNCd(int nargout, const Value& folder);

// Discards, when a scope ends early, the file whose identifier it was given, unless
// the file was closed by then.
class FileGuard {
 public:
  explicit FileGuard(const Value& fid) : fid_(fid) {}
  ~FileGuard() { DiscardFile(fid_); }
  FileGuard(const FileGuard&) = delete;
  FileGuard& operator=(const FileGuard&) = delete;

 private:
  Value fid_;
};

}  // namespace dk

#endif  // DROPKIT_RUNTIME_FILE_TABLE_H_
