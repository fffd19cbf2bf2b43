// Name lists for the benchmarks: the same names on every machine and in every run.
#ifndef DROPKIT_BENCH_NAME_LISTS_H_
#define DROPKIT_BENCH_NAME_LISTS_H_

#include <cstdint>
#include <filesystem>

namespace dk::bench {

// Writes `count` names of the form "Genus_species_123456" (4 to 7 letters each word,
// 19 characters on average) plus a newline each to `path`; returns the file size in
// bytes. Throws std::runtime_error when the file cannot be written.
std::uintmax_t WriteNameList(const std::filesystem::path& path, long count);

// Writes `count` lines of `length` letters each (plus a newline); returns the file size.
std::uintmax_t WriteLongLines(const std::filesystem::path& path, long count, long length);

}  // namespace dk::bench

#endif  // DROPKIT_BENCH_NAME_LISTS_H_
