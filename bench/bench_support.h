// What the benchmarks share: data that is the same on every machine and in every run, and
// the timing of repeated runs.
#ifndef DROPKIT_BENCH_BENCH_SUPPORT_H_
#define DROPKIT_BENCH_BENCH_SUPPORT_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace dk::bench {

// splitmix64: small, fast and the same on every platform.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

// A new empty folder under the system's temporary folder, named from `prefix`. On
// destruction the current folder goes back to where it was at construction (Load moves
// into the list's folder) and the folder is removed with all it holds. The constructor
// throws std::runtime_error when the folder cannot be made.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path start_;
  std::filesystem::path path_;
};

// The shortest of `reps` runs of `run`, in milliseconds; `prepare` runs before each and
// is not timed.
double MinimumMs(int reps, const std::function<void()>& prepare, const std::function<void()>& run);

// Writes `count` names of the form "Genus_species_123456" (4 to 7 letters each word,
// 19 characters on average) plus a newline each to `path`; returns the file size in
// bytes. Throws std::runtime_error when the file cannot be written.
std::uintmax_t WriteNameList(const std::filesystem::path& path, long count);

// Writes `count` lines of `length` letters each (plus a newline); returns the file size.
std::uintmax_t WriteLongLines(const std::filesystem::path& path, long count, long length);

}  // namespace dk::bench

#endif  // DROPKIT_BENCH_BENCH_SUPPORT_H_
