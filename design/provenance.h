// What a design records about how it was made (dropkit.json): the program and its
// command or window, the input's name, size and SHA-256, the seed and where it came
// from, and the job files.
#ifndef DROPKIT_DESIGN_PROVENANCE_H_
#define DROPKIT_DESIGN_PROVENANCE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dk {

// The SHA-256 digest of `bytes` as 64 lowercase hex digits (OpenSSL's EVP interface).
// Raises a RuntimeError if the library fails.
std::string Sha256Hex(std::string_view bytes);

// Where the seed of a design came from.
enum class SeedSource {
  kOption,   // given by the user (--seed)
  kEntropy,  // drawn from entropy and printed
  kWindow,   // the window's Set seed
  kNone,     // the window without a seed, or leave-one-out without one
};
const char* SeedSourceName(SeedSource source);

// A file a design came from: its name as given, size and SHA-256.
struct FileRecord {
  std::string file;
  std::uint64_t size = 0;
  std::string sha256;
};

// The job files of a folder of pruned copies.
struct JobsRecord {
  std::string command_template;  // jackknife/jobs.h JobTemplate
  std::string reference;         // the whole alignment's copy the reference job runs on
  std::string tree_name;         // the tree file of each job ("{group}.treefile"); "" unknown
};

struct Provenance {
  std::string program = "dropkit-batch";  // or "dropkit" for the window
  std::string version;
  std::vector<std::string> command;  // batch: the full command line
  // Window: its box values, in the order given; recorded instead of `command` when set.
  std::optional<std::vector<std::pair<std::string, std::string>>> window;
  std::string input_file;
  std::uint64_t input_size = 0;
  std::string input_sha256;
  std::string input_format;  // "fasta", "phylip", "nexus" or "list"
  // The window's Export: the name list whose order the groups were drawn in, the input
  // being the alignment it pruned.
  std::optional<FileRecord> names_list;
  std::optional<double> seed;
  SeedSource seed_source = SeedSource::kNone;
  // Groups the generator had drawn since it was started before this design's first: 0 for
  // a batch run, which restarts it; in the window, the Saves, Shows and Exports since the
  // last Set seed. With the seed it says how to draw the design again.
  std::uint64_t draws_before = 0;
  std::string created;             // IsoDateTime
  std::optional<JobsRecord> jobs;  // when the folder has job files
};

}  // namespace dk

#endif  // DROPKIT_DESIGN_PROVENANCE_H_
