#include "bench/bench_support.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace dk::bench {
namespace {

// A pronounceable word of `length` lowercase letters: consonants and vowels alternate.
void AppendWord(Rng& rng, int length, std::string* out) {
  static constexpr std::string_view kConsonants = "bcdfghklmnprstvz";
  static constexpr std::string_view kVowels = "aeiouy";
  const bool vowel_first = rng.Below(3) == 0;
  for (int i = 0; i < length; ++i) {
    const bool vowel = (i % 2 == 0) == vowel_first;
    const std::string_view set = vowel ? kVowels : kConsonants;
    out->push_back(set[static_cast<std::size_t>(rng.Below(static_cast<int>(set.size())))]);
  }
}

// Writes the lines `make` produces, `count` of them, through a 1 MiB buffer.
template <typename Make>
std::uintmax_t WriteLines(const std::filesystem::path& path, long count, Make make) {
  std::ofstream out(path, std::ios::binary);
  if (!out) throw std::runtime_error("cannot create " + path.string());
  std::string buffer;
  buffer.reserve(1 << 20);
  for (long i = 0; i < count; ++i) {
    make(&buffer);
    buffer.push_back('\n');
    if (buffer.size() >= (1 << 20)) {
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      buffer.clear();
    }
  }
  out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
  return std::filesystem::file_size(path);
}

}  // namespace

ScratchFolder::ScratchFolder(const std::string& prefix) : start_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a temporary folder " + pattern);
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  std::filesystem::current_path(start_, ec);
  std::filesystem::remove_all(path_, ec);
}

std::uintmax_t WriteNameList(const std::filesystem::path& path, long count) {
  Rng rng(20240601);
  return WriteLines(path, count, [&rng](std::string* out) {
    const std::size_t start = out->size();
    AppendWord(rng, 4 + rng.Below(4), out);
    (*out)[start] = static_cast<char>((*out)[start] - 'a' + 'A');
    out->push_back('_');
    AppendWord(rng, 4 + rng.Below(4), out);
    out->push_back('_');
    *out += std::to_string(100000 + rng.Below(900000));
  });
}

std::uintmax_t WriteLongLines(const std::filesystem::path& path, long count, long length) {
  Rng rng(20261207);
  return WriteLines(path, count, [&rng, length](std::string* out) {
    AppendWord(rng, static_cast<int>(length), out);
  });
}

double MinimumMs(int reps, const std::function<void()>& prepare, const std::function<void()>& run) {
  double best = 1e300;
  for (int r = 0; r < reps; ++r) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    run();
    const auto stop = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
  }
  return best;
}

}  // namespace dk::bench
