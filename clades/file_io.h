// Whole-file reads with a size bound.
//
// They reach the operating system through dk::Env::Current(), so tests can inject
// failures. Every failure raises dk::RuntimeError naming the file and the reason.
#ifndef DROPKIT_CLADES_FILE_IO_H_
#define DROPKIT_CLADES_FILE_IO_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace dk::clades {

// Returns the bytes of the file at `path`. `what` names the file's role in messages
// ("the reference tree file"). Raises when the file cannot be opened or read, is a
// folder, or holds more than `limit` bytes (an endless device is read only that far).
std::string ReadBoundedFile(const std::string& path, std::size_t limit, const std::string& what);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_FILE_IO_H_
