// support_bench: how long the clade-survival command takes to read and compare 1,000
// group trees of 1,000 taxa each (Google Benchmark; real time, both cores in use).
//
// Usage: support_bench [--benchmark_...]
//
// The data are generated once into a temporary folder, removed at the end: a random
// reference tree of 1,003 taxa with branch lengths; a design of 1,000 groups, each leaving
// out 3 random taxa; and each group's tree: the reference restricted to its 1,000 taxa,
// with the names of 20 random leaves shuffled among themselves, so that some clades
// survive and some fall. The trees are written as one Newick file (one tree per line), as
// one file per group, and as one NEXUS TREES block.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "clades/design.h"
#include "clades/support.h"
#include "clades/support_command.h"
#include "clades/tree_reader.h"

namespace {

namespace fs = std::filesystem;
using dk::clades::SupportOptions;

constexpr int kTaxa = 1003;
constexpr int kGroups = 1000;
constexpr int kOmit = 3;

struct Data {
  fs::path dir;
  SupportOptions one_file, per_group, nexus;
};

Data* g_data = nullptr;

void Write(const fs::path& p, const std::string& text) {
  std::ofstream(p) << text;
}

Data Generate() {
  std::mt19937_64 rng(20261207);
  Data d;
  char pattern[] = "/tmp/support-bench-XXXXXX";
  d.dir = ::mkdtemp(pattern);

  std::vector<std::string> names;
  for (int i = 0; i < kTaxa; ++i) names.push_back("Taxon_" + std::to_string(100000 + i));
  // A random reference: random joins of two subtrees.
  std::vector<std::vector<int>> kids(kTaxa);
  std::vector<int> roots(kTaxa);
  for (int i = 0; i < kTaxa; ++i) roots[std::size_t(i)] = i;
  while (roots.size() > 3) {
    std::swap(roots[rng() % roots.size()], roots.back());
    const int a = roots.back();
    roots.pop_back();
    std::swap(roots[rng() % roots.size()], roots.back());
    const int b = roots.back();
    roots.pop_back();
    kids.push_back({a, b});
    roots.push_back(int(kids.size()) - 1);
  }
  kids.push_back(roots);
  const int root = int(kids.size()) - 1;
  std::vector<std::string> length(kids.size());
  for (auto& l : length) l = std::to_string(0.001 + double(rng() % 100000) / 1e6);

  // Newick of the tree restricted to `keep`, leaf names through `label`.
  std::function<std::string(int, const std::vector<bool>&, const std::vector<int>&)> newick =
      [&](int v, const std::vector<bool>& keep, const std::vector<int>& label) -> std::string {
    if (v < kTaxa) return keep[std::size_t(v)] ? names[std::size_t(label[std::size_t(v)])] : "";
    std::vector<std::string> parts;
    for (const int c : kids[std::size_t(v)]) {
      std::string s = newick(c, keep, label);
      if (!s.empty()) parts.push_back(s + ":" + length[std::size_t(c)]);
    }
    if (parts.empty()) return "";
    if (parts.size() == 1) return parts[0].substr(0, parts[0].rfind(':'));
    std::string out = "(";
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "," : "") + parts[i];
    return out + ")";
  };
  std::vector<int> identity(kTaxa);
  for (int i = 0; i < kTaxa; ++i) identity[std::size_t(i)] = i;
  Write(d.dir / "reference.tre", newick(root, std::vector<bool>(kTaxa, true), identity) + ";\n");

  std::string json = "{\"format\": \"dropkit-design\", \"format_version\": 1, \"names\": [";
  for (int i = 0; i < kTaxa; ++i) json += (i ? ", \"" : "\"") + names[std::size_t(i)] + "\"";
  json += "], \"group_count\": " + std::to_string(kGroups) + ", \"groups\": [";
  std::string all, nexus = "#NEXUS\nbegin trees;\n";
  fs::create_directories(d.dir / "groups");
  for (int g = 0; g < kGroups; ++g) {
    std::vector<bool> keep(kTaxa, true);
    std::vector<int> out;
    while (out.size() < kOmit) {
      const int t = int(rng() % kTaxa);
      if (keep[std::size_t(t)]) keep[std::size_t(t)] = false, out.push_back(t);
    }
    json +=
        std::string(g ? ", " : "") + "{\"group\": " + std::to_string(g + 1) + ", \"omitted\": [";
    for (std::size_t i = 0; i < out.size(); ++i)
      json += (i ? ", \"" : "\"") + names[std::size_t(out[i])] + "\"";
    json += "]}";
    std::vector<int> label = identity;
    std::vector<int> moved;
    while (moved.size() < 20) {
      const int t = int(rng() % kTaxa);
      if (keep[std::size_t(t)] && std::find(moved.begin(), moved.end(), t) == moved.end())
        moved.push_back(t);
    }
    for (std::size_t i = 0; i < moved.size(); ++i)
      label[std::size_t(moved[i])] = moved[(i + 1) % moved.size()];
    const std::string tree = newick(root, keep, label) + ";";
    all += tree + "\n";
    nexus += "tree g" + std::to_string(g + 1) + " = " + tree + "\n";
    char file[32];
    std::snprintf(file, sizeof file, "group%04d.tre", g + 1);
    Write(d.dir / "groups" / file, tree + "\n");
    d.per_group.trees.push_back((d.dir / "groups" / file).string());
  }
  Write(d.dir / "dropkit.json", json + "]}\n");
  Write(d.dir / "groups.tre", all);
  Write(d.dir / "groups.nex", nexus + "end;\n");

  for (SupportOptions* o : {&d.one_file, &d.per_group, &d.nexus}) {
    o->reference = (d.dir / "reference.tre").string();
    o->design = (d.dir / "dropkit.json").string();
    o->output = (d.dir / "out").string();
  }
  d.one_file.trees = {(d.dir / "groups.tre").string()};
  d.nexus.trees = {(d.dir / "groups.nex").string()};
  return d;
}

void Run(benchmark::State& state, const SupportOptions& options) {
  std::string summary;
  for (auto _ : state) summary = dk::clades::RunSupport(options);
  state.SetLabel(summary.substr(0, summary.find(';')));
}

// The whole command: read, compare, write the four files.
void BM_SupportOneNewickFile(benchmark::State& state) {
  Run(state, g_data->one_file);
}
void BM_SupportOneFilePerGroup(benchmark::State& state) {
  Run(state, g_data->per_group);
}
void BM_SupportNexusFile(benchmark::State& state) {
  Run(state, g_data->nexus);
}

// Only the comparison, on trees read before the clock starts.
void BM_CompareOnly(benchmark::State& state) {
  const SupportOptions& o = g_data->one_file;
  std::ifstream ref(o.reference), trees(o.trees[0]), design(o.design);
  auto slurp = [](std::ifstream& in) {
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const auto read =
      dk::clades::ReadTreeFiles({{o.reference, slurp(ref)}, {o.trees[0], slurp(trees)}}, {});
  dk::clades::SupportInput input;
  input.design = dk::ParseDesign(slurp(design), o.design, {});
  input.reference = read[0][0];
  input.groups = read[1];
  for (auto _ : state) benchmark::DoNotOptimize(dk::clades::ComputeSupport(input));
}

BENCHMARK(BM_SupportOneNewickFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SupportOneFilePerGroup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SupportNexusFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CompareOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Data data = Generate();
  g_data = &data;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(data.dir, ec);
  return 0;
}
