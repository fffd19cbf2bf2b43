// jackknife_bench: how long the jackknife's steps take on large inputs, each against a
// baseline measured in the same run.
//
// Usage: jackknife_bench [--taxa N] [--sites S] [--reps R]
//   --taxa N   taxa in the generated alignment (default 1000)
//   --sites S  sites per taxon (default 20000: a 20 MB FASTA file)
//   --reps R   timed repetitions of each measure; the minimum is reported (default 3)
//
// Measures, in a fresh temporary folder removed at the end:
//   read FASTA     LoadTaxa (NCL's parse and the checks) / reading the file's bytes
//   read PHYLIP    the same file as relaxed PHYLIP, its layout recognised
//   prune          writing one pruned FASTA copy (K = 10) / writing the input's bytes
//   checks         CheckNames over 1,000,000 names / one pass copying the names
//   design         DrawDesign + GroupsTsv, 1,000 groups of 1,000 from 100,000 names
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "alignment/pruned.h"
#include "bench/bench_support.h"
#include "design/design_files.h"
#include "jackknife/design.h"
#include "jackknife/input.h"
#include "jackknife/name_checks.h"
#include "runtime/random_values.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void Report(const char* what, double ms, const char* baseline, double base_ms) {
  std::printf("%-12s %9.1f ms   %-24s %8.1f ms   ratio %.2f\n", what, ms, baseline, base_ms,
              ms / base_ms);
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  out.flush();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void Run(int taxa, int sites, int reps, const fs::path& dir) {
  dk::bench::Rng rng(20261207);
  std::string fasta, phylip = std::to_string(taxa) + " " + std::to_string(sites) + "\n";
  for (int t = 0; t < taxa; ++t) {
    std::string row;
    for (int s = 0; s < sites; ++s) row += "ACGT"[rng.Next() & 3];
    const std::string name = "Taxon_" + std::to_string(t);
    fasta += ">" + name + "\n";
    for (int s = 0; s < sites; s += 60) fasta += row.substr(static_cast<std::size_t>(s), 60) + "\n";
    phylip += name + " " + row + "\n";
  }
  WriteBytes(dir / "in.fasta", fasta);
  WriteBytes(dir / "in.phy", phylip);
  std::printf("alignment: %d taxa x %d sites, FASTA %.1f MB\n", taxa, sites,
              static_cast<double>(fasta.size()) / 1e6);

  const std::string fasta_path = (dir / "in.fasta").string();
  dk::TaxonList list;
  const double read_fasta = dk::bench::MinimumMs(
      reps, [] {}, [&] { list = dk::LoadTaxa(fasta_path, std::nullopt); });
  const double read_bytes = dk::bench::MinimumMs(
      reps, [] {}, [&] { ReadBytes(fasta_path); });
  Report("read FASTA", read_fasta, "read the bytes", read_bytes);
  const double read_phylip = dk::bench::MinimumMs(
      reps, [] {}, [&] { dk::LoadTaxa((dir / "in.phy").string(), std::nullopt); });
  Report("read PHYLIP", read_phylip, "read the FASTA bytes", read_bytes);

  std::vector<bool> omitted(static_cast<std::size_t>(taxa), false);
  for (int i = 0; i < 10; ++i) omitted[static_cast<std::size_t>(i * taxa / 10)] = true;
  const double prune = dk::bench::MinimumMs(
      reps, [] {},
      [&] { WriteBytes(dir / "pruned.fasta", dk::PrunedAlignment(*list.alignment, omitted)); });
  const double copy = dk::bench::MinimumMs(
      reps, [] {}, [&] { WriteBytes(dir / "copy.fasta", fasta); });
  Report("prune", prune, "write the input's bytes", copy);

  std::vector<std::string> lines;
  for (int i = 0; i < 1000000; ++i) lines.push_back("Genus_species_" + std::to_string(i) + "\n");
  const double checks = dk::bench::MinimumMs(
      reps, [] {}, [&] { dk::CheckNames(lines); });
  const double pass = dk::bench::MinimumMs(
      reps, [] {},
      [&] {
        std::vector<std::string> sorted(lines.begin(), lines.end());
        std::sort(sorted.begin(), sorted.end());
      });
  Report("checks", checks, "copy and sort the names", pass);

  std::vector<std::string> names(lines.begin(), lines.begin() + 100000);
  for (auto& n : names) n.pop_back();
  std::size_t bytes = 0;
  const double design = dk::bench::MinimumMs(
      reps, [] {},
      [&] {
        dk::mlfNRand(0, dk::Value::Text("state"), dk::Value::Scalar(1));
        const dk::Design d = dk::DrawDesign(names.size(), {}, 1000, 1000);
        bytes = dk::GroupsTsv(names, d).size();
      });
  const double write = dk::bench::MinimumMs(
      reps, [] {}, [&] { WriteBytes(dir / "tsv", std::string(bytes, 'x')); });
  Report("design", design, "write as many bytes", write);
}

}  // namespace

int main(int argc, char** argv) {
  int taxa = 1000, sites = 20000, reps = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const int value = std::atoi(argv[i + 1]);
    if (flag == "--taxa") taxa = value;
    if (flag == "--sites") sites = value;
    if (flag == "--reps") reps = value;
  }
  const fs::path dir =
      fs::temp_directory_path() / ("jackknife-bench-" + std::to_string(::getpid()));
  try {
    fs::create_directories(dir);
    Run(taxa, sites, std::max(1, reps), dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "jackknife_bench: %s\n", e.what());
    fs::remove_all(dir);
    return 1;
  }
  fs::remove_all(dir);
  return 0;
}
