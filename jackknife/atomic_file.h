// Writing a whole file at once, all or nothing, straight from its bytes.
//
// platform/files.h writes all or nothing too, but formats text values on the way; for
// outputs of tens of megabytes (listings, pruned alignments) that costs more than the
// write itself. This does the same with the bytes as they are, through the current Env
// (so tests can inject failures).
#ifndef DROPKIT_JACKKNIFE_ATOMIC_FILE_H_
#define DROPKIT_JACKKNIFE_ATOMIC_FILE_H_

#include <string>
#include <string_view>

namespace dk {

// Writes `bytes` as the file `path` (relative to the current folder). "-" and
// "/dev/stdout" are standard output. A regular file (new or existing) is written all or
// nothing: the bytes go to a temporary file beside it, which is synced and then takes
// its name; an existing file keeps its permissions, and a symbolic link is written
// through. A target that is not a regular file (a device, a pipe) is written directly.
// Raises a RuntimeError naming the file and the system's reason on any failure; the
// target is then as it was and no temporary file remains.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_ATOMIC_FILE_H_
